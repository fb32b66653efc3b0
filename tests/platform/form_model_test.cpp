#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/forms.h"
#include "platform/message_loop.h"

namespace {

// Records every change as (component name, change).
struct ChangeLog : TFormObserver {
  std::vector<std::pair<std::string, TChange>> seen;
  void ComponentChanged(TComponent& c, TChange change) override {
    seen.emplace_back(change == TChange::Destroying ? "" : c.Name(), change);
  }
  size_t Count(TChange change) const {
    size_t n = 0;
    for (auto& s : seen) n += s.second == change;
    return n;
  }
};

TEST(Components, OwnerKeepsCreationOrderAndDestroysInReverse) {
  std::vector<std::string> destroyed;
  struct Tracked : TComponent {
    Tracked(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log_(log) {}
    ~Tracked() override { log_->push_back(Name()); }
    std::vector<std::string>* log_;
  };
  {
    TForm form;
    NewComponent<Tracked>(&form, "a", &destroyed);
    auto* b = NewComponent<Tracked>(&form, "b", &destroyed);
    NewComponent<Tracked>(b, "b.inner", &destroyed);
    NewComponent<Tracked>(&form, "c", &destroyed);
    ASSERT_EQ(form.ComponentCount(), 3);
    EXPECT_EQ(form.Components()[1], b);
    EXPECT_EQ(form.FindComponent("c")->Name(), "c");
    EXPECT_EQ(form.FindComponent("b.inner"), nullptr);  // only directly owned ones
    EXPECT_EQ(&b->Components()[0]->Root(), &form);
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"c", "b", "b.inner", "a"}));
}

TEST(Components, DeletingOneTakesItOutOfItsOwner) {
  TForm form;
  auto* a = NewComponent<TButton>(&form, "a");
  NewComponent<TButton>(&form, "b");
  delete a;
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components()[0]->Name(), "b");
}

TEST(Observer, HearsEveryComponentOfTheTreeOnceAndOnlyRealChanges) {
  TForm form;
  ChangeLog log;
  form.AddObserver(&log);
  form.AddObserver(&log);  // added twice, told once
  auto* group = NewComponent<TGroupBox>(&form, "group");
  auto* label = NewComponent<TLabel>(group, "label");
  label->SetCaption("x");
  label->SetCaption("x");
  label->SetBounds(1, 2, 3, 4);
  label->SetBounds(1, 2, 3, 4);
  label->SetVisible(false);
  label->Hide();
  label->SetEnabled(false);
  label->SetParent(group);
  label->SetParent(label);  // a control is never its own parent
  EXPECT_EQ(label->Parent(), group);
  const std::vector<std::pair<std::string, TChange>> expected = {
      {"group", TChange::Created}, {"label", TChange::Created}, {"label", TChange::Caption},
      {"label", TChange::Bounds},  {"label", TChange::Visible}, {"label", TChange::Enabled},
      {"label", TChange::Parent},
  };
  EXPECT_EQ(log.seen, expected);
  delete label;
  EXPECT_EQ(log.seen.back().second, TChange::Destroying);
  form.RemoveObserver(&log);
  group->SetCaption("unheard");
  EXPECT_EQ(log.seen.back().second, TChange::Destroying);
}

TEST(Observer, MayRemoveItselfWhileBeingTold) {
  struct Once : TFormObserver {
    TComponent* root;
    int calls = 0;
    void ComponentChanged(TComponent&, TChange) override {
      ++calls;
      root->RemoveObserver(this);
    }
  } once;
  ChangeLog after;
  TForm form;  // after its observers: it tells them of its end
  once.root = &form;
  form.AddObserver(&once);
  form.AddObserver(&after);
  form.SetCaption("a");
  form.SetCaption("b");
  EXPECT_EQ(once.calls, 1);
  EXPECT_EQ(after.seen.size(), 2u);
}

TEST(Memo, AddSplitsLineBreaksAndReportsEachLine) {
  ChangeLog log;
  TForm form;
  auto* memo = NewComponent<TMemo>(&form, "memo");
  form.AddObserver(&log);
  memo->Lines().Add("one\r\ntwo\rthree\nfour");
  memo->Lines().Add("");
  memo->Lines().Add("trailing\r\n");
  EXPECT_EQ(memo->Lines().Strings(),
            (std::vector<std::string>{"one", "two", "three", "four", "", "trailing"}));
  EXPECT_EQ(log.Count(TChange::LineAdded), 6u);
  EXPECT_EQ(memo->Lines().Text(), "one\r\ntwo\r\nthree\r\nfour\r\n\r\ntrailing\r\n");
  memo->Lines().Clear();
  memo->Lines().Clear();
  EXPECT_EQ(log.Count(TChange::LinesReset), 1u);
  memo->Lines().SetText("a\nb");
  EXPECT_EQ(memo->Lines().Count(), 2);
  EXPECT_THROW(memo->Lines()[2], std::out_of_range);
}

TEST(PageControl, FirstPageIsActiveAndForeignSheetsAreRefused) {
  TForm form;
  auto* pages = NewComponent<TPageControl>(&form, "pages");
  auto* other = NewComponent<TPageControl>(&form, "other");
  auto* one = NewComponent<TTabSheet>(&form, "one");
  auto* two = NewComponent<TTabSheet>(&form, "two");
  auto* stray = NewComponent<TTabSheet>(&form, "stray");
  one->SetPageControl(pages);
  two->SetPageControl(pages);
  stray->SetPageControl(other);
  EXPECT_EQ(pages->ActivePage(), one);
  EXPECT_EQ(two->PageIndex(), 1);
  EXPECT_EQ(two->Parent(), pages);
  pages->SetActivePage(stray);
  EXPECT_EQ(pages->ActivePage(), one);
  pages->SetActivePage(two);
  EXPECT_EQ(pages->ActivePageIndex(), 1);
  // Moving the active page away activates its neighbour.
  two->SetPageControl(other);
  EXPECT_EQ(pages->ActivePage(), one);
  EXPECT_EQ(other->Pages(), (std::vector<TTabSheet*>{stray, two}));
}

TEST(PageControl, EitherSideMayGoFirst) {
  TForm form;
  auto* pages = NewComponent<TPageControl>(&form, "pages");
  auto* one = NewComponent<TTabSheet>(&form, "one");
  auto* two = NewComponent<TTabSheet>(&form, "two");
  one->SetPageControl(pages);
  two->SetPageControl(pages);
  delete one;
  EXPECT_EQ(pages->PageCount(), 1);
  EXPECT_EQ(pages->ActivePage(), two);
  delete pages;
  EXPECT_EQ(two->PageControl(), nullptr);
  EXPECT_EQ(two->PageIndex(), -1);
}

TEST(Menus, ItemsBelongToOneMenuAndLeaveItWhenDestroyed) {
  TForm form;
  auto* first = NewComponent<TPopupMenu>(&form, "first");
  auto* second = NewComponent<TPopupMenu>(&form, "second");
  auto* a = NewComponent<TMenuItem>(&form, "a");
  auto* b = NewComponent<TMenuItem>(&form, "b");
  first->Add(a);
  first->Add(b);
  second->Add(a);
  EXPECT_EQ(first->Items(), (std::vector<TMenuItem*>{b}));
  EXPECT_EQ(a->Menu(), second);
  delete b;
  EXPECT_TRUE(first->Items().empty());
  delete second;
  EXPECT_EQ(a->Menu(), nullptr);
}

TEST(TrayIcon, DoubleClickChoosesTheEnabledDefaultEntry) {
  TForm form;
  auto* menu = NewComponent<TPopupMenu>(&form, "menu");
  auto* show = NewComponent<TMenuItem>(&form, "show");
  auto* other = NewComponent<TMenuItem>(&form, "other");
  int shown = 0, others = 0;
  show->OnClick = [&](TComponent&) { ++shown; };
  other->OnClick = [&](TComponent&) { ++others; };
  menu->Add(other);
  menu->Add(show);
  auto* icon = NewComponent<TTrayIcon>(&form, "icon");
  icon->DoubleClick();  // no menu yet
  icon->SetPopupMenu(menu);
  icon->DoubleClick();  // no default entry yet
  show->SetDefault(true);
  icon->DoubleClick();
  show->SetEnabled(false);
  icon->DoubleClick();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(others, 0);
}

TEST(ProgressBar, PositionStaysInsideTheRange) {
  TForm form;
  auto* bar = NewComponent<TProgressBar>(&form, "bar");
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  bar->SetRange(0, 5);
  EXPECT_EQ(bar->Position(), 5);
  bar->SetPosition(-1);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetRange(10, 2);  // swapped
  EXPECT_EQ(bar->Min(), 2);
  EXPECT_EQ(bar->Max(), 10);
  EXPECT_EQ(bar->Position(), 2);
}

TEST(Form, CloseFollowsTheActionOfOnClose) {
  TForm form;
  form.Show();
  TCloseAction answer = TCloseAction::None;
  form.OnClose = [&](TCloseAction& action) {
    EXPECT_EQ(action, TCloseAction::Hide);
    action = answer;
  };
  form.Close();
  EXPECT_TRUE(form.Visible());
  answer = TCloseAction::Minimize;
  form.Close();
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.WindowState(), TWindowState::Minimized);
  answer = TCloseAction::Hide;
  form.Close();
  EXPECT_FALSE(form.Visible());
}

TEST(Form, OnlyTheFirstMainFormCountsAndItIsForgottenWhenDestroyed) {
  auto first = std::make_unique<TForm>();
  TForm second;
  SetMainForm(first.get());
  SetMainForm(&second);
  EXPECT_EQ(MainForm(), first.get());
  first.reset();
  EXPECT_EQ(MainForm(), nullptr);
}

TEST(Form, HelpGoesToOnHelp) {
  TForm form;
  EXPECT_FALSE(form.Help(1, 2));
  form.OnHelp = [](int command, int data, bool& callHelp) {
    callHelp = false;
    return command == 1 && data == 2;
  };
  EXPECT_TRUE(form.Help(1, 2));
}

class TimerTest : public ::testing::Test {
 protected:
  // Turns the loop until `done` or a second has passed.
  template <class Done>
  void RunUntil(Done done) {
    std::uint32_t start = GetTickCount();
    while (!done() && GetTickCount() - start < 1000) TMessageLoop::Current().WaitAndDispatchOne(50);
  }
  TForm form_;
};

TEST_F(TimerTest, RunsOnlyWhenEnabledWithIntervalAndHandler) {
  auto* timer = NewComponent<TTimer>(&form_, "timer");
  EXPECT_FALSE(timer->Running());  // no handler yet
  int fired = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&](TComponent&) { ++fired; });
  EXPECT_TRUE(timer->Running());
  RunUntil([&] { return fired >= 3; });
  EXPECT_GE(fired, 3);
  timer->SetEnabled(false);
  EXPECT_FALSE(timer->Running());
  int before = fired;
  Sleep(30);
  TMessageLoop::Current().ProcessPending();
  EXPECT_EQ(fired, before);
  timer->SetEnabled(true);
  timer->SetInterval(0);
  EXPECT_FALSE(timer->Running());
}

TEST_F(TimerTest, HandlerMayDestroyItsOwnTimer) {
  auto* timer = NewComponent<TTimer>(&form_, "timer");
  timer->SetInterval(5);
  bool fired = false;
  timer->SetOnTimer([&](TComponent& sender) {
    fired = true;
    delete &sender;
  });
  RunUntil([&] { return fired; });
  EXPECT_TRUE(fired);
  EXPECT_EQ(form_.ComponentCount(), 0);
  // Nothing fires any more.
  Sleep(20);
  TMessageLoop::Current().ProcessPending();
}

TEST_F(TimerTest, DestroyedTimerNeverFires) {
  bool fired = false;
  {
    TForm owner;
    auto* timer = NewComponent<TTimer>(&owner, "timer");
    timer->SetInterval(5);
    timer->SetOnTimer([&](TComponent&) { fired = true; });
  }
  Sleep(20);
  TMessageLoop::Current().ProcessPending();
  EXPECT_FALSE(fired);
}

}  // namespace
