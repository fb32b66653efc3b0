#include "app/translate_component.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/standard_texts.h"
#include "app/text_table.h"
#include "platform/dialog_texts.h"
#include "platform/forms.h"

namespace {

class TranslateTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearTextTable(); }
  void TearDown() override { ClearTextTable(); }
  void Load(const std::string& content) {
    std::string file =
        ::testing::TempDir() + "/translate_texts." + std::to_string(getpid()) + ".ini";
    std::ofstream(file, std::ios::binary) << content;
    LoadTextTable(file);
  }
  template <class T>
  T* Make(const char* name, int tag, const char* caption) {
    T* c = NewComponent<T>(&form_, name);
    c->SetTag(tag);
    c->SetCaption(caption);
    return c;
  }
  TForm form_;
};

TEST_F(TranslateTest, CapitalWIsSetOffAndMovedLeftLowerCaseIsNot) {
  Load("1110=Warten\n1111=weiter\n");
  TLabel* upper = Make<TLabel>("Upper", 1110, "design");
  upper->SetBounds(36, 16, 380, 14);
  TLabel* lower = Make<TLabel>("Lower", 1111, "design");
  lower->SetBounds(36, 40, 380, 14);
  TranslateComponent(form_);
  EXPECT_EQ(upper->Caption(), " Warten");
  EXPECT_EQ(upper->Left(), 34);
  EXPECT_EQ(lower->Caption(), "weiter");
  EXPECT_EQ(lower->Left(), 36);
}

TEST_F(TranslateTest, WRuleAppliesToLabelsOnly) {
  Load("50=Weiter\n");
  TButton* button = Make<TButton>("Button", 50, "design");
  button->SetBounds(10, 10, 80, 25);
  TranslateComponent(form_);
  EXPECT_EQ(button->Caption(), "Weiter");
  EXPECT_EQ(button->Left(), 10);
}

TEST_F(TranslateTest, IdZeroReachesTheFormAndEveryUntaggedLabel) {
  Load("0=Guard\n");
  form_.SetCaption("design");
  TLabel* untagged = Make<TLabel>("Untagged", 0, "XXX");
  TButton* untaggedButton = Make<TButton>("Untagged button", 0, "Press");
  TranslateComponent(form_);
  EXPECT_EQ(form_.Caption(), "Guard");
  EXPECT_EQ(untagged->Caption(), "Guard");
  // Buttons take text 0 as well, by the same rule.
  EXPECT_EQ(untaggedButton->Caption(), "Guard");
}

TEST_F(TranslateTest, EveryCaptionedKindIsTranslatedOthersAreLeftAlone) {
  Load("1=button\n2=check\n3=radio\n4=group\n5=sheet\n6=item\n7=memo\n8=image\n9=bar\n");
  TButton* button = Make<TButton>("b", 1, "");
  TCheckBox* check = Make<TCheckBox>("c", 2, "");
  TRadioButton* radio = Make<TRadioButton>("r", 3, "");
  TGroupBox* group = Make<TGroupBox>("g", 4, "");
  TTabSheet* sheet = Make<TTabSheet>("s", 5, "");
  TMenuItem* item = NewComponent<TMenuItem>(&form_, "i");
  item->SetTag(6);
  TMemo* memo = Make<TMemo>("m", 7, "");
  TImage* image = Make<TImage>("im", 8, "");
  TProgressBar* bar = Make<TProgressBar>("p", 9, "");
  TranslateComponent(form_);
  EXPECT_EQ(button->Caption(), "button");
  EXPECT_EQ(check->Caption(), "check");
  EXPECT_EQ(radio->Caption(), "radio");
  EXPECT_EQ(group->Caption(), "group");
  EXPECT_EQ(sheet->Caption(), "sheet");
  EXPECT_EQ(item->Caption(), "item");
  EXPECT_EQ(memo->Caption(), "");
  EXPECT_EQ(image->Caption(), "");
  EXPECT_EQ(bar->Caption(), "");
}

TEST_F(TranslateTest, MissingAndEmptyTextsKeepTheDesignCaption) {
  Load("1=\n");
  TButton* empty = Make<TButton>("empty", 1, "Config");
  TButton* missing = Make<TButton>("missing", 2, "Reset");
  TLabel* label = Make<TLabel>("label", 3, "Nachrichten:");
  TranslateComponent(form_);
  EXPECT_EQ(empty->Caption(), "Config");
  EXPECT_EQ(missing->Caption(), "Reset");
  EXPECT_EQ(label->Caption(), "Nachrichten:");
}

TEST_F(TranslateTest, WalksComponentsOwnedDeeperDown) {
  Load("5=deep\n");
  auto* holder = NewComponent<TComponent>(&form_, "holder");
  TButton* inner = NewComponent<TButton>(holder, "inner");
  inner->SetTag(5);
  TranslateComponent(form_);
  EXPECT_EQ(inner->Caption(), "deep");
}

TEST(StandardTexts, ReplaceDialogTextsAndEmptySlotsEmptyThem) {
  ClearTextTable();
  std::string file = ::testing::TempDir() + "/standard_texts." + std::to_string(getpid()) + ".ini";
  std::ofstream(file, std::ios::binary) << "100=Okay\n109=ignored\n113=Sure?\n126=\n";
  LoadTextTable(file);
  TDialogTexts saved = DialogTexts();
  ReadStandardTexts();
  PatchStandardTexts();
  EXPECT_EQ(StandardTexts[0], "Okay");
  EXPECT_EQ(StandardTexts[9], "ignored");
  EXPECT_EQ(StandardTexts[26], "");
  EXPECT_EQ(DialogTexts().OkButton, "Okay");
  EXPECT_EQ(DialogTexts().ConfirmationTitle, "Sure?");
  // A text the table lacks is emptied, not left at its built-in value.
  EXPECT_EQ(DialogTexts().CancelButton, "");
  EXPECT_EQ(DialogTexts().MsgYesToAll, "");
  // 109 replaces nothing: the All button keeps its own text.
  EXPECT_EQ(DialogTexts().AllButton, "&Alle");
  DialogTexts() = saved;
  ClearTextTable();
}

}  // namespace
