#include "config/window/quarantine_page.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/quarantine_command.h"
#include "gui/display_text.h"
#include "platform/shell_open.h"

TQuarantinePage::TQuarantinePage(std::string folder, QWidget* parent)
    : QWidget(parent), quarantine_(std::move(folder)) {
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);
  layout->addWidget(summary_);

  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Date"), QStringLiteral("From"),
                          QStringLiteral("Subject"), QStringLiteral("Blocked attachments"),
                          QStringLiteral("File")});
  layout->addWidget(list_, 1);

  auto* buttons = new QHBoxLayout;
  export_ = new QPushButton(QStringLiteral("&Export..."), this);
  open_ = new QPushButton(QStringLiteral("O&pen"), this);
  remove_ = new QPushButton(QStringLiteral("Re&move"), this);
  auto* refresh = new QPushButton(QStringLiteral("Re&fresh"), this);
  for (QPushButton* b : {export_, open_, remove_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(refresh);
  layout->addLayout(buttons);

  QObject::connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  QObject::connect(export_, &QPushButton::clicked, this, [this] { AskExport(); });
  QObject::connect(open_, &QPushButton::clicked, this, [this] {
    if (!OpenSelected()) ShowError();
  });
  QObject::connect(remove_, &QPushButton::clicked, this, [this] { AskRemove(); });
  QObject::connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  Refresh();
}

void TQuarantinePage::Refresh() {
  list_->clear();
  std::vector<TQuarantineCopy> copies;
  QString summary = QStringLiteral("Copies of the mails the delete action removed, in ") +
                    DisplayText(quarantine_.Folder()) + QStringLiteral(".");
  try {
    copies = quarantine_.List();
  } catch (const EQuarantineError& e) {
    summary += QStringLiteral("\n") + DisplayText(e.what());
  }
  if (copies.empty()) summary += QStringLiteral(" There are none.");
  summary_->setText(summary);
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const TQuarantineCopy& copy = copies[i];
    auto* item = new QTreeWidgetItem(list_);
    item->setText(colNumber, QString::number(i + 1));
    item->setText(colDate, QString::fromStdString(LocalMoment(copy.Copied)));
    item->setText(colFrom, DisplayText(PrintableValue(copy.Record.From)));
    item->setText(colSubject, DisplayText(PrintableValue(copy.Record.Subject)));
    item->setText(colBlocked, DisplayText(BlockedNames(copy)));
    item->setText(colFile, DisplayText(copy.FileName));
  }
  for (int c = colNumber; c <= colFile; ++c) list_->resizeColumnToContents(c);
  UpdateButtons();
}

bool TQuarantinePage::WithSelected(const char* what,
                                   const std::function<void(const TQuarantineCopy&)>& step) {
  lastError_.clear();
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    lastError_ = std::string("Select the copy to ") + what + ".";
    return false;
  }
  try {
    // By its file name: the list on screen may be older than the folder.
    const QByteArray name = selected.front()->text(colFile).toUtf8();
    step(quarantine_.Find(std::string(name.constData(), static_cast<size_t>(name.size()))));
    return true;
  } catch (const EQuarantineError& e) {
    lastError_ = e.what();
    return false;
  }
}

bool TQuarantinePage::ExportSelected(const std::string& target) {
  return WithSelected("export",
                      [&](const TQuarantineCopy& copy) { quarantine_.Export(copy, target); });
}

bool TQuarantinePage::OpenSelected() {
  return WithSelected("open", [&](const TQuarantineCopy& copy) {
    if (!ShellOpen(copy.Path)) {
      throw EQuarantineError("the desktop could not be asked to open " + copy.Path);
    }
  });
}

bool TQuarantinePage::RemoveSelected() {
  const bool removed =
      WithSelected("remove", [&](const TQuarantineCopy& copy) { quarantine_.Remove(copy); });
  Refresh();
  return removed;
}

void TQuarantinePage::UpdateButtons() {
  const bool selected = !list_->selectedItems().isEmpty();
  for (QPushButton* b : {export_, open_, remove_}) b->setEnabled(selected);
}

void TQuarantinePage::AskExport() {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const QString suggested = QDir::home().filePath(selected.front()->text(colFile));
  const QString target = QFileDialog::getSaveFileName(this, QStringLiteral("Export the mail"),
                                                      suggested, QStringLiteral("Mail (*.eml)"));
  if (target.isEmpty()) return;
  const QByteArray path = QFile::encodeName(target);
  if (!ExportSelected(std::string(path.constData(), static_cast<size_t>(path.size())))) {
    ShowError();
  }
}

void TQuarantinePage::AskRemove() {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const auto answer = QMessageBox::question(
      this, window()->windowTitle(),
      QStringLiteral("Remove the copy %1 for good? The mail cannot be recovered afterwards.")
          .arg(selected.front()->text(colFile)));
  if (answer == QMessageBox::Yes && !RemoveSelected()) ShowError();
}

void TQuarantinePage::ShowError() {
  QMessageBox::critical(this, window()->windowTitle(), DisplayText(lastError_));
}
