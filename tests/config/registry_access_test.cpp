#include "app/registry_access.h"

#include <gtest/gtest.h>

#include <vector>

#include "config_test_support.h"
#include "platform/registry_file.h"

namespace {

using config_test::PrivateRegistry;

std::int32_t ReadInt(std::string_view name) {
  return RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name);
}
std::string ReadText(std::string_view name) {
  return RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name);
}
bool Exists(std::string_view name) {
  return RegValueNameExists(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name);
}
bool WriteInt(std::string_view name, std::int32_t value) {
  return RegWriteInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, value);
}

TEST(RegistryAccess, NoFileAndNoKeyGiveTheEmptyAnswers) {
  PrivateRegistry reg;
  EXPECT_EQ(ReadInt("Aktion"), 0);
  EXPECT_EQ(ReadText("Others"), "");
  EXPECT_FALSE(Exists("CheckBox_CheckAttach_EXEs"));

  config_test::WriteFile(reg.Path(),
                         "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
                         "\"Aktion\"=dword:2\n");
  EXPECT_EQ(ReadInt("Aktion"), 0);
  EXPECT_FALSE(Exists("Aktion"));
  reg.WriteKey("");
  EXPECT_FALSE(Exists(""));
}

TEST(RegistryAccess, IntegersFromEveryType) {
  PrivateRegistry reg;
  reg.WriteKey(
      "\"Int\"=dword:fffffffb\n"
      "\"Digit\"=\"2\"\n"
      "\"Signed\"=\"-2147483648\"\n"
      "\"Plus\"=\"+7\"\n"
      "\"Expand\"=hex(2):31,32,00,39\n"
      "\"Two\"=hex:01,02\n"
      "\"Four\"=hex:ff,ff,ff,ff\n"
      "\"None\"=hex:\n");
  EXPECT_EQ(ReadInt("Int"), -5);
  EXPECT_EQ(ReadInt("digit"), 2);
  EXPECT_EQ(ReadInt("Signed"), INT32_MIN);
  EXPECT_EQ(ReadInt("Plus"), 7);
  EXPECT_EQ(ReadInt("Expand"), 12) << "the text ends at its zero byte";
  EXPECT_EQ(ReadInt("Two"), 0x0201);
  EXPECT_EQ(ReadInt("Four"), -1);
  EXPECT_EQ(ReadInt("None"), 0);
}

TEST(RegistryAccess, TextsThatAreNoNumbersAndLongBinariesRaise) {
  PrivateRegistry reg;
  reg.WriteKey(
      "\"Letters\"=\"zwei\"\n"
      "\"Empty\"=\"\"\n"
      "\"Blank\"=\" 2\"\n"
      "\"SignOnly\"=\"-\"\n"
      "\"TooBig\"=\"2147483648\"\n"
      "\"Huge\"=\"99999999999999999999\"\n"
      "\"Hex\"=\"0x10\"\n"
      "\"Five\"=hex:01,00,00,00,00\n"
      "\"Multi\"=hex(7):41,00,00\n");
  for (const char* name : {"Letters", "Empty", "Blank", "SignOnly", "TooBig", "Huge", "Hex"})
    EXPECT_THROW(ReadInt(name), ERegConvertError) << name;
  try {
    ReadInt("Letters");
  } catch (const ERegConvertError& e) {
    EXPECT_STREQ(e.what(), "'zwei' is not a valid integer value");
  }
  EXPECT_THROW(ReadInt("Five"), ERegDataTypeError);
  EXPECT_THROW(ReadInt("Multi"), ERegDataTypeError);
  EXPECT_THROW(ReadText("Multi"), ERegDataTypeError);
  try {
    ReadInt("Five");
  } catch (const ERegDataTypeError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Five'");
  }
}

TEST(RegistryAccess, TextsFromEveryType) {
  PrivateRegistry reg;
  std::string list = "pif,scr";
  std::string hex;
  for (char c : list) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02x,", static_cast<unsigned char>(c));
    hex += buf;
  }
  hex += "00,41";
  auto block = [](std::size_t n) {
    std::string h;
    for (std::size_t i = 0; i < n; ++i) h += i ? ",41" : "41";
    return h;
  };
  reg.WriteKey("\"Others\"=hex:" + hex + "\n\"Max\"=hex:" + block(1023) +
               "\n\"Over\"=hex:" + block(1024) +
               "\n\"Empty\"=hex:\n\"Neg\"=dword:ffffffff\n\"Str\"=\"a\\\\b\"\n"
               "\"Exp\"=hex(2):25,41,25,00\n");
  EXPECT_EQ(ReadText("Others"), std::string("pif,scr\0A", 9)) << "a zero byte stays a character";
  EXPECT_EQ(ReadText("Max"), std::string(1023, 'A'));
  EXPECT_EQ(ReadText("Over"), "");
  EXPECT_EQ(ReadText("Empty"), "");
  EXPECT_EQ(ReadText("Neg"), "-1");
  EXPECT_EQ(ReadText("Str"), "a\\b");
  EXPECT_EQ(ReadText("Exp"), "%A%") << "never expanded";
}

TEST(RegistryAccess, NameExistsByPrefixIgnoringCase) {
  PrivateRegistry reg;
  reg.WriteKey("\"checkbox_checkattach_exesX\"=dword:5\n");
  EXPECT_TRUE(Exists("CheckBox_CheckAttach_EXEs"));
  EXPECT_TRUE(Exists("CHECKBOX"));
  EXPECT_FALSE(Exists("CheckBox_CheckAttach_EXEsXY"));
  EXPECT_FALSE(Exists("Aktion"));
  // The group switch rule then reads the exact name, which is missing: 0, so the group is off.
  EXPECT_EQ(ReadInt("CheckBox_CheckAttach_EXEs"), 0);
}

TEST(RegistryAccess, EveryCallSeesTheFileAsItIsNow) {
  PrivateRegistry reg;
  reg.WriteKey("\"Aktion\"=dword:1\n");
  EXPECT_EQ(ReadInt("Aktion"), 1);
  reg.WriteKey("\"Aktion\"=\"2\"\n");
  EXPECT_EQ(ReadInt("Aktion"), 2);
  std::filesystem::remove(reg.Path());
  EXPECT_EQ(ReadInt("Aktion"), 0);
}

TEST(RegistryAccess, BrokenFileReadsAsMissingKeyAndIsReportedOnce) {
  PrivateRegistry reg;
  std::vector<std::string> reports;
  SetRegistryErrorHook([&](const std::string& m) { reports.push_back(m); });
  ResetRegistryErrorReports();
  reg.WriteKey("\"Aktion\"=dword:2\n\"Others\"=\"pif\n");
  EXPECT_EQ(ReadInt("Aktion"), 0);
  EXPECT_EQ(ReadText("Others"), "");
  EXPECT_FALSE(Exists("Aktion"));
  EXPECT_EQ(reports.size(), 1u);

  EXPECT_FALSE(WriteInt("Aktion", 2));
  EXPECT_EQ(reg.Contents(),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n"
            "\"Aktion\"=dword:2\n\"Others\"=\"pif\n")
      << "a broken file is never overwritten";
  EXPECT_EQ(reports.size(), 2u) << "the refused write says why";
  SetRegistryErrorHook({});
}

TEST(RegistryAccess, WriteKeepsTheValuesTypeAndReadsBack) {
  PrivateRegistry reg;
  EXPECT_TRUE(WriteInt("Aktion", 2)) << "file, key and value are created";
  TRegStore store = LoadRegistryFile(reg.Path());
  const TRegKey* key = store.FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(*key->FindValue("Aktion"), TRegValue::MakeInteger("Aktion", 2));

  reg.WriteKey(
      "\"Str\"=\"1\"\n\"Exp\"=hex(2):31,00\n\"Bin\"=hex:01\n\"Int\"=dword:1\n"
      "\"Multi\"=hex(7):41,00,00\n");
  EXPECT_TRUE(WriteInt("str", -7));
  EXPECT_TRUE(WriteInt("Exp", 42));
  EXPECT_TRUE(WriteInt("Bin", 0x01020304));
  EXPECT_TRUE(WriteInt("Int", INT32_MIN));
  EXPECT_FALSE(WriteInt("Multi", 1)) << "a type that holds no number is left alone";
  store = LoadRegistryFile(reg.Path());
  key = store.FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap");
  EXPECT_EQ(*key->FindValue("Str"), TRegValue::MakeString("Str", "-7"));
  EXPECT_EQ(*key->FindValue("Exp"), TRegValue::MakeString("Exp", "42"));
  EXPECT_EQ(*key->FindValue("Bin"), TRegValue::MakeBinary("Bin", "\x04\x03\x02\x01"));
  EXPECT_EQ(key->FindValue("Int")->integer, 0x80000000u);
  EXPECT_EQ(key->FindValue("Multi")->bytes, std::string("A\0\0", 3));
  EXPECT_EQ(key->values.size(), 5u);
}

TEST(RegistryAccess, TextConversionBoundaries) {
  EXPECT_EQ(RegTextToInteger("2147483647"), INT32_MAX);
  EXPECT_EQ(RegTextToInteger("-0"), 0);
  EXPECT_EQ(RegTextToInteger("007"), 7);
  EXPECT_THROW(RegTextToInteger("-2147483649"), ERegConvertError);
  EXPECT_THROW(RegTextToInteger("1 "), ERegConvertError);
  EXPECT_THROW(RegTextToInteger("--1"), ERegConvertError);
  EXPECT_EQ(RegIntegerText(INT32_MIN), "-2147483648");
}

}  // namespace
