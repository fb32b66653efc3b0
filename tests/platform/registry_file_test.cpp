#include "platform/registry_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap";

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, std::string_view text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "regfile-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  fs::path operator/(const std::string& name) const { return path_ / name; }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// Sets an environment variable for the length of a test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RegistryText, ReadsTheFourValueTypes) {
  TRegStore store = ParseRegistryStore(
      "REGEDIT4\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n"
      "\"Aktion\"=dword:00000002\n"
      "\"Others\"=\"pif,scr\"\n"
      "\"CheckBox_SendError\"=hex:01,00,00,00\n"
      "\"Note\"=hex(2):25,48,4f,4d,45,25,00\n");
  const TRegKey* key = store.FindKey(kKey);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 4u);
  EXPECT_EQ(*key->FindValue("Aktion"), TRegValue::MakeInteger("Aktion", 2));
  EXPECT_EQ(*key->FindValue("Others"), TRegValue::MakeString("Others", "pif,scr"));
  EXPECT_EQ(*key->FindValue("CheckBox_SendError"),
            TRegValue::MakeBinary("CheckBox_SendError", std::string("\x01\0\0\0", 4)));
  const TRegValue* note = key->FindValue("Note");
  EXPECT_EQ(note->type, TRegValueType::ExpandString);
  EXPECT_EQ(note->bytes, std::string("%HOME%\0", 7));
  EXPECT_EQ(note->Text(), "%HOME%");
}

TEST(RegistryText, KeysAndValueNamesIgnoreLetterCase) {
  TRegStore store = ParseRegistryStore(
      "REGEDIT4\n[hkey_local_machine\\software\\oskendar\\brindlecap]\n\"AKTION\"=dword:1\n");
  ASSERT_NE(store.FindKey(kKey), nullptr);
  EXPECT_NE(store.FindKey(kKey)->FindValue("aktion"), nullptr);
  EXPECT_EQ(store.FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE"), nullptr);
}

TEST(RegistryText, QuotedTextsKeepTheirEscapesAndStrayBackslashes) {
  TRegStore store = ParseRegistryStore(
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n"
      "\"a \\\"b\\\"\"=\"C:\\\\dir\\\\\"\r\n"
      "\"typed\"=\"C:\\temp\"\r\n"
      "@=\"default\"\r\n");
  const TRegKey* key = store.FindKey("HKEY_CURRENT_USER\\X");
  ASSERT_NE(key, nullptr);
  ASSERT_NE(key->FindValue("a \"b\""), nullptr);
  EXPECT_EQ(key->FindValue("a \"b\"")->bytes, "C:\\dir\\");
  EXPECT_EQ(key->FindValue("typed")->bytes, "C:\\temp");
  ASSERT_NE(key->FindValue(""), nullptr);
  EXPECT_EQ(key->FindValue("")->bytes, "default");
}

TEST(RegistryText, HexDataContinuesOverBackslashEndedLines) {
  TRegStore store = ParseRegistryStore(
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
      "\"Bin\"=hex:70,69,66,2c,\\\r\n"
      "  73,63,72 \\\r\n"
      "  ,41\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Odd\"=hex(7):61,00,00\r\n"
      "\"Text\"=hex(1):61,0a,62,00\r\n");
  const TRegKey* key = store.FindKey("HKEY_LOCAL_MACHINE\\K");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("Bin")->bytes, "pif,scrA");
  EXPECT_EQ(key->FindValue("Empty")->type, TRegValueType::Binary);
  EXPECT_EQ(key->FindValue("Empty")->bytes, "");
  EXPECT_EQ(key->FindValue("Odd")->type, TRegValueType::Other);
  EXPECT_EQ(key->FindValue("Odd")->otherCode, 7u);
  EXPECT_EQ(key->FindValue("Text")->type, TRegValueType::String);
  EXPECT_EQ(key->FindValue("Text")->bytes, "a\nb");
}

TEST(RegistryText, ImportMergesDeletesAndLetsLaterValuesWin) {
  TRegStore store = ParseRegistryStore(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n\"y\"=dword:2\n"
      "[HKEY_LOCAL_MACHINE\\A\\Sub]\n\"z\"=dword:3\n[HKEY_LOCAL_MACHINE\\AB]\n\"w\"=dword:4\n");
  ApplyRegistryDocument(store, ParseRegistryText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=-\n"
                                                 "\"y\"=\"two\"\n\"y\"=\"zwei\"\n"
                                                 "[-HKEY_LOCAL_MACHINE\\A]\n"
                                                 "[HKEY_LOCAL_MACHINE\\New]\n\"n\"=dword:5\n"));
  EXPECT_EQ(store.FindKey("HKEY_LOCAL_MACHINE\\A"), nullptr);
  EXPECT_EQ(store.FindKey("HKEY_LOCAL_MACHINE\\A\\Sub"), nullptr);
  ASSERT_NE(store.FindKey("HKEY_LOCAL_MACHINE\\AB"), nullptr) << "a sibling with a longer name";
  ASSERT_NE(store.FindKey("HKEY_LOCAL_MACHINE\\New"), nullptr);

  TRegStore again = ParseRegistryStore(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n\"y\"=\"two\"\n\"y\"=\"zwei\"\n\"x\"=-\n");
  const TRegKey* key = again.FindKey("HKEY_LOCAL_MACHINE\\A");
  ASSERT_EQ(key->values.size(), 1u);
  EXPECT_EQ(key->values[0].bytes, "zwei");
}

TEST(RegistryText, KeysAndValuesKeepTheirOrderThroughChanges) {
  TRegStore store = ParseRegistryStore(
      "REGEDIT4\n[HKEY_X\\A]\n\"1\"=dword:1\n\"2\"=dword:2\n\"3\"=dword:3\n"
      "[HKEY_X\\B]\n[HKEY_X\\C]\n");
  ApplyRegistryDocument(store, ParseRegistryText("REGEDIT4\n[-HKEY_X\\B]\n[HKEY_X\\b]\n"
                                                 "[HKEY_X\\A]\n\"2\"=-\n\"1\"=\"one\"\n"
                                                 "\"4\"=dword:4\n"));
  ASSERT_EQ(store.keys.size(), 3u);
  EXPECT_EQ(store.keys[0].path, "HKEY_X\\A");
  EXPECT_EQ(store.keys[1].path, "HKEY_X\\C");
  EXPECT_EQ(store.keys[2].path, "HKEY_X\\b") << "a key made again comes last, as spelled anew";
  std::string names;
  for (const TRegValue& v : store.keys[0].values) names += v.name;
  EXPECT_EQ(names, "134");
}

TEST(RegistryText, WrittenStoreReadsBackUnchanged) {
  TRegStore store;
  TRegKey& key = store.OpenKey(kKey);
  key.SetValue(TRegValue::MakeInteger("Aktion", 0xfffffffe));
  key.SetValue(TRegValue::MakeString("Quote\"and\\slash", "C:\\\"x\""));
  key.SetValue(TRegValue::MakeString("Lines", std::string("one\r\ntwo\0three", 14)));
  key.SetValue(TRegValue::MakeString("", "default value"));
  key.SetValue(TRegValue::MakeExpandString("Expand", "%PATH%;x"));
  key.SetValue(TRegValue::MakeBinary("Empty", ""));
  std::string big;
  for (int i = 0; i < 1030; ++i) big += static_cast<char>(i * 7);
  key.SetValue(TRegValue::MakeBinary("Big", big));
  TRegValue other;
  other.name = "Multi";
  other.type = TRegValueType::Other;
  other.otherCode = 0xb;
  other.bytes = std::string("\x01\x02\0\0\0\0\0\0", 8);
  key.SetValue(other);
  store.OpenKey("HKEY_CURRENT_USER\\Second");

  std::string text = FormatRegistryStore(store);
  EXPECT_EQ(ParseRegistryStore(text), store);
  EXPECT_EQ(text.rfind("REGEDIT4\n\n", 0), 0u);
  EXPECT_NE(text.find("\"Aktion\"=dword:fffffffe\n"), std::string::npos);
  EXPECT_NE(text.find("\"Multi\"=hex(b):01,02,00,00,00,00,00,00\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default value\"\n"), std::string::npos);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

TEST(RegistryText, BlanksAndBackslashesAroundAKeyPathInAnyMixAreDropped) {
  // A hand-edited file: before, the path kept a trailing blank that the written file lost, so
  // the configuration program refused to write such settings back.
  for (const char* line : {"[HKEY_A \\ \\]", "[ \\ HKEY_A\\\t]", "[\\\\HKEY_A \\]"}) {
    TRegStore store = ParseRegistryStore(std::string("REGEDIT4\n") + line + "\n\"x\"=dword:1\n");
    ASSERT_EQ(store.keys.size(), 1u) << line;
    EXPECT_EQ(store.keys[0].path, "HKEY_A") << line;
    EXPECT_EQ(ParseRegistryStore(FormatRegistryStore(store)), store) << line;
  }
}

TEST(RegistryText, MalformedTextsAreRefusedWithTheirLine) {
  struct Case {
    const char* text;
    const char* where;
  };
  const Case cases[] = {
      {"[HKEY_LOCAL_MACHINE\\K]\n", "line 1"},
      {"Windows Registry Editor Version 5.00\n", "line 1"},
      {"REGEDIT4\n\"a\"=dword:1\n", "line 2"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a=dword:1\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"open\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"x\" y\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:123456789\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:12g\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:1,,2\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:123\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(2:41\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:41,\\\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=qword:1\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"\n", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\ngarbage\n", "line 3"},
      {"REGEDIT4\n[SOFTWARE\\K]\n", "line 2"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", "line 2"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K] x\n", "line 2"},
      {"REGEDIT4\n[]\n", "line 2"},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:1\n", "line 3"},
  };
  for (const Case& c : cases) {
    try {
      ParseRegistryText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryFileError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.where, 0), 0u) << e.what() << " for " << c.text;
    }
  }
}

TEST(RegistryText, CommentsBlankLinesAndAnEmptyFileAreAccepted) {
  EXPECT_TRUE(ParseRegistryStore("").keys.empty());
  EXPECT_TRUE(ParseRegistryStore("\n\n").keys.empty());
  TRegStore store = ParseRegistryStore(
      "\nREGEDIT4\n; a note\n\n[HKEY_LOCAL_MACHINE\\K]\n  ; another\n\t\"a\" = dword:a\n");
  EXPECT_EQ(store.FindKey("HKEY_LOCAL_MACHINE\\K")->FindValue("a")->integer, 10u);
}

TEST(RegistryPath, FollowsTheEnvironmentInItsOrder) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv reg("BRINDLECAP_REGISTRY", "/tmp/explicit.reg");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(RegistryFilePath(), "/tmp/explicit.reg");
  }
  ScopedEnv reg("BRINDLECAP_REGISTRY", "");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(RegistryFilePath(), "/xdg/brindlecap/registry.reg");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(RegistryFilePath(), "/home/someone/.config/brindlecap/registry.reg");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(RegistryFilePath(), "/home/someone/.config/brindlecap/registry.reg");
}

TEST(RegistryFile, MissingFileIsAnEmptyStoreAndAFolderIsAnError) {
  TempFolder dir;
  EXPECT_TRUE(LoadRegistryFile((dir / "none.reg").string()).keys.empty());
  fs::create_directory(dir / "folder.reg");
  EXPECT_THROW(LoadRegistryFile((dir / "folder.reg").string()), ERegistryFileError);
}

TEST(RegistryFile, SaveReplacesTheFileAndLeavesNothingBehind) {
  TempFolder dir;
  std::string path = (dir / "deep/er/registry.reg").string();
  TRegStore store;
  store.OpenKey(kKey).SetValue(TRegValue::MakeInteger("Aktion", 2));
  SaveRegistryFile(path, store);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  store.OpenKey(kKey).SetValue(TRegValue::MakeString("Others", "pif"));
  SaveRegistryFile(path, store);
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write)
      << "a replaced file keeps its permissions";
  EXPECT_EQ(LoadRegistryFile(path), store);
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir / "deep/er")) ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file may stay behind";
}

TEST(RegistryFile, SaveThroughALinkReplacesTheLinkedFile) {
  TempFolder dir;
  WriteFile(dir / "real.reg", "REGEDIT4\n");
  fs::create_symlink(dir / "real.reg", dir / "link.reg");
  TRegStore store;
  store.OpenKey(kKey).SetValue(TRegValue::MakeInteger("Aktion", 3));
  SaveRegistryFile((dir / "link.reg").string(), store);
  EXPECT_TRUE(fs::is_symlink(dir / "link.reg"));
  EXPECT_EQ(LoadRegistryFile((dir / "real.reg").string()), store);
}

TEST(RegistryFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  TempFolder dir;
  fs::create_directory(dir / "occupied.reg");
  WriteFile(dir / "occupied.reg" / "inside", "x");
  TRegStore store;
  store.OpenKey(kKey);
  EXPECT_THROW(SaveRegistryFile((dir / "occupied.reg").string(), store), ERegistryFileError);
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(ReadFile(dir / "occupied.reg" / "inside"), "x");
}

TEST(RegistryFile, StoreWithoutAFileFormIsRefusedBeforeWriting) {
  TempFolder dir;
  std::string path = (dir / "registry.reg").string();
  WriteFile(path, "REGEDIT4\n");
  TRegStore lineBreak;
  lineBreak.OpenKey(kKey).SetValue(TRegValue::MakeInteger("two\nlines", 1));
  EXPECT_THROW(SaveRegistryFile(path, lineBreak), ERegistryFileError);
  TRegStore noRoot;
  noRoot.OpenKey("SOFTWARE\\X");
  EXPECT_THROW(SaveRegistryFile(path, noRoot), ERegistryFileError);
  EXPECT_EQ(ReadFile(path), "REGEDIT4\n");
}

TEST(RegistryFile, BrokenFileReadsAsEmptyAndIsReportedOncePerBreakage) {
  TempFolder dir;
  std::string path = (dir / "registry.reg").string();
  std::vector<std::string> reports;
  SetRegistryErrorHook([&](const std::string& m) { reports.push_back(m); });
  ResetRegistryErrorReports();

  WriteFile(path, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:zz\n");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ReadRegistryForLookup(path).keys.empty());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(path), std::string::npos);
  EXPECT_NE(reports[0].find("line 3"), std::string::npos);

  WriteFile(path, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:1\n");
  EXPECT_EQ(ReadRegistryForLookup(path).FindKey("HKEY_LOCAL_MACHINE\\K")->values.size(), 1u);
  WriteFile(path, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:zz\n");
  EXPECT_TRUE(ReadRegistryForLookup(path).keys.empty());
  EXPECT_EQ(reports.size(), 2u) << "a file broken again after mending is reported again";
  SetRegistryErrorHook({});
}

TEST(RegistryFile, ModifyNeverOverwritesABrokenFileUnlessAskedTo) {
  TempFolder dir;
  std::string path = (dir / "registry.reg").string();
  const std::string broken = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"unterminated\n";
  WriteFile(path, broken);
  bool ran = false;
  auto change = [&](TRegStore& s) {
    ran = true;
    s.OpenKey(kKey).SetValue(TRegValue::MakeInteger("Aktion", 1));
    return true;
  };
  EXPECT_THROW(ModifyRegistryFile(path, change), ERegistryFileError);
  EXPECT_FALSE(ran);
  EXPECT_EQ(ReadFile(path), broken);

  EXPECT_TRUE(ModifyRegistryFile(path, change, true));
  EXPECT_EQ(LoadRegistryFile(path).FindKey(kKey)->FindValue("Aktion")->integer, 1u);

  std::string before = ReadFile(path);
  EXPECT_FALSE(ModifyRegistryFile(path, [](TRegStore& s) {
    s.keys.clear();
    return false;
  }));
  EXPECT_EQ(ReadFile(path), before);
}

TEST(RegistryFile, ConcurrentWritersDoNotLoseEachOthersChanges) {
  TempFolder dir;
  std::string path = (dir / "registry.reg").string();
  auto bump = [&](const char* name) {
    for (int i = 0; i < 40; ++i) {
      ModifyRegistryFile(path, [&](TRegStore& s) {
        TRegKey& key = s.OpenKey(kKey);
        const TRegValue* v = key.FindValue("Count");
        key.SetValue(TRegValue::MakeInteger("Count", v ? v->integer + 1 : 1));
        key.SetValue(TRegValue::MakeInteger(name, static_cast<std::uint32_t>(i)));
        return true;
      });
    }
  };
  std::thread a(bump, "A"), b(bump, "B");
  a.join();
  b.join();
  TRegStore store = LoadRegistryFile(path);
  const TRegKey* key = store.FindKey(kKey);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("Count")->integer, 80u);
  EXPECT_EQ(key->FindValue("A")->integer, 39u);
  EXPECT_EQ(key->FindValue("B")->integer, 39u);
}

}  // namespace
