#pragma once
// Texts of the form model are bytes as they came from the text file or the settings: the
// German texts file is Windows-1252, the built-in texts are UTF-8. A byte string is shown as
// UTF-8 when it is valid UTF-8, else as Windows-1252, so both kinds show their umlauts.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view bytes);
QString DecodeWindows1252(std::string_view bytes);
QString DisplayText(std::string_view bytes);

// The way back for an edited text: Windows-1252 bytes, or nothing when the text holds a
// character that code page lacks.
std::optional<std::string> EncodeWindows1252(const QString& text);

// A caption as a plain label shows it: "&&" is one ampersand, a single "&" marks the
// mnemonic and is not shown.
QString WithoutMnemonics(const QString& caption);
