#pragma once
// The texts the windowing layer shows on its own: captions of standard buttons, titles and
// buttons of message boxes. They start as the built-in German texts; the program replaces
// them from its text table at start-up, and the message box and the front end read them here.

#include <string>

struct TDialogTexts {
  // Standard buttons.
  std::string OkButton = "OK";
  std::string CancelButton = "Abbrechen";
  std::string YesButton = "&Ja";
  std::string NoButton = "&Nein";
  std::string HelpButton = "&Hilfe";
  std::string CloseButton =
      "S&chlie\xc3\x9f"
      "en";
  std::string IgnoreButton = "&Ignorieren";
  std::string RetryButton = "&Wiederholen";
  std::string AbortButton = "Abbrechen";
  std::string AllButton = "&Alle";
  // Message box titles.
  std::string WarningTitle = "Warnung";
  std::string ErrorTitle = "Fehler";
  std::string InformationTitle = "Information";
  std::string ConfirmationTitle = "Best\xc3\xa4tigung";
  // Message box buttons.
  std::string MsgYes = "&Ja";
  std::string MsgNo = "&Nein";
  std::string MsgOk = "OK";
  std::string MsgCancel = "Abbrechen";
  std::string MsgHelp = "&Hilfe";
  std::string MsgAbort = "&Abbrechen";
  std::string MsgRetry = "&Wiederholen";
  std::string MsgIgnore = "&Ignorieren";
  std::string MsgAll = "&Alle";
  std::string MsgNoToAll = "&Alle Nein";
  std::string MsgYesToAll = "A&lle Ja";
  // The notice shown when a help request finds no help, and its title.
  std::string HelpNone =
      "Keine Hilfe verf\xc3\xbc"
      "gbar";
  std::string HelpTitle = "Hilfe";
};

// The one set of texts of the process (main thread only).
TDialogTexts& DialogTexts();
