#include "config/window/config_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

#include "config/policy_settings.h"
#include "config/service_settings.h"
#include "config/security_settings.h"
#include "config/settings_edit.h"
#include "config/window/security_box.h"
#include "config/window/start_box.h"
#include "config_test_support.h"

namespace {

using config_test::ReadFile;
using config_test::TempFolder;
using config_test::WriteFile;

ino_t Inode(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

class ConfigWindowTest : public ::testing::Test {
 protected:
  ConfigWindowTest()
      : places{(folder / "registry.reg").string(), (folder / "program").string(), "", ""} {
    places.quarantineFolder = (folder / "quarantine").string();
    std::filesystem::create_directory(folder / "program");
  }
  void WriteKey(const std::string& lines) {
    WriteFile(places.registryPath,
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n" + lines);
  }
  std::filesystem::path Program(const char* name) { return folder / "program" / name; }
  std::string Stored(const char* name) {
    for (const TRegValue& v : ListSettings(places.registryPath)) {
      if (v.name == name) return SettingTypeName(v) + " " + SettingDataText(v);
    }
    return "missing";
  }

  TempFolder folder;
  TConfigPlaces places;
};

TEST_F(ConfigWindowTest, NothingStoredShowsTheProxysDefaults) {
  TConfigWindow window(places);
  EXPECT_TRUE(window.ActionButton(TBlockAction::Rename)->isChecked());
  for (TBlockGroup g : {TBlockGroup::Scripts, TBlockGroup::Programs, TBlockGroup::Own}) {
    EXPECT_EQ(window.GroupBox(g)->checkState(), Qt::Checked);
  }
  EXPECT_FALSE(window.ReportBox()->isChecked());
  EXPECT_TRUE(window.TextEditor(TProgramText::TextNotice)->toPlainText().isEmpty());
  EXPECT_TRUE(window.StoredValuesView()->toPlainText().contains("RenameTXT.txt"));
  // OK without a change writes nothing, not even an empty store or empty files.
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_FALSE(std::filesystem::exists(places.registryPath));
  EXPECT_FALSE(std::filesystem::exists(Program("RenameTXT.txt")));
}

TEST_F(ConfigWindowTest, ReadsByTheProxysRulesAndShowsOddValues) {
  WriteKey(
      "\"Aktion\"=\"2\"\n"
      "\"CheckBox_CheckAttach_Skripte\"=\"0\"\n"
      "\"CheckBox_CheckAttach_EXEsX\"=dword:1\n"
      "\"Others\"=hex:70,69,66,2c,73,63,72\n"
      "\"CheckBox_SendError\"=hex:01\n");
  TConfigReading reading = ReadConfigChoices(places);
  // The command line's own view of the policy agrees.
  TPolicySettings policy = ReadPolicySettings(places.registryPath);
  EXPECT_EQ(static_cast<int>(*reading.choices.action), policy.action);
  EXPECT_EQ(reading.choices.groups[0], policy.blockScripts);
  EXPECT_EQ(reading.choices.groups[1], policy.blockPrograms);
  EXPECT_EQ(reading.choices.groups[2], policy.blockOwnList);
  EXPECT_EQ(reading.choices.ownExtensions, policy.ownExtensions);
  EXPECT_EQ(reading.choices.sendReport, policy.sendReport);

  TConfigWindow window(places);
  EXPECT_TRUE(window.ActionButton(TBlockAction::Delete)->isChecked());
  EXPECT_EQ(window.GroupBox(TBlockGroup::Programs)->checkState(), Qt::Unchecked);
  EXPECT_EQ(window.OwnExtensionsEdit()->text(), QStringLiteral("pif,scr"));
  EXPECT_TRUE(window.ReportBox()->isChecked());
  QString stored = window.StoredValuesView()->toPlainText();
  EXPECT_TRUE(stored.contains(QRegularExpression("Aktion +string +\"2\""))) << stored.toStdString();
  EXPECT_TRUE(stored.contains(QRegularExpression("Others +binary +70,69,66")));
  EXPECT_TRUE(stored.contains("CheckBox_CheckAttach_EXEsX begins with it"));
}

TEST_F(ConfigWindowTest, UnreadableValuesStayUndecidedAndUntouched) {
  WriteKey(
      "\"Aktion\"=\"zwei\"\n"
      "\"CheckBox_CheckAttach_EXEs\"=hex:01,02,03,04,05\n");
  TConfigWindow window(places);
  for (TBlockAction a : {TBlockAction::Rename, TBlockAction::Delete, TBlockAction::LogOnly}) {
    EXPECT_FALSE(window.ActionButton(a)->isChecked());
  }
  EXPECT_EQ(window.GroupBox(TBlockGroup::Programs)->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(window.StoredValuesView()->toPlainText().contains("checks no mail"));
  EXPECT_TRUE(window.NotesLabel()->text().contains("Aktion"));
  EXPECT_FALSE(window.NotesLabel()->isHidden());

  // The report switch changes; the odd values the user left undecided stay as they were.
  window.ReportBox()->click();
  EXPECT_FALSE(window.StrictNamesBox()->isChecked());
  window.StrictNamesBox()->click();
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("CheckBox_SendError"), "integer 1");
  EXPECT_EQ(Stored("StrictAttachmentNames"), "integer 1");
  EXPECT_EQ(Stored("Aktion"), "string \"zwei\"");
  EXPECT_EQ(Stored("CheckBox_CheckAttach_EXEs"), "binary 01,02,03,04,05");

  // Once decided, they are written as numbers the proxy reads.
  TConfigWindow again(places);
  again.ActionButton(TBlockAction::LogOnly)->click();
  again.GroupBox(TBlockGroup::Programs)->click();
  EXPECT_NE(again.GroupBox(TBlockGroup::Programs)->checkState(), Qt::PartiallyChecked);
  again.GroupBox(TBlockGroup::Programs)->setChecked(false);
  ASSERT_TRUE(again.Apply()) << again.LastError();
  EXPECT_EQ(Stored("Aktion"), "integer 3");
  EXPECT_EQ(Stored("CheckBox_CheckAttach_EXEs"), "integer 0");
  EXPECT_FALSE(ReadPolicySettings(places.registryPath).blockPrograms);
}

TEST_F(ConfigWindowTest, WritesOnlyChangesAndKeepsOtherWritersChanges) {
  WriteKey("\"Aktion\"=dword:00000001\n\"Others\"=\"pif\"\n");
  TConfigWindow window(places);
  window.ActionButton(TBlockAction::Delete)->click();
  window.OwnExtensionsEdit()->setText(QStringLiteral("pif,scr,lnk"));
  window.GroupBox(TBlockGroup::Scripts)->click();
  // Someone else writes meanwhile (the command line, say); that change must survive.
  SetSetting(places.registryPath, TRegValue::MakeInteger("CheckBox_SendError", 1));
  ASSERT_TRUE(window.Apply()) << window.LastError();
  TPolicySettings policy = ReadPolicySettings(places.registryPath);
  EXPECT_EQ(policy.action, 2);
  EXPECT_FALSE(policy.blockScripts);
  EXPECT_TRUE(policy.blockPrograms);
  EXPECT_EQ(policy.ownExtensions, "pif,scr,lnk");
  EXPECT_TRUE(policy.sendReport);
  EXPECT_EQ(Stored("CheckBox_CheckAttach_EXEs"), "missing");  // never touched
  // The window now shows what is stored.
  EXPECT_TRUE(window.StoredValuesView()->toPlainText().contains("CheckBox_SendError"));
}

TEST_F(ConfigWindowTest, ListenAfterDropShowsAndWritesAsTheProxyReadsIt) {
  {
    TConfigWindow window(places);
    EXPECT_FALSE(window.StartBox()->ListenAfterDropBox()->isChecked());
    window.StartBox()->ListenAfterDropBox()->click();
    ASSERT_TRUE(window.Apply()) << window.LastError();
    EXPECT_EQ(Stored("ListenAfterDrop"), "integer 1");
    EXPECT_TRUE(ReadListenAfterDrop(places.registryPath));
  }
  // A value the proxy does not read as 1 shows off, and stays as it is unless changed.
  WriteKey("\"ListenAfterDrop\"=\"on\"\n\"Aktion\"=dword:2\n");
  TConfigWindow window(places);
  EXPECT_FALSE(window.StartBox()->ListenAfterDropBox()->isChecked());
  window.ActionButton(TBlockAction::Rename)->click();
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("ListenAfterDrop"), "string \"on\"");
  window.StartBox()->ListenAfterDropBox()->click();
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("ListenAfterDrop"), "integer 1");
  window.StartBox()->ListenAfterDropBox()->click();
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("ListenAfterDrop"), "integer 0");
}

TEST_F(ConfigWindowTest, RefusedInputChangesNothing) {
  WriteKey("\"Others\"=\"pif\"\n");
  const std::string before = ReadFile(places.registryPath);
  TConfigWindow window(places);
  window.ActionButton(TBlockAction::Delete)->click();
  window.OwnExtensionsEdit()->setText(QStringLiteral(u"pif,\u03a9"));
  EXPECT_FALSE(window.Apply());
  EXPECT_NE(window.LastError().find("Windows-1252"), std::string::npos) << window.LastError();
  EXPECT_EQ(ReadFile(places.registryPath), before);
}

TEST_F(ConfigWindowTest, EditsTheTextsInTheirOwnEncodingAndLineEnds) {
  // The notice in Windows-1252 with CR LF, the template in UTF-8 with CR LF.
  WriteFile(Program("RenameTXT.txt"),
            "Der Anhang wurde umbenannt.\r\nGr\xfc\xdf"
            "e\r\n");
  WriteFile(Program("response.eml"), "Subject: Gel\xc3\xb6scht XXX%2\r\n\r\nVon XXX%3\r\n");
  WriteFile(Program("RenameHTML.txt"), "<p>umbenannt</p>\r\n");
  const ino_t htmlInode = Inode(Program("RenameHTML.txt"));
  TConfigWindow window(places);
  QPlainTextEdit* notice = window.TextEditor(TProgramText::TextNotice);
  EXPECT_EQ(notice->toPlainText(), QStringLiteral(u"Der Anhang wurde umbenannt.\nGrüße\n"));
  notice->setPlainText(notice->toPlainText() + QStringLiteral(u"Bitte prüfen.\n"));
  QPlainTextEdit* report = window.TextEditor(TProgramText::ReportTemplate);
  report->setPlainText(report->toPlainText().replace("Von", QStringLiteral(u"Absender (ö)")));
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(ReadFile(Program("RenameTXT.txt")),
            "Der Anhang wurde umbenannt.\r\nGr\xfc\xdf"
            "e\r\nBitte pr\xfc"
            "fen.\r\n");
  EXPECT_EQ(ReadFile(Program("response.eml")),
            "Subject: Gel\xc3\xb6scht XXX%2\r\n\r\nAbsender (\xc3\xb6) XXX%3\r\n");
  EXPECT_EQ(Inode(Program("RenameHTML.txt")), htmlInode);  // unchanged, so not rewritten

  // A template without placeholders is allowed, with a note for the user.
  window.TextEditor(TProgramText::ReportTemplate)->setPlainText("Subject: fest\n");
  ASSERT_TRUE(window.Apply()) << window.LastError();
  ASSERT_FALSE(window.LastNotes().empty());
  EXPECT_NE(window.LastNotes()[0].find("placeholders"), std::string::npos);
}

TEST_F(ConfigWindowTest, ABrokenStoreLeavesOnlyTheTextsEditable) {
  WriteFile(places.registryPath, "this is no settings file\n");
  TConfigWindow window(places);
  EXPECT_FALSE(window.ActionButton(TBlockAction::Rename)->isEnabled());
  EXPECT_FALSE(window.OwnExtensionsEdit()->isEnabled());
  EXPECT_TRUE(window.StoredValuesView()->toPlainText().contains("ignores this file"));
  window.TextEditor(TProgramText::HtmlNotice)->setPlainText("<p>neu</p>\n");
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(ReadFile(Program("RenameHTML.txt")), "<p>neu</p>\r\n");
  EXPECT_EQ(ReadFile(places.registryPath), "this is no settings file\n");
}

TEST_F(ConfigWindowTest, PortsAndTheStartAtLoginAreWrittenWhenChanged) {
  places.autostartPath = (folder / "autostart" / "brindlecap.desktop").string();
  WriteKey("\"ListenPort\"=dword:00000457\n\"UpstreamPort\"=\"kein\"\n");
  TConfigWindow window(places);
  TStartBox* start = window.StartBox();
  EXPECT_EQ(start->ListenPortField()->value(), 1111);
  // A value the proxy ignores shows as the standard port, with a note, and stays unless changed.
  EXPECT_EQ(start->UpstreamPortField()->value(), 0);
  EXPECT_EQ(start->UpstreamPortField()->text(), "standard (110)");
  EXPECT_TRUE(window.NotesLabel()->text().contains("UpstreamPort"));
  EXPECT_FALSE(start->AutostartBox()->isChecked());
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("UpstreamPort"), "string \"kein\"");
  EXPECT_FALSE(std::filesystem::exists(places.autostartPath));

  start->ListenPortField()->setValue(0);
  start->UpstreamPortField()->setValue(995);
  start->AutostartBox()->setChecked(true);
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("ListenPort"), "missing");
  EXPECT_EQ(Stored("UpstreamPort"), "integer 995");
  EXPECT_NE(ReadFile(places.autostartPath).find("Exec=\"" + places.programFolder + "/brindlecap\""),
            std::string::npos);

  TConfigWindow again(places);
  EXPECT_TRUE(again.StartBox()->AutostartBox()->isChecked());
  again.StartBox()->AutostartBox()->setChecked(false);
  ASSERT_TRUE(again.Apply()) << again.LastError();
  EXPECT_FALSE(std::filesystem::exists(places.autostartPath));
}

TEST_F(ConfigWindowTest, ASharedProgramFolderKeepsItsTextsAndTheEditGoesToTheUser) {
  places.userFolder = (folder / "own").string();
  WriteFile(Program("RenameTXT.txt"), "shipped\r\n");
  TConfigWindow window(places);
  EXPECT_EQ(window.TextEditor(TProgramText::TextNotice)->toPlainText(), "shipped\n");
  window.TextEditor(TProgramText::TextNotice)->setPlainText("mine\n");
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(ReadFile(folder / "own" / "RenameTXT.txt"), "mine\r\n");
  EXPECT_EQ(ReadFile(Program("RenameTXT.txt")), "shipped\r\n");
  EXPECT_EQ(window.TextEditor(TProgramText::TextNotice)->toPlainText(), "mine\n");
}

TEST_F(ConfigWindowTest, SecurityIsChosenInTheCommandLinesWords) {
  TConfigWindow window(places);
  QComboBox* security = window.SecurityBox()->SecurityField();
  ASSERT_EQ(security->count(), 3);
  EXPECT_TRUE(security->itemText(0).startsWith("plain: "));
  EXPECT_TRUE(security->itemText(1).startsWith("stls: "));
  EXPECT_TRUE(security->itemText(2).startsWith("tls: "));
  EXPECT_EQ(security->currentIndex(), 0);  // nothing stored: plain
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_FALSE(std::filesystem::exists(places.registryPath));

  security->setCurrentIndex(2);
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("UpstreamSecurity"), "integer 2");
  EXPECT_EQ(StoredSecurity(places.registryPath), TUpstreamSecurity::Implicit);
  EXPECT_EQ(TConfigWindow(places).SecurityBox()->SecurityField()->currentIndex(), 2);
}

TEST_F(ConfigWindowTest, AnUnreadableSecurityShowsNoChoiceAndStaysUntilOneIsMade) {
  WriteKey("\"UpstreamSecurity\"=dword:00000007\n\"Aktion\"=dword:2\n");
  TConfigWindow window(places);
  QComboBox* security = window.SecurityBox()->SecurityField();
  EXPECT_EQ(security->currentIndex(), -1);
  EXPECT_TRUE(window.NotesLabel()->text().contains("UpstreamSecurity"));
  EXPECT_TRUE(window.NotesLabel()->text().contains("refuses every login"));
  window.ActionButton(TBlockAction::Rename)->click();
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("UpstreamSecurity"), "integer 7");
  security->setCurrentIndex(1);
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("UpstreamSecurity"), "integer 1");
  EXPECT_FALSE(window.NotesLabel()->isVisible());
}

TEST_F(ConfigWindowTest, TheTrustedFileIsCheckedLikeOnTheCommandLine) {
  const std::filesystem::path pem = folder / "server.pem";
  const std::filesystem::path notPem = folder / "server.der";
  WriteFile(pem, "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
  WriteFile(notPem, std::string("\x30\x82\x01\x0a", 4));
  TConfigWindow window(places);
  QLineEdit* caFile = window.SecurityBox()->CAFileField();
  EXPECT_TRUE(caFile->text().isEmpty());

  // Refused: the proxy could not load it, so nothing at all is written.
  caFile->setText(QString::fromStdString(notPem.string()));
  window.ActionButton(TBlockAction::Delete)->click();
  EXPECT_FALSE(window.Apply());
  EXPECT_NE(window.LastError().find("holds no PEM certificate"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(places.registryPath));
  caFile->setText(QString::fromStdString((folder / "missing.pem").string()));
  EXPECT_FALSE(window.Apply());
  EXPECT_NE(window.LastError().find("cannot be read"), std::string::npos);

  caFile->setText(QString::fromStdString(pem.string()));
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(Stored("UpstreamCAFile"), "string \"" + pem.string() + "\"");
  EXPECT_EQ(StoredCAFile(places.registryPath), pem.string());

  // A stored file that went away is said, and does not stop other changes.
  std::filesystem::remove(pem);
  TConfigWindow again(places);
  EXPECT_EQ(again.SecurityBox()->CAFileField()->text().toStdString(), pem.string());
  EXPECT_TRUE(again.NotesLabel()->text().contains("refuses every TLS login"));
  again.ActionButton(TBlockAction::Rename)->click();
  ASSERT_TRUE(again.Apply()) << again.LastError();
  EXPECT_EQ(Stored("Aktion"), "integer 1");
  // An empty field removes it: only the system's authorities again.
  again.SecurityBox()->CAFileField()->clear();
  ASSERT_TRUE(again.Apply()) << again.LastError();
  EXPECT_EQ(Stored("UpstreamCAFile"), "missing");
}

TEST_F(ConfigWindowTest, TheFileChooserFillsInTheTrustedFile) {
  const std::filesystem::path pem = folder / "own-ca.pem";
  WriteFile(pem, "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
  TConfigWindow window(places);
  bool answered = false;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    answer.stop();
    answered = true;
    dialog->selectFile(QString::fromStdString(pem.string()));
    static_cast<QDialog*>(dialog)->accept();  // as its Open button does
  });
  answer.start();
  window.SecurityBox()->ChooseCAFileButton()->click();
  ASSERT_TRUE(answered);
  EXPECT_EQ(window.SecurityBox()->CAFileField()->text().toStdString(), pem.string());
  ASSERT_TRUE(window.Apply()) << window.LastError();
  EXPECT_EQ(StoredCAFile(places.registryPath), pem.string());
}

TEST_F(ConfigWindowTest, EverythingFitsIntoTheWindowAsItOpens) {
  WriteKey("\"UpstreamSecurity\"=dword:00000001\n");
  TConfigWindow window(places);
  window.show();
  QApplication::processEvents();
  // The long meanings of the security choices must not widen the window beyond its size.
  EXPECT_LE(window.minimumSizeHint().width(), window.width());
  EXPECT_LE(window.minimumSizeHint().height(), window.height());
  // Kept in the build folder for a look at the layout.
  EXPECT_TRUE(window.grab().save(QStringLiteral(GUI_SCREENS_DIR "/config-window.png")));
}

}  // namespace
