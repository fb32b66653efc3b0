#pragma once
// The part of the configuration window that says where and when the proxy runs: its two
// ports (an empty field is the standard port), whether the desktop starts it at login, and
// whether the service listens again by itself after a mail program dropped its connection.

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
  QCheckBox* ListenAfterDropBox() const { return listenAfterDrop_; }

 private:
  QSpinBox* listen_ = nullptr;
  QSpinBox* upstream_ = nullptr;
  QCheckBox* autostart_ = nullptr;
  QCheckBox* listenAfterDrop_ = nullptr;
};
