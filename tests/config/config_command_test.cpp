#include <gtest/gtest.h>

#include <sstream>

#include "app/registry_access.h"
#include "config/autostart.h"
#include "config/command_line.h"
#include "config/port_settings.h"
#include "config/program_texts.h"
#include "config/settings_edit.h"
#include "config_test_support.h"

namespace {

using config_test::ReadFile;
using config_test::WriteFile;

struct TResult {
  int status;
  std::string out;
  std::string err;
};

class ConfigCommand : public ::testing::Test {
 protected:
  TResult Run(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = RunConfigCommand(args, places_, in, out, err);
    return {status, out.str(), err.str()};
  }
  std::string Store() const { return ReadFile(reg_.Path()); }
  std::string Program(const std::string& name) const { return ReadFile(folder_ / name); }

  config_test::PrivateRegistry reg_;
  config_test::TempFolder folder_;
  TConfigPlaces places_{reg_.Path(), folder_.Path().string(), "", ""};
};

TEST_F(ConfigCommand, SetsEveryTypeAndTheProxySeesIt) {
  EXPECT_EQ(Run({"set", "Aktion", "integer", "2"}).status, 0);
  EXPECT_EQ(Run({"set", "Others", "string", "pif,scr"}).status, 0);
  EXPECT_EQ(Run({"set", "CheckBox_SendError", "binary", "01,00,00,00"}).status, 0);
  EXPECT_EQ(Run({"set", "Note", "expand", "%HOME%"}).status, 0);
  EXPECT_EQ(Run({"set", "Mask", "dword", "0xffffffff"}).status, 0);
  EXPECT_EQ(Run({"set", "aktion", "string", "-3"}).status, 0) << "names ignore case";

  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Aktion"), -3);
  EXPECT_EQ(RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Others"), "pif,scr");
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "CheckBox_SendError"), 1);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Mask"), -1);

  TResult shown = Run({"show"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("Aktion              string   \"-3\"\n"), std::string::npos)
      << shown.out;
  EXPECT_NE(shown.out.find("CheckBox_SendError  binary   01,00,00,00\n"), std::string::npos);
  EXPECT_NE(shown.out.find("Note                expand   \"%HOME%\"\n"), std::string::npos);
  EXPECT_NE(shown.out.find("Mask                integer  -1\n"), std::string::npos);

  EXPECT_EQ(Run({"delete", "NOTE"}).status, 0);
  EXPECT_EQ(Store().find("Note"), std::string::npos);
}

TEST_F(ConfigCommand, RefusedInputLeavesEveryFileAsItWas) {
  reg_.WriteKey("\"Aktion\"=dword:00000001\n\"Others\"=\"pif\"\n");
  WriteFile(folder_ / "RenameTXT.txt", "old notice\r\n");
  WriteFile(folder_ / "withzero.txt", std::string("a\0b", 3));
  WriteFile(folder_ / "broken.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"a\"=dword:zz\n");
  WriteFile(folder_ / "badaktion.reg",
            "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n"
            "\"Others\"=\"exe\"\n\"Aktion\"=\"zwei\"\n");
  const std::string storeBefore = Store();
  std::string big(1024, 'A');
  std::string bigHex;
  for (std::size_t i = 0; i < 1024; ++i) bigHex += i ? ",41" : "41";

  const std::vector<std::vector<std::string>> refused = {
      {"set", "Aktion", "number", "2"},
      {"set", "Aktion", "integer", "12x"},
      {"set", "Aktion", "integer", ""},
      {"set", "Aktion", "integer", "4294967296"},
      {"set", "Aktion", "integer", "-2147483649"},
      {"set", "Aktion", "integer", "0x123456789"},
      {"set", "Aktion", "string", "zwei"},
      {"set", "CheckBox_CheckAttach_EXEs", "expand", " 0"},
      {"set", "CheckBox_CheckAttach_EXEs", "binary", "00,00,00,00,00"},
      {"set", "Others", "binary", bigHex},
      {"set", "X", "binary", "1,2"},
      {"set", "X", "binary", "zz"},
      {"set", "", "integer", "1"},
      {"set", "two\nlines", "integer", "1"},
      {"set", "Aktion", "integer"},
      {"delete", "Missing"},
      {"delete"},
      {"import", (folder_ / "broken.reg").string()},
      {"import", (folder_ / "badaktion.reg").string()},
      {"import", (folder_ / "none.reg").string()},
      {"import", "a.reg", "b.reg"},
      {"replace-file", "RenameTXT.txt", (folder_ / "withzero.txt").string()},
      {"replace-file", "RenameTXT.txt", (folder_ / "none.txt").string()},
      {"replace-file", "Server.ini", (folder_ / "withzero.txt").string()},
      {"replace-file", "notice-text", folder_.Path().string()},
      {"import", folder_.Path().string()},
      {"show-file", "nothing.txt"},
      {"frobnicate"},
      {},
  };
  for (const auto& args : refused) {
    TResult r = Run(args);
    std::string line;
    for (const auto& a : args) line += "[" + a.substr(0, 40) + "]";
    EXPECT_NE(r.status, 0) << line;
    EXPECT_FALSE(r.err.empty()) << line;
    EXPECT_EQ(Store(), storeBefore) << line;
    EXPECT_EQ(Program("RenameTXT.txt"), "old notice\r\n") << line;
  }
  EXPECT_EQ(Run({"frobnicate"}).status, 2);
  EXPECT_EQ(Run({"set", "Aktion", "integer", "x"}).status, 1);
  std::error_code ec;
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(reg_.Folder().Path()))
    ++entries;
  EXPECT_LE(entries, 2) << "the store, its lock file and nothing else";
}

TEST_F(ConfigCommand, BrokenStoreIsShownAsSuchAndOnlyReplacedOnRequest) {
  const std::string broken = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"a\"=\"open\n";
  WriteFile(reg_.Path(), broken);
  TResult shown = Run({"show"});
  EXPECT_EQ(shown.status, 1);
  EXPECT_NE(shown.err.find("line 3"), std::string::npos) << shown.err;
  TResult set = Run({"set", "Aktion", "integer", "2"});
  EXPECT_EQ(set.status, 1);
  EXPECT_NE(set.err.find("import --replace"), std::string::npos) << set.err;
  EXPECT_EQ(Run({"export"}).status, 1);
  EXPECT_EQ(Store(), broken);

  TResult mended = Run({"import", "-", "--replace"},
                       "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n"
                       "\"Aktion\"=dword:2\n");
  EXPECT_EQ(mended.status, 0) << mended.err;
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Aktion"), 2);
}

TEST_F(ConfigCommand, ImportMergesAndExportReadsBack) {
  reg_.WriteKey("\"Aktion\"=dword:1\n\"Others\"=\"pif\"\n\"Old\"=dword:7\n");
  TResult r = Run({"import", "-"},
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\r\n"
                  "\"Others\"=\"pif,scr\"\r\n\"Old\"=-\r\n"
                  "\"CheckBox_SendError\"=hex:01,00,\\\r\n  00,00\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Aktion"), 1);
  EXPECT_EQ(RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Others"), "pif,scr");
  EXPECT_FALSE(RegValueNameExists(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Old"));
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "CheckBox_SendError"), 1);

  std::string exported = (folder_ / "saved.reg").string();
  ASSERT_EQ(Run({"export", exported}).status, 0);
  EXPECT_EQ(Run({"export"}).out, ReadFile(exported));
  EXPECT_EQ(ParseRegistryStore(ReadFile(exported)), LoadRegistryFile(reg_.Path()));

  // Restoring the saved file over a changed store gives the saved settings back exactly.
  ASSERT_EQ(Run({"set", "Aktion", "integer", "3"}).status, 0);
  ASSERT_EQ(Run({"set", "Extra", "string", "x"}).status, 0);
  ASSERT_EQ(Run({"import", "--replace", exported}).status, 0);
  EXPECT_EQ(Run({"export"}).out, ReadFile(exported));
}

TEST_F(ConfigCommand, ProgramTextsAreShownAndReplaced) {
  WriteFile(folder_ / "RenameHTML.txt", "<p>alt</p>\r\n");
  EXPECT_EQ(Run({"show-file", "notice-html"}).out, "<p>alt</p>\r\n");
  EXPECT_EQ(Run({"show-file", "RenameTXT.txt"}).status, 1) << "missing file";

  TResult files = Run({"files"});
  EXPECT_NE(files.out.find(folder_.Path().string() + "/RenameTXT.txt  (missing)"),
            std::string::npos)
      << files.out;
  EXPECT_NE(files.out.find(folder_.Path().string() + "/RenameHTML.txt\n"), std::string::npos);

  TResult replaced = Run({"replace-file", "renamehtml.txt", "-"}, "<p>neu</p>\n");
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(Program("RenameHTML.txt"), "<p>neu</p>\n");

  TResult plain = Run({"replace-file", "report-template", "-"}, "To: someone\r\n\r\nHallo\r\n");
  EXPECT_EQ(plain.status, 0);
  EXPECT_NE(plain.err.find("none of the placeholders"), std::string::npos) << plain.err;
  TResult filled = Run({"replace-file", "response.eml", "-"}, "To: XXX%3\r\n\r\nXXX%2\r\n");
  EXPECT_EQ(filled.status, 0);
  EXPECT_EQ(filled.err, "");
  EXPECT_EQ(Program("response.eml"), "To: XXX%3\r\n\r\nXXX%2\r\n");
}

TEST_F(ConfigCommand, TextsOfASharedProgramFolderAreEditedInTheUsersFolder) {
  const auto own = folder_ / "own";
  places_.userFolder = own.string();
  WriteFile(folder_ / "RenameTXT.txt", "shipped\r\n");
  WriteFile(folder_ / "response.eml", "To: XXX%3\r\n");
  EXPECT_EQ(Run({"show-file", "RenameTXT.txt"}).out, "shipped\r\n");
  TResult files = Run({"files"});
  EXPECT_NE(files.out.find(folder_.Path().string() + "/RenameTXT.txt\n"), std::string::npos);
  EXPECT_NE(files.out.find("replace-file writes " + own.string() + "/RenameTXT.txt"),
            std::string::npos)
      << files.out;

  TResult replaced = Run({"replace-file", "notice-text", "-"}, "mine\r\n");
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(replaced.out, (own / "RenameTXT.txt").string() + " replaced\n");
  EXPECT_EQ(ReadFile(own / "RenameTXT.txt"), "mine\r\n");
  EXPECT_EQ(Program("RenameTXT.txt"), "shipped\r\n") << "the shipped file stays";
  EXPECT_EQ(Run({"show-file", "RenameTXT.txt"}).out, "mine\r\n");
  // Texts the user has not edited are still read from the program folder.
  EXPECT_EQ(Run({"show-file", "response.eml"}).out, "To: XXX%3\r\n");
}

TEST_F(ConfigCommand, PortsAreSetShownAndResetToTheStandard) {
  ::unsetenv("BRINDLECAP_LISTEN_PORT");
  ::unsetenv("BRINDLECAP_UPSTREAM_PORT");
  EXPECT_EQ(Run({"port"}).out,
            "listen    111  standard (no setting ListenPort)\n"
            "upstream  110  standard (no setting UpstreamPort)\n");
  TResult set = Run({"port", "listen", "1111"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out,
            "listen    1111  from the setting ListenPort\n"
            "upstream  110  standard (no setting UpstreamPort)\n");
  EXPECT_EQ(Run({"port", "UPSTREAM", "995"}).status, 0);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "ListenPort"), 1111);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamPort"), 995);

  ::setenv("BRINDLECAP_LISTEN_PORT", "2110", 1);
  EXPECT_NE(Run({"port"}).out.find("listen    2110  from BRINDLECAP_LISTEN_PORT, which overrides"),
            std::string::npos);
  ::unsetenv("BRINDLECAP_LISTEN_PORT");

  EXPECT_EQ(Run({"port", "listen", "default"}).status, 0);
  EXPECT_EQ(Run({"port", "listen", "default"}).status, 0) << "twice is no error";
  EXPECT_EQ(Store().find("ListenPort"), std::string::npos);
  EXPECT_NE(Store().find("\"UpstreamPort\"=dword:000003e3"), std::string::npos) << Store();

  // What the proxy would ignore is refused, by this command and by the plain set alike.
  const std::string before = Store();
  for (const char* bad : {"0", "65536", "-1", "11x", "", "123456"})
    EXPECT_EQ(Run({"port", "listen", bad}).status, 1) << bad;
  EXPECT_EQ(Run({"port", "sideways", "1111"}).status, 2);
  EXPECT_EQ(Run({"port", "listen"}).status, 2);
  EXPECT_EQ(Run({"set", "ListenPort", "integer", "70000"}).status, 1);
  EXPECT_EQ(Run({"set", "listenport", "string", "eins"}).status, 1);
  EXPECT_EQ(Store(), before);
  EXPECT_EQ(Run({"set", "ListenPort", "string", "1112"}).status, 0);

  // One stored by hand that the proxy ignores is pointed out.
  reg_.WriteKey("\"UpstreamPort\"=dword:00000000\n");
  EXPECT_NE(Run({"port"}).out.find("note: UpstreamPort holds 0, which is no port number"),
            std::string::npos)
      << Run({"port"}).out;
}

TEST_F(ConfigCommand, AutostartWritesAndRemovesTheDesktopEntry) {
  places_.autostartPath = (folder_ / "config/autostart/brindlecap.desktop").string();
  places_.programFolder = "/opt/brindle cap/lib";
  EXPECT_EQ(Run({"autostart"}).out, "autostart off (" + places_.autostartPath + ")\n");
  TResult on = Run({"autostart", "on"});
  EXPECT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(on.out, "autostart on (" + places_.autostartPath + ")\n");
  const std::string entry = ReadFile(places_.autostartPath);
  EXPECT_NE(entry.find("\nExec=\"/opt/brindle cap/lib/brindlecap\"\n"), std::string::npos) << entry;
  EXPECT_EQ(entry.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
  EXPECT_EQ(Run({"autostart", "on"}).status, 0) << "on again replaces the entry";

  // A desktop's own dialog may hide the entry instead of removing it.
  WriteFile(places_.autostartPath, entry + "Hidden=true\n");
  EXPECT_EQ(Run({"autostart"}).out.substr(0, 13), "autostart off");

  EXPECT_EQ(Run({"autostart", "off"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(places_.autostartPath));
  EXPECT_EQ(Run({"autostart", "off"}).status, 0) << "off again is no error";
  EXPECT_EQ(Run({"autostart", "maybe"}).status, 2);
}

TEST(AutostartEntry, ReservedCharactersOfTheProgramPathAreEscaped) {
  const std::string entry = AutostartEntry("/x/a\"b$c`d\\e%f/brindlecap");
  EXPECT_NE(entry.find("\nExec=\"/x/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f/brindlecap\"\n"),
            std::string::npos)
      << entry;
}

TEST(AutostartEntry, ThePathFollowsXdgConfigHome) {
  auto env = [](const char* config) {
    return [config](const char* name) -> const char* {
      if (std::string(name) == "XDG_CONFIG_HOME") return config;
      if (std::string(name) == "HOME") return "/home/ann";
      return nullptr;
    };
  };
  EXPECT_EQ(AutostartEntryPath(env("/cfg")), "/cfg/autostart/brindlecap.desktop");
  EXPECT_EQ(AutostartEntryPath(env(nullptr)), "/home/ann/.config/autostart/brindlecap.desktop");
  EXPECT_EQ(AutostartEntryPath(env("relative")), "/home/ann/.config/autostart/brindlecap.desktop");
}

TEST_F(ConfigCommand, NotesASwitchTurnedOffByALongerName) {
  TResult set = Run({"set", "CheckBox_CheckAttach_EXEs2", "integer", "1"});
  EXPECT_EQ(set.status, 0);
  EXPECT_NE(set.err.find("CheckBox_CheckAttach_EXEs is missing"), std::string::npos) << set.err;
  EXPECT_NE(Run({"show"}).out.find("Note: CheckBox_CheckAttach_EXEs is missing"),
            std::string::npos);
  EXPECT_EQ(Run({"set", "checkbox_checkattach_exes", "integer", "1"}).err, "");
}

TEST_F(ConfigCommand, ListenAfterDropIsShownAndSetAsTheProxyReadsIt) {
  TResult shown = Run({"listen-after-drop"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out.rfind("ListenAfterDrop off\n", 0), 0u) << shown.out;
  EXPECT_NE(shown.out.find("waits for Reset"), std::string::npos);

  EXPECT_EQ(Run({"listen-after-drop", "on"}).out.rfind("ListenAfterDrop on\n", 0), 0u);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "ListenAfterDrop"), 1);
  EXPECT_EQ(Run({"listen-after-drop", "off"}).status, 0);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "ListenAfterDrop"), 0);

  // Only the number 1 turns it on; a value the proxy cannot read as a number is off.
  Run({"set", "ListenAfterDrop", "string", "yes"});
  EXPECT_EQ(Run({"listen-after-drop"}).out.rfind("ListenAfterDrop off\n", 0), 0u);
  Run({"set", "ListenAfterDrop", "string", "1"});
  EXPECT_EQ(Run({"listen-after-drop"}).out.rfind("ListenAfterDrop on\n", 0), 0u);

  TResult wrong = Run({"listen-after-drop", "1"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "ListenAfterDrop"), "1");
}

TEST_F(ConfigCommand, HelpNamesEveryCommand) {
  TResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word :
       {"show", "set NAME TYPE VALUE", "delete", "import", "export", "path", "files", "show-file",
        "replace-file", "RenameTXT.txt", "RenameHTML.txt", "response.eml", "Aktion", "Others",
        "listen-after-drop", "ListenAfterDrop"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  EXPECT_EQ(Run({"path"}).out, reg_.Path() + "\n");
}

}  // namespace
