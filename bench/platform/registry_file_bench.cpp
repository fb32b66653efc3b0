// The proxy reads the settings file afresh for every setting it looks up: six reads at the
// start of each mail check and one more per stored mail. These figures show what one read
// costs, for the settings file as the configuration program writes it and for a file grown
// far beyond that.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/registry_file.h"

namespace {

const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap";

std::string SettingsText(int extraValues) {
  TRegStore store;
  TRegKey& key = store.OpenKey(kKey);
  key.SetValue(TRegValue::MakeInteger("Aktion", 2));
  key.SetValue(TRegValue::MakeInteger("CheckBox_CheckAttach_Skripte", 1));
  key.SetValue(TRegValue::MakeInteger("CheckBox_CheckAttach_EXEs", 1));
  key.SetValue(TRegValue::MakeInteger("CheckBox_CheckAttach_Other", 1));
  key.SetValue(TRegValue::MakeString("Others", "pif,scr,lnk,hta,cpl,msi,reg"));
  key.SetValue(TRegValue::MakeBinary("CheckBox_SendError", std::string("\x01\0\0\0", 4)));
  for (int i = 0; i < extraValues; ++i)
    key.SetValue(TRegValue::MakeBinary("Blob" + std::to_string(i), std::string(64, 'x')));
  return FormatRegistryStore(store);
}

class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    std::string pattern = (std::filesystem::temp_directory_path() / "regbench-XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    ::close(fd);
    path_ = pattern;
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void BM_ParseSettingsText(benchmark::State& state) {
  std::string text = SettingsText(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ParseRegistryStore(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseSettingsText)->Arg(0)->Arg(1000);

// One lookup as the proxy makes it: open, read, parse, find the value.
void BM_LookUpOneSetting(benchmark::State& state) {
  TempFile file(SettingsText(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    TRegStore store = ReadRegistryForLookup(file.Path());
    benchmark::DoNotOptimize(store.FindKey(kKey)->FindValue("CheckBox_SendError"));
  }
}
BENCHMARK(BM_LookUpOneSetting)->Arg(0)->Arg(1000);

void BM_WriteOneSetting(benchmark::State& state) {
  TempFile file(SettingsText(0));
  std::uint32_t n = 0;
  for (auto _ : state) {
    ModifyRegistryFile(file.Path(), [&](TRegStore& s) {
      s.OpenKey(kKey).SetValue(TRegValue::MakeInteger("Aktion", ++n % 3));
      return true;
    });
  }
  std::filesystem::remove(file.Path() + ".lock");
}
BENCHMARK(BM_WriteOneSetting);

}  // namespace
