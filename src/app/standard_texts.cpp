#include "app/standard_texts.h"

#include "app/text_table.h"
#include "platform/dialog_texts.h"

std::array<std::string, StandardTextCount> StandardTexts;

void ReadStandardTexts() {
  for (int i = 0; i < StandardTextCount; ++i) {
    StandardTexts[static_cast<size_t>(i)] = GetTextById(FirstStandardTextId + i);
  }
}

void PatchStandardTexts() {
  auto slot = [](int id) -> const std::string& {
    return StandardTexts[static_cast<size_t>(id - FirstStandardTextId)];
  };
  TDialogTexts& t = DialogTexts();
  t.OkButton = slot(100);
  t.CancelButton = slot(101);
  t.YesButton = slot(102);
  t.NoButton = slot(103);
  t.HelpButton = slot(104);
  t.CloseButton = slot(105);
  t.IgnoreButton = slot(106);
  t.RetryButton = slot(107);
  t.AbortButton = slot(108);
  // 109 is read with the others but the All button keeps its own text.
  t.WarningTitle = slot(110);
  t.ErrorTitle = slot(111);
  t.InformationTitle = slot(112);
  t.ConfirmationTitle = slot(113);
  t.MsgYes = slot(114);
  t.MsgNo = slot(115);
  t.MsgOk = slot(116);
  t.MsgCancel = slot(117);
  t.MsgHelp = slot(118);
  t.HelpNone = slot(119);
  t.HelpTitle = slot(120);
  t.MsgAbort = slot(121);
  t.MsgRetry = slot(122);
  t.MsgIgnore = slot(123);
  t.MsgAll = slot(124);
  t.MsgNoToAll = slot(125);
  t.MsgYesToAll = slot(126);
}
