#pragma once
// Reading and changing the settings key for the configuration program, by command line or
// window. Every change is checked before anything is written, and is written in one atomic
// replacement under the store's writer lock; refused input leaves the file exactly as it was.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_file.h"

// Bad input or a store that cannot be changed; the text says what and why, for the user.
class EConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// HKEY_LOCAL_MACHINE\SOFTWARE\Oskendar\Brindlecap, as it stands in the store file.
std::string SettingsKeyFullPath();

// The values of the settings key, in file order; none when the key or the file is missing.
// A store file that cannot be parsed is an EConfigError (the proxy would ignore it).
std::vector<TRegValue> ListSettings(const std::string& registryPath);

// Builds a value from its command-line form. `type` is integer (or dword), string, expand
// (or expand-string), binary (or hex). Integers are decimal (-2147483648 .. 4294967295) or
// 0x-prefixed hexadecimal; binaries are two-digit hex bytes separated by commas or blanks.
TRegValue ParseSettingArgument(std::string name, std::string_view type, std::string_view text);

// Refuses a value of a known setting that the proxy could not read: a text that is no decimal
// integer or a binary longer than 4 bytes where a number is read, a binary list of extensions
// too long to be read as text.
void CheckSettingReadable(const TRegValue& value);

void SetSetting(const std::string& registryPath, const TRegValue& value);
// EConfigError when there is no value of that name.
void DeleteSetting(const std::string& registryPath, std::string_view name);
// Merges a REGEDIT4 text into the store, or with `replace` makes it the whole store (which
// also mends a store file that cannot be parsed).
void ImportSettings(const std::string& registryPath, std::string_view regText, bool replace);
// The whole store as a REGEDIT4 text.
std::string ExportSettings(const std::string& registryPath);

// What the proxy will make of the key that is not plain to see: a group switch that is
// missing while another value's name begins with the switch's name turns that group off.
std::vector<std::string> SettingNotes(const std::vector<TRegValue>& values);

// For display: the type's word and the data in a readable, unambiguous form.
std::string SettingTypeName(const TRegValue& value);
std::string SettingDataText(const TRegValue& value);
