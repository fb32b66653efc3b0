#include "proxy/main_form.h"

#include <string>

namespace {

// Sky blue to white, left to right.
constexpr std::uint32_t HeaderStartColor = 0x87ceeb;
constexpr std::uint32_t HeaderEndColor = 0xffffff;
constexpr int HeaderSteps = 128;

// Step rows on the first page: 24 pixels apart from the top 16.
constexpr int StepTop = 16;
constexpr int StepPitch = 24;

constexpr char CheckMarkPicture[] = "checkmark";

template <class T>
T* Place(TFormVazireRevivo* form, const char* name, TControl* parent, int left, int top, int width,
         int height) {
  T* c = NewComponent<T>(form, name);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}

TLabel* PlaceLabel(TFormVazireRevivo* form, const char* name, int tag, const char* caption,
                   TControl* parent, int left, int top, int width, int height) {
  TLabel* label = Place<TLabel>(form, name, parent, left, top, width, height);
  label->SetTag(tag);
  label->SetCaption(caption);
  return label;
}

TButton* PlaceButton(TFormVazireRevivo* form, const char* name, int tag, const char* caption,
                     int left, int width, int tabOrder) {
  TButton* button = Place<TButton>(form, name, nullptr, left, 360, width, 25);
  button->SetTag(tag);
  button->SetCaption(caption);
  button->SetTabOrder(tabOrder);
  return button;
}

TMenuItem* AddMenuItem(TFormVazireRevivo* form, TPopupMenu* menu, const char* name, int tag,
                       const char* caption) {
  TMenuItem* item = NewComponent<TMenuItem>(form, name);
  item->SetTag(tag);
  item->SetCaption(caption);
  menu->Add(item);
  return item;
}

}  // namespace

TFormVazireRevivo::TFormVazireRevivo(TComponent* owner) : TForm(owner) {
  SetName("FormVazireRevivo");
  SetCaption("Brindlecap");
  SetBounds(0, 0, 446, 390);
  // No title-bar buttons: the window leaves only through Button1 or the tray menu.
  SetBorder(TBorderStyle::Single, 0);
  SetFormStyle(TFormStyle::StayOnTop);
  SetPosition(TPosition::DesktopCenter);
  SetFont("Arial", 11);
  SetScaled(false);

  CreateControls();
  CreateStepRows();
  CreateTray();

  Timer_TimeOut = NewComponent<TTimer>(this, "Timer_TimeOut");
  Timer_TimeOut->SetEnabled(false);
  Timer_TimeOut->SetInterval(58000);
  CreateServiceComponents();

  HelpRouter1 = NewComponent<THelpRouter>(this, "HelpRouter1");
  HelpRouter1->HelpType = THelpRouter::THelpType::Html;
  HelpRouter1->PopupTopicsFile = "CSHelp.txt";
  HelpRouter1->ValidateTopics = false;
  WhatsThis1 = NewComponent<TWhatsThis>(this, "WhatsThis1");

  ConnectHandlers();
  FormCreate();
}

void TFormVazireRevivo::CreateControls() {
  Gradient_Header = Place<TGradientBand>(this, "Gradient_Header", nullptr, 0, 0, 446, 44);
  Gradient_Header->SetGradient(HeaderStartColor, HeaderEndColor, HeaderSteps, true);
  Label_hinweis1 = PlaceLabel(this, "Label_hinweis1", 0, "XXX", nullptr, 4, 4, 437, 19);
  Label_Hinweis2 = PlaceLabel(this, "Label_Hinweis2", 0, "XXX", nullptr, 4, 22, 437, 14);
  for (TLabel* header : {Label_hinweis1, Label_Hinweis2}) {
    header->SetAlignment(TAlignment::Center);
    header->SetTransparent(true);
  }
  Bevel_Header = Place<TBevel>(this, "Bevel_Header", nullptr, 0, 44, 446, 2);
  Bevel_Header->SetShape(TBevelShape::TopLine, TBevelStyle::Lowered);
  Label_Status = PlaceLabel(this, "Label_Status", 0, "STATUS", nullptr, 8, 52, 432, 14);
  Label_Status->SetAlignment(TAlignment::Center);

  Label_ProgressBar1 =
      PlaceLabel(this, "Label_ProgressBar1", 1000, "Nachrichten:", nullptr, 4, 78, 61, 14);
  Label_Mails = PlaceLabel(this, "Label_Mails", 0, "XXX / XXX", nullptr, 72, 78, 51, 14);
  ProgressBar1 = Place<TProgressBar>(this, "ProgressBar1", nullptr, 132, 76, 309, 16);
  Label_Progressbar2 =
      PlaceLabel(this, "Label_Progressbar2", 1001, "Aktuelle Nachricht:", nullptr, 4, 102, 90, 14);
  ProgressBar2 = Place<TProgressBar>(this, "ProgressBar2", nullptr, 132, 100, 309, 16);

  PageControl1 = Place<TPageControl>(this, "PageControl1", nullptr, 4, 124, 437, 224);
  PageControl1->SetTabOrder(0);
  auto sheet = [this](const char* name, int tag, const char* caption) {
    TTabSheet* s = NewComponent<TTabSheet>(this, name);
    s->SetTag(tag);
    s->SetCaption(caption);
    s->SetPageControl(PageControl1);
    return s;
  };
  TabSheet_Fortschritt = sheet("TabSheet_Fortschritt", 1100, "Fortschritt");
  TabSheet_LOG = sheet("TabSheet_LOG", 1200, "Log");
  TabSheet_MELDUNGEN = sheet("TabSheet_MELDUNGEN", 1300, "Resultate / Fehler");
  auto memo = [this](const char* name, TTabSheet* page) {
    TMemo* m = NewComponent<TMemo>(this, name);
    m->SetParent(page);
    m->SetAlign(TAlign::Client);
    m->SetReadOnly(true);
    m->SetScrollBars(TScrollStyle::Vertical);
    return m;
  };
  Memo_LOG = memo("Memo_LOG", TabSheet_LOG);
  Memo_Meldungen = memo("Memo_Meldungen", TabSheet_MELDUNGEN);

  Bevel_Buttons = Place<TBevel>(this, "Bevel_Buttons", nullptr, -1, 352, 446, 2);
  Bevel_Buttons->SetShape(TBevelShape::TopLine, TBevelStyle::Lowered);
  // Keyboard order: page control, Config, Reset, Help, Cancel, then Button1.
  Button_CONFIG = PlaceButton(this, "Button_CONFIG", 1050, "Config", 4, 80, 1);
  Button_RESET = PlaceButton(this, "Button_RESET", 1051, "Reset", 88, 80, 2);
  Button_Help = PlaceButton(this, "Button_Help", 104, "Hilfe", 196, 80, 3);
  Button1 = PlaceButton(this, "Button1", 500, "&Beenden", 280, 75, 5);
  Button_Abbrechen = PlaceButton(this, "Button_Abbrechen", 101, "Abbrechen", 360, 80, 4);
}

void TFormVazireRevivo::CreateStepRows() {
  struct Row {
    const char* suffix;
    int tag;
    const char* caption;
    TBevel** bevel;
    TImage** image;
    TLabel** label;
  };
  const Row rows[] = {
      {"LogIn", 1110, "Log-In auf POP3-Server", &Bevel_LogIn, &Image_LogIn, &Label_LogIn},
      {"STAT", 1111, "Anzahl neuer Nachrichten ermitteln", &Bevel_STAT, &Image_STAT, &Label_STAT},
      {"LIST", 1112, "Bytegrössen der neuen E-Mails ermitteln", &Bevel_LIST, &Image_LIST,
       &Label_LIST},
      {"RETR", 1113, "Neue E-Mails downloaden", &Bevel_RETR, &Image_RETR, &Label_RETR},
      {"ATTACHMENTS", 1114, "Anhänge überprüfen", &Bevel_ATTACHMENTS, &Image_ATTACHMENTS,
       &Label_ATTACHMENTS},
      {"SENT", 1115, "Geprüfte E-Mails an das E-Mailprogram senden", &Bevel_SENT, &Image_SENT,
       &Label_SENT},
      {"QUIT", 1116, "Abmelden am POP3-Server", &Bevel_QUIT, &Image_QUIT, &Label_QUIT},
  };
  int top = StepTop;
  for (const Row& row : rows) {
    std::string suffix = row.suffix;
    // The check mark sits inside a 20 x 20 frame, the label beside it, text centred on it.
    *row.bevel =
        Place<TBevel>(this, ("Bevel_" + suffix).c_str(), TabSheet_Fortschritt, 7, top - 1, 20, 20);
    *row.image =
        Place<TImage>(this, ("Image_" + suffix).c_str(), TabSheet_Fortschritt, 8, top, 18, 18);
    (*row.image)->SetPicture(CheckMarkPicture);
    (*row.image)->SetTransparent(true);
    (*row.image)->Hide();
    *row.label = PlaceLabel(this, ("Label_" + suffix).c_str(), row.tag, row.caption,
                            TabSheet_Fortschritt, 36, top + 2, 380, 14);
    top += StepPitch;
  }
}

void TFormVazireRevivo::CreateTray() {
  // The menu first: the icon refers to it and must go before it.
  TrayMenu = NewComponent<TPopupMenu>(this, "TrayMenu");
  TrayMenu_Anzeigen = AddMenuItem(this, TrayMenu, "TrayMenu_Anzeigen", 1900, "Anzeigen");
  TrayMenu_Anzeigen->SetDefault(true);
  TrayMenu_Config =
      AddMenuItem(this, TrayMenu, "TrayMenu_Config", 1902, "Konfigurationstool aufrufen");
  TrayMenu_Beenden = AddMenuItem(this, TrayMenu, "TrayMenu_Beenden", 1903, "Beenden");
  TrayIcon1 = NewComponent<TTrayIcon>(this, "TrayIcon1");
  TrayIcon1->SetHint("Brindlecap");
  TrayIcon1->SetPopupMenu(TrayMenu);
  TrayIcon1->SetMinimizeToTray(true);
  TrayIcon1->SetStartMinimized(true);
  // Starting minimised shows only the icon.
  TrayIcon1->SetVisible(true);
}

void TFormVazireRevivo::ConnectHandlers() {
  OnClose = [this](TCloseAction& action) { FormClose(action); };
  OnHelp = [this](int command, int data, bool& callHelp) {
    return FormHelp(command, data, callHelp);
  };
  WhatsThis1->OnPopup = [this](bool& doPopup) { WhatsThis1Popup(doPopup); };
  Button_CONFIG->OnClick = [this](TComponent&) { Button_CONFIGClick(); };
  Button_RESET->OnClick = [this](TComponent&) { Button_RESETClick(); };
  Button_Help->OnClick = [this](TComponent&) { Button_HelpClick(); };
  Button1->OnClick = [this](TComponent&) { Button1Click(); };
  Button_Abbrechen->OnClick = [this](TComponent&) { Button_AbbrechenClick(); };
  TrayMenu_Anzeigen->OnClick = [this](TComponent&) { TrayMenu_AnzeigenClick(); };
  TrayMenu_Config->OnClick = [this](TComponent&) { TrayMenu_ConfigClick(); };
  TrayMenu_Beenden->OnClick = [this](TComponent&) { TrayMenu_BeendenClick(); };
  Timer_TimeOut->SetOnTimer([this](TComponent&) { Timer_TimeOutTimer(); });
}

std::array<TImage*, 7> TFormVazireRevivo::StepImages() const {
  return {Image_LogIn,       Image_STAT, Image_LIST, Image_RETR,
          Image_ATTACHMENTS, Image_SENT, Image_QUIT};
}
