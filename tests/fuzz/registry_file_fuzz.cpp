// Fuzz entry for the settings file reader: any text it accepts must survive being written back
// by the writer and read again with every key and value unchanged, since the configuration
// program reads, changes and rewrites the whole file; a setting that changes on the way, or a
// text that the writer then refuses, would lose the user's settings.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "fuzz_check.h"
#include "platform/registry_file.h"

namespace {

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// The settings as a lookup sees them: keys and names without letter case, order aside.
using TValueData = std::tuple<TRegValueType, std::uint32_t, std::string, unsigned>;
using TSettings = std::map<std::string, std::map<std::string, TValueData>>;

TSettings Settings(const TRegStore& store) {
  TSettings settings;
  for (const TRegKey& key : store.keys) {
    auto& values = settings[Lower(key.path)];
    for (const TRegValue& v : key.values)
      values[Lower(v.name)] = TValueData(v.type, v.integer, v.bytes, v.otherCode);
  }
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TRegStore store;
  try {
    store = ParseRegistryStore(text);
  } catch (const ERegistryParseError&) {
    return 0;  // refused with a message: nothing to hold it to
  }
  for (const TRegKey& key : store.keys) {
    FUZZ_CHECK(!HasLineBreak(key.path), "a key path holds a line break");
    for (const TRegValue& value : key.values)
      FUZZ_CHECK(!HasLineBreak(value.name), "a value name holds a line break");
  }

  std::string written = FormatRegistryStore(store);
  TRegStore reread;
  try {
    reread = ParseRegistryStore(written);
  } catch (const ERegistryParseError&) {
    FUZZ_CHECK(false, "the writer's text of an accepted file is refused by the reader");
  }
  FUZZ_CHECK(reread == store, "an accepted file written back reads with other values");
  FUZZ_CHECK(FormatRegistryStore(reread) == written, "writing the reread settings differs");

  // Importing a file over the settings it gave changes no value (a key deleted and made again
  // may move to the end, as the system's import moves it).
  TRegStore again = store;
  ApplyRegistryDocument(again, ParseRegistryText(text));
  FUZZ_CHECK(Settings(again) == Settings(store), "importing a file twice gives other values");
  return 0;
}
