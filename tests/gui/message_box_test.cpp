#include <gtest/gtest.h>

#include "gui/qt_message_box.h"
#include "modal_answer.h"
#include "platform/dialog_texts.h"

namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = DialogTexts();
    // As the German texts file sets them: Windows-1252 bytes.
    DialogTexts().ConfirmationTitle = "Best\xe4tigung";
    DialogTexts().MsgYes = "&Ja";
    DialogTexts().MsgNo = "&Nein";
    DialogTexts().MsgCancel = "Abbre&chen";
  }
  void TearDown() override { DialogTexts() = saved; }
  TDialogTexts saved;
};

TEST_F(MessageBoxTest, ShowsTheStandardTextsOnTitleAndButtons) {
  TMessageDlgRequest request = MakeMessageDlgRequest(
      "Beenden?\rWirklich?", TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}, 0);
  std::unique_ptr<QMessageBox> box(BuildMessageBox(request));
  EXPECT_EQ(box->windowTitle(), QStringLiteral(u"Bestätigung"));
  EXPECT_EQ(box->text(), QStringLiteral("Beenden?\nWirklich?"));
  EXPECT_EQ(box->icon(), QMessageBox::Question);
  ASSERT_EQ(box->buttons().size(), 2);
  QStringList captions;
  for (QAbstractButton* b : box->buttons()) captions << b->text();
  EXPECT_TRUE(captions.contains(QStringLiteral("&Ja")));
  EXPECT_TRUE(captions.contains(QStringLiteral("&Nein")));
  EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("&Ja"));
  EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("&Nein"));
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MessageBoxTest, ReturnsTheChosenButton) {
  InstallQtMessageBox();
  TSeenBox seen;
  AnswerNextBox(QStringLiteral("&Nein"), seen);
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}),
            TModalResult::No);
  EXPECT_TRUE(seen.answered);
  AnswerNextBox(QStringLiteral("&Ja"), seen);
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}),
            TModalResult::Yes);
  // Closed without a choice: Cancel when offered.
  AnswerNextBox(QStringLiteral("no such button"), seen);
  EXPECT_EQ(MessageDlg("?", TMsgDlgType::Warning,
                       {TMsgDlgBtn::Ok, TMsgDlgBtn::Cancel, TMsgDlgBtn::Retry}),
            TModalResult::Cancel);
  EXPECT_EQ(seen.buttons, (QStringList{"OK", "Abbre&chen", "&Wiederholen"}));
  SetMessageDlgHandler(nullptr);
}

}  // namespace
