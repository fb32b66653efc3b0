#include "config/window/security_box.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/display_text.h"

namespace {

constexpr TUpstreamSecurity kChoices[] = {TUpstreamSecurity::Plain, TUpstreamSecurity::StartTls,
                                          TUpstreamSecurity::Implicit};

QString ChoiceText(TUpstreamSecurity security) {
  return QStringLiteral("%1: %2").arg(QString::fromUtf8(SecurityWord(security)),
                                      QString::fromUtf8(SecurityMeaning(security)));
}

}  // namespace

TSecurityBox::TSecurityBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Connection to the real server"), parent) {
  auto* layout = new QFormLayout(this);
  security_ = new QComboBox(this);
  for (TUpstreamSecurity s : kChoices) security_->addItem(ChoiceText(s), static_cast<int>(s));
  // The longest meaning would otherwise widen the whole window.
  security_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  security_->setMinimumContentsLength(30);
  security_->setToolTip(
      QStringLiteral("UpstreamSecurity; a port in the user name such as "
                     "pop.example.org:995/you still applies"));
  layout->addRow(QStringLiteral("S&ecurity:"), security_);

  auto* caRow = new QHBoxLayout();
  caFile_ = new QLineEdit(this);
  caFile_->setPlaceholderText(QStringLiteral("none: only the system's trusted authorities"));
  caFile_->setToolTip(
      QStringLiteral("UpstreamCAFile: a PEM file of authorities, or a server's own certificate, "
                     "trusted besides the system's"));
  choose_ = new QPushButton(QStringLiteral("C&hoose..."), this);
  QObject::connect(choose_, &QPushButton::clicked, this, [this] { ChooseCAFile(); });
  caRow->addWidget(caFile_, 1);
  caRow->addWidget(choose_);
  // A row of two widgets has no label of its own to carry the shortcut.
  auto* caLabel = new QLabel(QStringLiteral("Also &trust:"), this);
  caLabel->setBuddy(caFile_);
  layout->addRow(caLabel, caRow);
}

void TSecurityBox::ChooseCAFile() {
  QFileDialog dialog(this, QStringLiteral("Certificates to trust besides the system's"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(
      {QStringLiteral("PEM certificates (*.pem *.crt *.cer)"), QStringLiteral("All files (*)")});
  if (!caFile_->text().isEmpty()) dialog.selectFile(caFile_->text());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  caFile_->setText(dialog.selectedFiles().constFirst());
}

void TSecurityBox::Show(const TConfigChoices& choices, bool storeReadable) {
  security_->setCurrentIndex(
      choices.security ? security_->findData(static_cast<int>(*choices.security)) : -1);
  shownCAFile_ = choices.caFile;
  caFile_->setText(DisplayText(choices.caFile));
  security_->setEnabled(storeReadable);
  caFile_->setEnabled(storeReadable);
  choose_->setEnabled(storeReadable);
}

void TSecurityBox::Read(TConfigChoices& choices) const {
  const int index = security_->currentIndex();
  choices.security = index < 0 ? std::nullopt
                               : std::optional<TUpstreamSecurity>(static_cast<TUpstreamSecurity>(
                                     security_->itemData(index).toInt()));
  // A path shown unchanged keeps its stored bytes; an edited one is stored as UTF-8.
  const QString text = caFile_->text();
  if (text == DisplayText(shownCAFile_)) {
    choices.caFile = shownCAFile_;
  } else {
    const QByteArray utf8 = text.toUtf8();
    choices.caFile.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
}
