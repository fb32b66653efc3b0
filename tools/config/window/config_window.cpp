#include "config/window/config_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/headless_mirror.h"
#include "config/settings_edit.h"
#include "config/window/quarantine_page.h"
#include "config/window/security_box.h"
#include "config/window/start_box.h"
#include "gui/display_probe.h"
#include "gui/display_text.h"
#include "gui/pictures.h"

namespace {

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Bare LF line ends throughout, as a file written on this system might have.
bool UsesBareLineFeeds(const std::string& text) {
  return text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos;
}

// The editors hold LF line ends; a lone CR of the file shows as a line end too.
QString ForEditing(const std::string& bytes) {
  QString text = DisplayText(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

void SetUndecided(QCheckBox* box, const std::optional<bool>& value) {
  // A value the proxy cannot read shows undecided until the user decides.
  box->setTristate(!value.has_value());
  box->setCheckState(!value ? Qt::PartiallyChecked : *value ? Qt::Checked : Qt::Unchecked);
}

std::optional<bool> Decision(const QCheckBox* box) {
  if (box->checkState() == Qt::PartiallyChecked) return std::nullopt;
  return box->checkState() == Qt::Checked;
}

QString JoinNotes(const std::vector<std::string>& notes) {
  QStringList lines;
  for (const std::string& n : notes) lines << DisplayText(n);
  return lines.join(u'\n');
}

}  // namespace

std::string EncodeEditedText(const QString& edited, const std::optional<std::string>& original,
                             const std::string& what, bool multiLine) {
  if (original && (multiLine ? ForEditing(*original) : DisplayText(*original)) == edited) {
    return *original;  // shown unchanged: kept byte for byte
  }
  QString text = edited;
  if (multiLine && !(original && UsesBareLineFeeds(*original))) {
    text.replace(u'\n', QStringLiteral("\r\n"));
  }
  if (original && !IsAscii(*original) && IsValidUtf8(*original)) {
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  std::optional<std::string> bytes = EncodeWindows1252(text);
  if (!bytes) {
    QString odd;
    for (QChar c : text) {
      if (!EncodeWindows1252(QString(c))) {
        odd = c;
        break;
      }
    }
    throw EConfigError(what + " holds the character '" + odd.toStdString() +
                       "', which the proxy's code page (Windows-1252) cannot write; nothing "
                       "was changed");
  }
  return *bytes;
}

TConfigWindow::TConfigWindow(TConfigPlaces places, QWidget* parent)
    : QDialog(parent), places_(std::move(places)) {
  Build();
  reading_ = ReadConfigChoices(places_);
  Show(reading_);
}

void TConfigWindow::Build() {
  setWindowTitle(QStringLiteral("Brindlecap settings"));
  setWindowIcon(ProgramIcon());
  auto* layout = new QVBoxLayout(this);
  notes_ = new QLabel(this);
  notes_->setWordWrap(true);
  notes_->setTextFormat(Qt::PlainText);
  notes_->setStyleSheet(QStringLiteral("QLabel { color: #8a1c00; }"));
  layout->addWidget(notes_);

  auto* actionBox = new QGroupBox(QStringLiteral("A mail with a blocked attachment"), this);
  auto* actionLayout = new QVBoxLayout(actionBox);
  actions_ = new QButtonGroup(this);
  const std::pair<TBlockAction, const char*> actionTexts[] = {
      {TBlockAction::Rename, "&Rename the attachment and put a notice into the mail"},
      {TBlockAction::Delete, "&Delete the mail on the server"},
      {TBlockAction::LogOnly, "Only &log it"}};
  for (const auto& [action, text] : actionTexts) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), actionBox);
    actions_->addButton(radio, static_cast<int>(action));
    actionLayout->addWidget(radio);
  }
  report_ = new QCheckBox(
      QStringLiteral("Prepare a &report mail for every deleted mail (from response.eml)"),
      actionBox);
  actionLayout->addWidget(report_);
  layout->addWidget(actionBox);

  auto* groupBox = new QGroupBox(QStringLiteral("Blocked attachments"), this);
  auto* groupLayout = new QFormLayout(groupBox);
  const char* groupTexts[] = {"&Scripts: JS, WSH, VBS, WSC, VBE, VB, SCT",
                              "&Programs: EXE, COM, BAT", "&Own list:"};
  for (int g = 0; g < 3; ++g) {
    groups_[static_cast<size_t>(g)] = new QCheckBox(QString::fromUtf8(groupTexts[g]), groupBox);
  }
  groupLayout->addRow(groups_[0]);
  groupLayout->addRow(groups_[1]);
  ownExtensions_ = new QLineEdit(groupBox);
  ownExtensions_->setPlaceholderText(
      QStringLiteral("extensions separated by commas, e.g. pif,scr"));
  groupLayout->addRow(groups_[2], ownExtensions_);
  strictNames_ = new QCheckBox(
      QStringLiteral("&Strict names: also judge encoded, split and hidden names (recommended)"),
      groupBox);
  groupLayout->addRow(strictNames_);
  QObject::connect(strictNames_, &QCheckBox::clicked, strictNames_,
                   [this] { strictNames_->setTristate(false); });
  for (QCheckBox* box : groups_) {
    QObject::connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
  }
  QObject::connect(report_, &QCheckBox::clicked, report_, [this] { report_->setTristate(false); });
  layout->addWidget(groupBox);
  start_ = new TStartBox(this);
  layout->addWidget(start_);
  security_ = new TSecurityBox(this);
  layout->addWidget(security_);

  auto* tabs = new QTabWidget(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const TProgramTextInfo& info : ProgramTexts()) {
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QVBoxLayout(page);
    auto* role = new QLabel(DisplayText(info.role), page);
    role->setWordWrap(true);
    pageLayout->addWidget(role);
    auto* editor = new QPlainTextEdit(page);
    editor->setFont(fixed);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    pageLayout->addWidget(editor);
    editors_[static_cast<size_t>(info.kind)] = editor;
    tabs->addTab(page, QString::fromUtf8(info.fileName));
  }
  auto* storedPage = new QWidget(tabs);
  auto* storedLayout = new QVBoxLayout(storedPage);
  storedLayout->addWidget(
      new QLabel(DisplayText(places_.registryPath) + QStringLiteral(" (read only)"), storedPage));
  stored_ = new QPlainTextEdit(storedPage);
  stored_->setReadOnly(true);
  stored_->setFont(fixed);
  stored_->setLineWrapMode(QPlainTextEdit::NoWrap);
  storedLayout->addWidget(stored_);
  tabs->addTab(storedPage, QStringLiteral("Stored settings"));
  quarantine_ = new TQuarantinePage(places_.QuarantineFolder(), tabs);
  tabs->addTab(quarantine_, QStringLiteral("Quarantine"));
  layout->addWidget(tabs, 1);
  // The program folder is not the user's to write: say where edited texts go.
  if (!places_.userFolder.empty()) {
    layout->addWidget(new QLabel(QStringLiteral("Edited texts are saved as your own copies in ") +
                                     DisplayText(places_.userFolder),
                                 this));
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QObject::connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 760);
}

void TConfigWindow::Show(const TConfigReading& reading) {
  const TConfigChoices& c = reading.choices;
  for (QAbstractButton* b : actions_->buttons()) b->setChecked(false);
  if (c.action) ActionButton(*c.action)->setChecked(true);
  for (size_t g = 0; g < 3; ++g) SetUndecided(groups_[g], c.groups[g]);
  ownExtensions_->setText(DisplayText(c.ownExtensions));
  SetUndecided(report_, c.sendReport);
  SetUndecided(strictNames_, c.strictNames);
  for (size_t t = 0; t < 3; ++t) {
    editors_[t]->setPlainText(c.texts[t] ? ForEditing(*c.texts[t]) : QString());
  }
  // The settings cannot be changed while the store file is broken; the texts still can.
  for (QAbstractButton* b : actions_->buttons()) b->setEnabled(reading.storeReadable);
  for (QCheckBox* box : groups_) box->setEnabled(reading.storeReadable);
  ownExtensions_->setEnabled(reading.storeReadable);
  report_->setEnabled(reading.storeReadable);
  strictNames_->setEnabled(reading.storeReadable);
  start_->Show(c, reading.storeReadable);
  security_->Show(c, reading.storeReadable);

  QStringList lines;
  lines << DisplayText(SettingsKeyFullPath());
  if (reading.values.empty()) lines << QStringLiteral("  (no values: the proxy uses its defaults)");
  for (const TRegValue& v : reading.values) {
    lines << QStringLiteral("  %1  %2  %3")
                 .arg(DisplayText(v.name.empty() ? "@" : v.name), -30)
                 .arg(DisplayText(SettingTypeName(v)), -8)
                 .arg(DisplayText(SettingDataText(v)));
  }
  if (!reading.notes.empty()) {
    lines << QString() << QStringLiteral("Notes:");
    for (const std::string& n : reading.notes) lines << QStringLiteral("  - ") + DisplayText(n);
  }
  stored_->setPlainText(lines.join(u'\n'));
  notes_->setText(JoinNotes(reading.notes));
  notes_->setVisible(!reading.notes.empty());
}

QRadioButton* TConfigWindow::ActionButton(TBlockAction action) const {
  return static_cast<QRadioButton*>(actions_->button(static_cast<int>(action)));
}

QCheckBox* TConfigWindow::GroupBox(TBlockGroup group) const {
  return groups_[static_cast<size_t>(group)];
}

QPlainTextEdit* TConfigWindow::TextEditor(TProgramText kind) const {
  return editors_[static_cast<size_t>(kind)];
}

TConfigChoices TConfigWindow::CurrentChoices() const {
  const TConfigChoices& before = reading_.choices;
  TConfigChoices c;
  if (int id = actions_->checkedId(); id > 0) c.action = static_cast<TBlockAction>(id);
  for (size_t g = 0; g < 3; ++g) c.groups[g] = Decision(groups_[g]);
  c.ownExtensions = EncodeEditedText(ownExtensions_->text(), before.ownExtensions,
                                     "the own extension list", false);
  c.sendReport = Decision(report_);
  c.strictNames = Decision(strictNames_);
  start_->Read(c);
  security_->Read(c);
  for (const TProgramTextInfo& info : ProgramTexts()) {
    const size_t t = static_cast<size_t>(info.kind);
    const QString text = editors_[t]->toPlainText();
    // A missing file stays missing unless something was typed for it.
    if (!before.texts[t] && text.isEmpty()) continue;
    c.texts[t] = EncodeEditedText(text, before.texts[t], info.fileName, true);
  }
  return c;
}

bool TConfigWindow::Apply() {
  lastError_.clear();
  lastNotes_.clear();
  try {
    TConfigChoices after = CurrentChoices();
    lastNotes_ = WriteConfigChoices(places_, reading_.choices, after);
  } catch (const EConfigError& e) {
    lastError_ = e.what();
    return false;
  }
  // What is on disk now is the new starting point.
  reading_ = ReadConfigChoices(places_);
  Show(reading_);
  return true;
}

void TConfigWindow::accept() {
  if (!Apply()) {
    QMessageBox::critical(this, windowTitle(), DisplayText(lastError_));
    return;
  }
  if (!lastNotes_.empty()) QMessageBox::information(this, windowTitle(), JoinNotes(lastNotes_));
  QDialog::accept();
}

std::optional<int> RunConfigWindow(int& argc, char** argv, const TConfigPlaces& places) {
  // The same switch as the proxy's: headless means no window, whatever the display.
  if (HeadlessRequested() || !DisplayAvailable()) return std::nullopt;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brindlecap-config"));
  TConfigWindow window(places);
  window.exec();
  return 0;
}
