#pragma once
// The part of the configuration window that says how the session to the real server is
// protected: the three choices of UpstreamSecurity in the command line's words, and the PEM
// file of UpstreamCAFile trusted besides the system's authorities (an empty field: none).

#include <QGroupBox>

#include "config/window/config_choices.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TSecurityBox : public QGroupBox {
 public:
  explicit TSecurityBox(QWidget* parent);
  void Show(const TConfigChoices& choices, bool storeReadable);
  // Puts what the widgets say into the choices.
  void Read(TConfigChoices& choices) const;

  // The items are in the order plain, stls, tls; none is chosen while the stored value is
  // one the proxy cannot read.
  QComboBox* SecurityField() const { return security_; }
  QLineEdit* CAFileField() const { return caFile_; }
  QPushButton* ChooseCAFileButton() const { return choose_; }

 private:
  void ChooseCAFile();

  QComboBox* security_ = nullptr;
  QLineEdit* caFile_ = nullptr;
  QPushButton* choose_ = nullptr;
  std::string shownCAFile_;  // the stored bytes behind the field's text
};
