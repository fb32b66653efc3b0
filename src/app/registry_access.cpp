#include "app/registry_access.h"

#include "platform/ascii_text.h"
#include "platform/registry_file.h"

namespace {

// Binary values read as text are limited like the buffer the routine was written with.
constexpr std::size_t kMaxBinaryText = 1023;

std::string KeyPath(TRegRoot root, std::string_view keyPath) {
  return std::string(root.name) + "\\" + std::string(keyPath);
}

const TRegValue* LookUp(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                        std::string_view name) {
  const TRegKey* key = store.FindKey(KeyPath(root, keyPath));
  return key ? key->FindValue(name) : nullptr;
}

TRegStore ReadStore() {
  return ReadRegistryForLookup(RegistryFilePath());
}

[[noreturn]] void ThrowDataType(std::string_view name) {
  throw ERegDataTypeError("Invalid data type for '" + std::string(name) + "'");
}

std::int32_t IntegerOf(const TRegValue& value, std::string_view name) {
  switch (value.type) {
    case TRegValueType::Integer:
      return static_cast<std::int32_t>(value.integer);
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      return RegTextToInteger(value.Text());
    case TRegValueType::Binary: {
      if (value.bytes.size() > 4) ThrowDataType(name);
      std::uint32_t result = 0;
      for (std::size_t i = 0; i < value.bytes.size(); ++i)
        result |= static_cast<std::uint32_t>(static_cast<unsigned char>(value.bytes[i])) << (8 * i);
      return static_cast<std::int32_t>(result);
    }
    case TRegValueType::Other:
      break;
  }
  ThrowDataType(name);
}

std::string LittleEndianBytes(std::int32_t value) {
  auto u = static_cast<std::uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xff);
  return bytes;
}

// Puts the number into the value in its present type. False for a type that cannot hold one.
bool StoreInteger(TRegKey& key, std::string_view name, std::int32_t value) {
  TRegValue* existing = key.FindValue(name);
  if (!existing) {
    key.SetValue(TRegValue::MakeInteger(std::string(name), static_cast<std::uint32_t>(value)));
    return true;
  }
  switch (existing->type) {
    case TRegValueType::Integer:
      existing->integer = static_cast<std::uint32_t>(value);
      return true;
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      *existing = TRegValue::MakeString(existing->name, RegIntegerText(value));
      return true;
    case TRegValueType::Binary:
      existing->bytes = LittleEndianBytes(value);
      return true;
    case TRegValueType::Other:
      break;
  }
  return false;
}

}  // namespace

std::string RegIntegerText(std::int32_t value) {
  return std::to_string(value);
}

std::int32_t RegTextToInteger(const std::string& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos == text.size()) throw ERegConvertError("'" + text + "' is not a valid integer value");
  std::int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c < '0' || c > '9') throw ERegConvertError("'" + text + "' is not a valid integer value");
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 2147483648LL)
      throw ERegConvertError("'" + text + "' is not a valid integer value");
  }
  std::int64_t result = negative ? -magnitude : magnitude;
  if (result > 2147483647LL) throw ERegConvertError("'" + text + "' is not a valid integer value");
  return static_cast<std::int32_t>(result);
}

bool RegValueNameExists(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                        std::string_view name) {
  const TRegKey* key = store.FindKey(KeyPath(root, keyPath));
  if (!key) return false;
  for (const TRegValue& value : key->values)
    if (ascii::StartsWithNoCase(value.name, name)) return true;
  return false;
}

std::int32_t RegReadInteger(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                            std::string_view name) {
  const TRegValue* value = LookUp(store, root, keyPath, name);
  return value ? IntegerOf(*value, name) : 0;
}

std::string RegReadText(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                        std::string_view name) {
  const TRegValue* value = LookUp(store, root, keyPath, name);
  if (!value) return {};
  switch (value->type) {
    case TRegValueType::Integer:
      return RegIntegerText(static_cast<std::int32_t>(value->integer));
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      return value->Text();
    case TRegValueType::Binary:
      if (value->bytes.empty() || value->bytes.size() > kMaxBinaryText) return {};
      return value->bytes;
    case TRegValueType::Other:
      break;
  }
  ThrowDataType(name);
}

bool RegValueNameExists(TRegRoot root, std::string_view keyPath, std::string_view name) {
  return RegValueNameExists(ReadStore(), root, keyPath, name);
}

std::int32_t RegReadInteger(TRegRoot root, std::string_view keyPath, std::string_view name) {
  return RegReadInteger(ReadStore(), root, keyPath, name);
}

std::string RegReadText(TRegRoot root, std::string_view keyPath, std::string_view name) {
  return RegReadText(ReadStore(), root, keyPath, name);
}

bool RegWriteInteger(TRegRoot root, std::string_view keyPath, std::string_view name,
                     std::int32_t value) {
  try {
    bool written = ModifyRegistryFile(RegistryFilePath(), [&](TRegStore& store) {
      return StoreInteger(store.OpenKey(KeyPath(root, keyPath)), name, value);
    });
    if (!written) return false;
  } catch (const ERegistryFileError& e) {
    ReportRegistryError(std::string("cannot write the setting ") + std::string(name) + ": " +
                        e.what());
    return false;
  }
  try {
    return RegReadInteger(root, keyPath, name) == value;
  } catch (const ERegistryError&) {
    return false;
  }
}
