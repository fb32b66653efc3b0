#pragma once
// The configuration window's page of quarantine copies: the same list as "brindlecap-config
// quarantine list", and buttons to export a copy to a file, open it on the desktop (its mail
// program shows it) or remove it.

#include <QWidget>
#include <functional>
#include <string>

#include "quarantine/quarantine_store.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TQuarantinePage : public QWidget {
 public:
  enum TColumn { colNumber, colDate, colFrom, colSubject, colBlocked, colFile };

  explicit TQuarantinePage(std::string folder, QWidget* parent = nullptr);

  // Reads the folder again.
  void Refresh();
  // The copy of the selected row: written to `target`, handed to the desktop, or removed.
  // False when no row is selected or the step failed; LastError() says why.
  bool ExportSelected(const std::string& target);
  bool OpenSelected();
  bool RemoveSelected();
  const std::string& LastError() const { return lastError_; }

  QTreeWidget* List() const { return list_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* RemoveButton() const { return remove_; }

 private:
  bool WithSelected(const char* what, const std::function<void(const TQuarantineCopy&)>& step);
  void UpdateButtons();
  void AskExport();
  void AskRemove();
  void ShowError();

  TQuarantine quarantine_;
  std::string lastError_;
  QLabel* summary_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* remove_ = nullptr;
};
