#pragma once
// The part of the configuration window that says where and when the proxy runs: its two
// ports (an empty field is the standard port) and whether the desktop starts it at login.

#include <QGroupBox>

#include "config/window/config_choices.h"

class QCheckBox;
class QSpinBox;

class TStartBox : public QGroupBox {
 public:
  explicit TStartBox(QWidget* parent);
  void Show(const TConfigChoices& choices, bool storeReadable);
  // Puts what the widgets say into the choices.
  void Read(TConfigChoices& choices) const;

  QSpinBox* ListenPortField() const { return listen_; }
  QSpinBox* UpstreamPortField() const { return upstream_; }
  QCheckBox* AutostartBox() const { return autostart_; }

 private:
  QSpinBox* listen_ = nullptr;
  QSpinBox* upstream_ = nullptr;
  QCheckBox* autostart_ = nullptr;
};
