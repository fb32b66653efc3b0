#pragma once
// A top-level window of the form model. Its bounds are its client area; a front end adds the
// frame. Closing the application's main form terminates the application.

#include <functional>
#include <string>

#include "platform/controls.h"

enum class TBorderStyle { None, Single, Sizeable, Dialog };
enum class TFormStyle { Normal, StayOnTop };
enum class TPosition { Designed, DesktopCenter, ScreenCenter };
enum class TWindowState { Normal, Minimized, Maximized };
enum class TCloseAction { None, Hide, Free, Minimize };

// Title-bar buttons, as bits.
constexpr unsigned biSystemMenu = 1;
constexpr unsigned biMinimize = 2;
constexpr unsigned biMaximize = 4;
constexpr unsigned biHelp = 8;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner = nullptr);
  ~TForm() override;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  unsigned BorderIcons() const { return borderIcons_; }
  TFormStyle FormStyle() const { return formStyle_; }
  TPosition Position() const { return position_; }
  const std::string& FontName() const { return fontName_; }
  // Character height in pixels.
  int FontHeight() const { return fontHeight_; }
  // Whether the design is scaled with the screen's font size.
  bool Scaled() const { return scaled_; }
  void SetBorder(TBorderStyle style, unsigned icons);
  void SetFormStyle(TFormStyle style);
  void SetPosition(TPosition position);
  void SetFont(std::string name, int height);
  void SetScaled(bool scaled);

  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);

  // Runs OnClose (whose action starts as Hide); unless the action is None the form is
  // hidden, and the main form's closing terminates the application.
  void Close();
  std::function<void(TCloseAction& action)> OnClose;

  // A help request on the window (F1). OnHelp returns whether it handled the request and may
  // clear callHelp so that no further help is looked for.
  bool Help(int command, int data);
  std::function<bool(int command, int data, bool& callHelp)> OnHelp;

 private:
  TBorderStyle borderStyle_ = TBorderStyle::Sizeable;
  unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TFormStyle formStyle_ = TFormStyle::Normal;
  TPosition position_ = TPosition::Designed;
  std::string fontName_ = "Arial";
  int fontHeight_ = 11;
  bool scaled_ = true;
  TWindowState windowState_ = TWindowState::Normal;
};

// The application's main form: the first form given here; closing it ends the program.
void SetMainForm(TForm* form);
TForm* MainForm();
