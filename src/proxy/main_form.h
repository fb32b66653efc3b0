#pragma once
// The proxy's one window: status line, step marks, progress bars, log and results pages, the
// buttons, the tray icon with its menu and the reply time-out timer. The window owns every
// component; the service parts hook their actions into the handlers declared here.

#include <array>

#include "platform/forms.h"
#include "proxy/help_components.h"

class TFormVazireRevivo : public TForm {
 public:
  // Builds every control and then runs FormCreate, as the window's creation does.
  explicit TFormVazireRevivo(TComponent* owner = nullptr);

  // Header band and header lines.
  TGradientBand* Gradient_Header;
  TLabel* Label_hinweis1;
  TLabel* Label_Hinweis2;
  TBevel* Bevel_Header;
  TLabel* Label_Status;
  // Download progress.
  TLabel* Label_ProgressBar1;
  TLabel* Label_Mails;
  TProgressBar* ProgressBar1;
  TLabel* Label_Progressbar2;
  TProgressBar* ProgressBar2;
  // Pages.
  TPageControl* PageControl1;
  TTabSheet* TabSheet_Fortschritt;
  TTabSheet* TabSheet_LOG;
  TTabSheet* TabSheet_MELDUNGEN;
  TMemo* Memo_LOG;
  TMemo* Memo_Meldungen;
  // The seven step rows of the first page, top to bottom.
  TBevel* Bevel_LogIn;
  TImage* Image_LogIn;
  TLabel* Label_LogIn;
  TBevel* Bevel_STAT;
  TImage* Image_STAT;
  TLabel* Label_STAT;
  TBevel* Bevel_LIST;
  TImage* Image_LIST;
  TLabel* Label_LIST;
  TBevel* Bevel_RETR;
  TImage* Image_RETR;
  TLabel* Label_RETR;
  TBevel* Bevel_ATTACHMENTS;
  TImage* Image_ATTACHMENTS;
  TLabel* Label_ATTACHMENTS;
  TBevel* Bevel_SENT;
  TImage* Image_SENT;
  TLabel* Label_SENT;
  TBevel* Bevel_QUIT;
  TImage* Image_QUIT;
  TLabel* Label_QUIT;
  // Buttons.
  TBevel* Bevel_Buttons;
  TButton* Button_CONFIG;
  TButton* Button_RESET;
  TButton* Button_Help;
  TButton* Button1;
  TButton* Button_Abbrechen;
  // Tray.
  TPopupMenu* TrayMenu;
  TMenuItem* TrayMenu_Anzeigen;
  TMenuItem* TrayMenu_Config;
  TMenuItem* TrayMenu_Beenden;
  TTrayIcon* TrayIcon1;
  // Non-visual parts.
  TTimer* Timer_TimeOut;
  THelpRouter* HelpRouter1;
  TWhatsThis* WhatsThis1;

  // The step images in step order (log-in first, quit last).
  std::array<TImage*, 7> StepImages() const;

  // The reply wait ends at once when this is set: by the reply time-out, or by closing.
  bool TimedOut = false;
  // The user pressed Cancel; stays set until the Reset action or QUIT clears it.
  bool AbortRequested = false;

  // Window events.
  void FormCreate();
  void FormClose(TCloseAction& action);
  bool FormHelp(int command, int data, bool& callHelp);
  void WhatsThis1Popup(bool& doPopup);

  // Buttons and tray menu.
  void Button_CONFIGClick();
  void Button_RESETClick();
  void Button_HelpClick();
  void Button1Click();
  void Button_AbbrechenClick();
  void TrayMenu_AnzeigenClick();
  void TrayMenu_ConfigClick();
  void TrayMenu_BeendenClick();
  void Timer_TimeOutTimer();

  // Display operations.
  void ResetDisplay();
  void ShowResults();
  // Back to the tray: the icon shows, the window goes.
  void HideToTray();

 private:
  void CreateControls();
  void CreateStepRows();
  void CreateTray();
  void ConnectHandlers();
};
