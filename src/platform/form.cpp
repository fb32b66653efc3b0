#include "platform/form.h"

#include <utility>

#include "platform/application.h"

namespace {
TForm* mainForm = nullptr;
}

void SetMainForm(TForm* form) {
  if (!form || !mainForm) mainForm = form;
}

TForm* MainForm() {
  return mainForm;
}

TForm::TForm(TComponent* owner) : TControl(owner, TComponentKind::Form) {
  // A form is created hidden and shown on request.
  SetVisible(false);
}

TForm::~TForm() {
  if (mainForm == this) mainForm = nullptr;
}

void TForm::SetBorder(TBorderStyle style, unsigned icons) {
  if (style == borderStyle_ && icons == borderIcons_) return;
  borderStyle_ = style;
  borderIcons_ = icons;
  Changed(TChange::Appearance);
}

void TForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  Changed(TChange::Appearance);
}

void TForm::SetPosition(TPosition position) {
  if (position == position_) return;
  position_ = position;
  Changed(TChange::Appearance);
}

void TForm::SetFont(std::string name, int height) {
  if (name == fontName_ && height == fontHeight_) return;
  fontName_ = std::move(name);
  fontHeight_ = height;
  Changed(TChange::Appearance);
}

void TForm::SetScaled(bool scaled) {
  if (scaled == scaled_) return;
  scaled_ = scaled;
  Changed(TChange::Appearance);
}

void TForm::SetWindowState(TWindowState state) {
  if (state == windowState_) return;
  windowState_ = state;
  Changed(TChange::WindowState);
}

void TForm::Close() {
  TCloseAction action = TCloseAction::Hide;
  if (OnClose) OnClose(action);
  if (action == TCloseAction::None) return;
  if (action == TCloseAction::Minimize) {
    SetWindowState(TWindowState::Minimized);
    return;
  }
  Hide();
  if (mainForm == this) Application->Terminate();
}

bool TForm::Help(int command, int data) {
  bool callHelp = true;
  if (OnHelp) return OnHelp(command, data, callHelp);
  return false;
}
