#include "config/window/start_box.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSpinBox>

#include "config/port_settings.h"

namespace {

// 0 stands for "no setting": the field then shows which standard port the proxy uses.
QSpinBox* PortField(QWidget* parent, TPortKind kind) {
  auto* field = new QSpinBox(parent);
  field->setRange(0, 65535);
  field->setSpecialValueText(QStringLiteral("standard (%1)").arg(StandardPort(kind)));
  field->setToolTip(QStringLiteral("%1 overrides this when it is set")
                        .arg(QString::fromUtf8(PortVariableName(kind))));
  return field;
}

}  // namespace

TStartBox::TStartBox(QWidget* parent) : QGroupBox(QStringLiteral("Ports and start"), parent) {
  auto* layout = new QFormLayout(this);
  listen_ = PortField(this, TPortKind::Listen);
  upstream_ = PortField(this, TPortKind::Upstream);
  layout->addRow(QStringLiteral("Port for the mail program (&listen):"), listen_);
  layout->addRow(QStringLiteral("Port of the real &server:"), upstream_);
  autostart_ = new QCheckBox(QStringLiteral("Start Brindlecap when I log &in"), this);
  layout->addRow(autostart_);
  listenAfterDrop_ = new QCheckBox(
      QStringLiteral("Listen &again at once when a mail program drops its connection without "
                     "QUIT (instead of waiting for Reset)"),
      this);
  layout->addRow(listenAfterDrop_);
}

void TStartBox::Show(const TConfigChoices& choices, bool storeReadable) {
  listen_->setValue(choices.listenPort.value_or(0));
  upstream_->setValue(choices.upstreamPort.value_or(0));
  listen_->setEnabled(storeReadable);
  upstream_->setEnabled(storeReadable);
  autostart_->setChecked(choices.autostart);
  listenAfterDrop_->setChecked(choices.listenAfterDrop);
  listenAfterDrop_->setEnabled(storeReadable);
}

void TStartBox::Read(TConfigChoices& choices) const {
  choices.listenPort = listen_->value() > 0 ? std::optional<int>(listen_->value()) : std::nullopt;
  choices.upstreamPort =
      upstream_->value() > 0 ? std::optional<int>(upstream_->value()) : std::nullopt;
  choices.autostart = autostart_->isChecked();
  choices.listenAfterDrop = listenAfterDrop_->isChecked();
}
