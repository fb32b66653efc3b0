#include "platform/message_dlg.h"

#include <gtest/gtest.h>

#include "platform/dialog_texts.h"

namespace {

TEST(MessageDlg, RequestCarriesTitleAndButtonTextsOfTheMoment) {
  TDialogTexts saved = DialogTexts();
  DialogTexts().ConfirmationTitle = "Sure?";
  DialogTexts().MsgYes = "Y";
  DialogTexts().MsgNo = "";
  TMessageDlgRequest r = MakeMessageDlgRequest(
      "text", TMsgDlgType::Confirmation, {TMsgDlgBtn::No, TMsgDlgBtn::Yes, TMsgDlgBtn::Help}, 7);
  DialogTexts() = saved;
  EXPECT_EQ(r.title, "Sure?");
  EXPECT_EQ(r.text, "text");
  EXPECT_EQ(r.helpContext, 7);
  ASSERT_EQ(r.buttons.size(), 3u);
  // The caller's order, with the texts as they were patched, empty ones included.
  EXPECT_EQ(r.buttons[0].kind, TMsgDlgBtn::No);
  EXPECT_EQ(r.buttons[0].caption, "");
  EXPECT_EQ(r.buttons[0].result, TModalResult::No);
  EXPECT_EQ(r.buttons[1].caption, "Y");
  EXPECT_EQ(r.buttons[1].result, TModalResult::Yes);
  EXPECT_EQ(r.buttons[2].result, TModalResult::None);  // help answers nothing
}

TEST(MessageDlg, EachTypeHasItsTitle) {
  const TDialogTexts& t = DialogTexts();
  EXPECT_EQ(MakeMessageDlgRequest("", TMsgDlgType::Warning, {}, 0).title, t.WarningTitle);
  EXPECT_EQ(MakeMessageDlgRequest("", TMsgDlgType::Error, {}, 0).title, t.ErrorTitle);
  EXPECT_EQ(MakeMessageDlgRequest("", TMsgDlgType::Information, {}, 0).title, t.InformationTitle);
  EXPECT_EQ(MakeMessageDlgRequest("", TMsgDlgType::Custom, {}, 0).title, "");
}

TEST(MessageDlg, WithoutABoxTheAnswerIsNeverAnAgreement) {
  using B = TMsgDlgBtn;
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, {B::Yes, B::No}), TModalResult::No);
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, {B::Yes, B::No, B::Cancel}),
            TModalResult::Cancel);
  EXPECT_EQ(MessageDlg("!", TMsgDlgType::Information, {B::Ok}), TModalResult::Ok);
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, {B::Yes, B::YesToAll}), TModalResult::None);
}

TEST(MessageDlg, ScriptedAnswersInTurnThenRestoresThePreviousBox) {
  using B = TMsgDlgBtn;
  TScriptedMessageDlg outer({TModalResult::Retry});
  {
    TScriptedMessageDlg inner({TModalResult::Yes, TModalResult::No});
    EXPECT_EQ(MessageDlg("1", TMsgDlgType::Confirmation, {B::Yes, B::No}), TModalResult::Yes);
    EXPECT_EQ(MessageDlg("2", TMsgDlgType::Confirmation, {B::Yes, B::No}), TModalResult::No);
    // Script used up: answered as a box closed without a choice.
    EXPECT_EQ(MessageDlg("3", TMsgDlgType::Confirmation, {B::Yes, B::No}), TModalResult::No);
    ASSERT_EQ(inner.Requests().size(), 3u);
    EXPECT_EQ(inner.Requests()[2].text, "3");
  }
  EXPECT_EQ(MessageDlg("4", TMsgDlgType::Error, {B::Abort, B::Retry}), TModalResult::Retry);
  ASSERT_EQ(outer.Requests().size(), 1u);
  EXPECT_EQ(outer.Requests()[0].text, "4");
}

}  // namespace
