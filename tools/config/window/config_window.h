#pragma once
// The configuration program's window: the attachment policy (action, the three groups, the
// own extension list, the report switch), the two notices and the report template, and the
// settings key as it is stored, with notes on what the proxy cannot read. OK writes what was
// changed; a refused change is shown and nothing is written.

#include <QDialog>
#include <array>
#include <optional>
#include <string>

#include "config/window/config_choices.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class TStartBox;
class TSecurityBox;
class TQuarantinePage;

// The bytes to store for an edited text: the original bytes when the text shows unchanged;
// else UTF-8 when the original was UTF-8 with non-ASCII letters, Windows-1252 otherwise (the
// proxy's code page), with the original's line ends (CR LF unless it used bare LF). Throws
// EConfigError when the text holds a character Windows-1252 lacks.
std::string EncodeEditedText(const QString& edited, const std::optional<std::string>& original,
                             const std::string& what, bool multiLine);

class TConfigWindow : public QDialog {
 public:
  explicit TConfigWindow(TConfigPlaces places, QWidget* parent = nullptr);

  // Writes what was changed. Returns false and keeps the reason in LastError() when a change
  // was refused (nothing is written then); notes about what was written are kept too.
  bool Apply();
  const std::string& LastError() const { return lastError_; }
  const std::vector<std::string>& LastNotes() const { return lastNotes_; }
  // What the widgets say now, as the choices to write.
  TConfigChoices CurrentChoices() const;

  QRadioButton* ActionButton(TBlockAction action) const;
  QCheckBox* GroupBox(TBlockGroup group) const;
  QLineEdit* OwnExtensionsEdit() const { return ownExtensions_; }
  QCheckBox* ReportBox() const { return report_; }
  QCheckBox* StrictNamesBox() const { return strictNames_; }
  QPlainTextEdit* TextEditor(TProgramText kind) const;
  QPlainTextEdit* StoredValuesView() const { return stored_; }
  // The notes on what was read, above everything else; hidden when there are none.
  QLabel* NotesLabel() const { return notes_; }
  TStartBox* StartBox() const { return start_; }
  TSecurityBox* SecurityBox() const { return security_; }
  TQuarantinePage* QuarantinePage() const { return quarantine_; }

  void accept() override;

 private:
  void Build();
  void Show(const TConfigReading& reading);

  TConfigPlaces places_;
  TConfigReading reading_;
  std::string lastError_;
  std::vector<std::string> lastNotes_;
  QButtonGroup* actions_ = nullptr;
  std::array<QCheckBox*, 3> groups_{};
  QLineEdit* ownExtensions_ = nullptr;
  QCheckBox* report_ = nullptr;
  QCheckBox* strictNames_ = nullptr;
  std::array<QPlainTextEdit*, 3> editors_{};
  QPlainTextEdit* stored_ = nullptr;
  QLabel* notes_ = nullptr;
  TStartBox* start_ = nullptr;
  TSecurityBox* security_ = nullptr;
  TQuarantinePage* quarantine_ = nullptr;
};

// Opens the window when a display is there and BRINDLECAP_HEADLESS does not ask for none.
// Returns the program's exit status, or nullopt when no window was opened (the caller then
// explains its command line).
std::optional<int> RunConfigWindow(int& argc, char** argv, const TConfigPlaces& places);
