#include "app/program_folder.h"
#include "app/text_table.h"
#include "platform/message_dlg.h"
#include "platform/shell_open.h"
#include "proxy/main_form.h"

void TFormVazireRevivo::Button_CONFIGClick() {
  // A missing configuration program gives no message.
  ShellOpen(ProgramFile("brindlecap-config"));
}

void TFormVazireRevivo::TrayMenu_ConfigClick() {
  Button_CONFIG->Click();
}

void TFormVazireRevivo::Button_HelpClick() {
  ShellOpenHelp(ProgramFile("tarnhelp.chm"), "server.htm");
}

void TFormVazireRevivo::TrayMenu_BeendenClick() {
  std::string text = GetTextById(510) + "\r" + GetTextById(511);
  if (MessageDlg(text, TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}) ==
      TModalResult::Yes) {
    Close();
  }
}
