#pragma once
// The four routines through which every setting is read (and, by the configuration program,
// written). Each call reads the store file afresh, so a change made by the configuration
// program counts at the proxy's very next read; a file that cannot be read counts as a missing
// key, its error going once to the store's error hook (platform/registry_file.h).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A root of the store. The program uses HKEY_LOCAL_MACHINE only.
struct TRegRoot {
  std::string_view name;
};
inline constexpr TRegRoot HKEY_LOCAL_MACHINE{"HKEY_LOCAL_MACHINE"};
inline constexpr TRegRoot HKEY_CURRENT_USER{"HKEY_CURRENT_USER"};

// The one key that holds every setting, below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kSettingsKeyPath = "SOFTWARE\\Oskendar\\Brindlecap";

// A stored value that cannot be read the way it is asked for.
class ERegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A text value that is not a decimal integer, read as an integer.
class ERegConvertError : public ERegistryError {
 public:
  using ERegistryError::ERegistryError;
};
// A value whose type cannot give what is asked for (a binary of more than 4 bytes read as an
// integer, or a value of a type none of the routines knows).
class ERegDataTypeError : public ERegistryError {
 public:
  using ERegistryError::ERegistryError;
};

// True when the key holds a value whose name begins with `name`, letter case ignored.
bool RegValueNameExists(TRegRoot root, std::string_view keyPath, std::string_view name);

// 0 when the key or value is missing. Integers as stored; texts converted from decimal
// (ERegConvertError when they are not); binaries as little-endian integers of at most 4 bytes
// (ERegDataTypeError when longer).
std::int32_t RegReadInteger(TRegRoot root, std::string_view keyPath, std::string_view name);

// "" when the key or value is missing. Texts as stored; integers as decimal text; binaries of
// 1 to 1023 bytes one character per byte, any other length as "".
std::string RegReadText(TRegRoot root, std::string_view keyPath, std::string_view name);

// Writes the number in the value's present type (a new value becomes an integer; an
// expandable string becomes a plain string), creating the key when needed, then reads it back.
// True only when the value read back equals `value`. A store file that cannot be parsed is
// left as it is, and the result is false.
bool RegWriteInteger(TRegRoot root, std::string_view keyPath, std::string_view name,
                     std::int32_t value);

struct TRegStore;
// The same rules applied to a store already loaded, for a caller that reads several values of
// one state of the file (the configuration program's view of what the proxy will do).
bool RegValueNameExists(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                        std::string_view name);
std::int32_t RegReadInteger(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                            std::string_view name);
std::string RegReadText(const TRegStore& store, TRegRoot root, std::string_view keyPath,
                        std::string_view name);

// The text form of an integer and the conversion back, as the routines above use them.
std::string RegIntegerText(std::int32_t value);
std::int32_t RegTextToInteger(const std::string& text);  // ERegConvertError
