#include "gui/qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "gui/display_text.h"

namespace {

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::Warning:
      return QMessageBox::Warning;
    case TMsgDlgType::Error:
      return QMessageBox::Critical;
    case TMsgDlgType::Information:
      return QMessageBox::Information;
    case TMsgDlgType::Confirmation:
      return QMessageBox::Question;
    case TMsgDlgType::Custom:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole RoleOf(TMsgDlgBtn kind) {
  switch (kind) {
    case TMsgDlgBtn::Yes:
    case TMsgDlgBtn::YesToAll:
      return QMessageBox::YesRole;
    case TMsgDlgBtn::No:
    case TMsgDlgBtn::NoToAll:
      return QMessageBox::NoRole;
    case TMsgDlgBtn::Ok:
    case TMsgDlgBtn::All:
      return QMessageBox::AcceptRole;
    case TMsgDlgBtn::Cancel:
    case TMsgDlgBtn::Abort:
      return QMessageBox::RejectRole;
    case TMsgDlgBtn::Retry:
    case TMsgDlgBtn::Ignore:
      return QMessageBox::ActionRole;
    case TMsgDlgBtn::Help:
      return QMessageBox::HelpRole;
  }
  return QMessageBox::ActionRole;
}

// The text table separates lines with a lone CR; Qt wants LF.
QString MessageText(const std::string& text) {
  QString s = DisplayText(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(u'\r', u'\n');
  return s;
}

constexpr char kButtonIndex[] = "brindlecapButtonIndex";

}  // namespace

QMessageBox* BuildMessageBox(const TMessageDlgRequest& request) {
  auto* box = new QMessageBox();
  box->setWindowTitle(DisplayText(request.title));
  box->setText(MessageText(request.text));
  box->setTextFormat(Qt::PlainText);
  box->setIcon(IconOf(request.type));
  box->setWindowFlag(Qt::WindowStaysOnTopHint);
  QAbstractButton* escape = nullptr;
  for (size_t i = 0; i < request.buttons.size(); ++i) {
    const TMsgDlgButton& b = request.buttons[i];
    QPushButton* button = box->addButton(DisplayText(b.caption), RoleOf(b.kind));
    button->setProperty(kButtonIndex, static_cast<int>(i));
    if (i == 0) box->setDefaultButton(button);
    // Escape answers as closing the box would: Cancel, else No.
    if (b.kind == TMsgDlgBtn::Cancel || (b.kind == TMsgDlgBtn::No && !escape)) escape = button;
  }
  if (escape) box->setEscapeButton(escape);
  return box;
}

TModalResult ResultOfChoice(const QMessageBox& box, const TMessageDlgRequest& request) {
  QAbstractButton* chosen = box.clickedButton();
  if (chosen) {
    bool ok = false;
    int index = chosen->property(kButtonIndex).toInt(&ok);
    if (ok && index >= 0 && static_cast<size_t>(index) < request.buttons.size()) {
      return request.buttons[static_cast<size_t>(index)].result;
    }
  }
  // Closed without a choice: as the escape button would answer.
  for (const TMsgDlgButton& b : request.buttons) {
    if (b.kind == TMsgDlgBtn::Cancel) return b.result;
  }
  for (const TMsgDlgButton& b : request.buttons) {
    if (b.kind == TMsgDlgBtn::No) return b.result;
  }
  return request.buttons.size() == 1 ? request.buttons.front().result : TModalResult::None;
}

TModalResult ShowQtMessageBox(const TMessageDlgRequest& request) {
  std::unique_ptr<QMessageBox> box(BuildMessageBox(request));
  box->exec();
  return ResultOfChoice(*box, request);
}

void InstallQtMessageBox() {
  SetMessageDlgHandler(ShowQtMessageBox);
}
