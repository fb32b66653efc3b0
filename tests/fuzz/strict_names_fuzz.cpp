// Fuzz entry for strict attachment names on arbitrary header text and mails: the parameter
// reader, the encoded-word decoder (with every charset the system converts) and the name
// finder and rename over the whole mail, attached and encoded mails included.
//
// Invariants: nothing crashes or hangs; decoding a field gives the same result twice; no
// decoded value is longer than kMostUtf8BytesPerByte times the field, and all names of a mail
// together stay within a fixed multiple of its size; a mail in which strict mode finds no
// blocked name comes out of the rename byte for byte as it came, and a rename that reports no
// rewrite changed nothing; a renamed mail reads back as the lines the rename wrote.
//
// Input: one byte that picks the blocked extensions, then the text. Its first line is also read
// as one header field value on its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "inspection/charset_text.h"
#include "inspection/encoded_words.h"
#include "inspection/file_extension.h"
#include "inspection/header_params.h"
#include "inspection/mail_lines.h"
#include "inspection/strict_names.h"

namespace {

void CheckField(std::string_view field) {
  const std::vector<THeaderParam> params = ReadHeaderParams(field);
  for (const THeaderParam& param : params) {
    FUZZ_CHECK(param.Begin <= param.End && param.End <= field.size(),
               "a parameter lies outside its field");
  }
  for (const char* name : {"filename", "name"}) {
    const std::vector<std::string> values = DecodedParamValues(params, name);
    FUZZ_CHECK(values == DecodedParamValues(ReadHeaderParams(field), name),
               "a field decodes differently the second time");
    for (const std::string& value : values) {
      FUZZ_CHECK(value.size() <= field.size() * kMostUtf8BytesPerByte,
                 "a decoded parameter grew beyond its bound");
      FUZZ_CHECK(NormalizedAttachmentName(value).size() <= value.size(),
                 "reducing a name made it longer");
    }
  }
  const std::string words = DecodeEncodedWords(field);
  FUZZ_CHECK(words.size() <= field.size() * kMostUtf8BytesPerByte,
             "decoded words grew beyond their bound");
  FUZZ_CHECK(words == DecodeEncodedWords(field),
             "encoded words decode differently the second time");
}

// Each level of attached mail may give every header's names again, at most this many levels.
constexpr std::size_t kNameBytesPerMailByte = 2 * kMostUtf8BytesPerByte * (kMostNestedMails + 2);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::vector<std::string> extensions =
      (data[0] & 1) ? std::vector<std::string>{"EXE", "JS", "BAT", "COM"}
                    : std::vector<std::string>{"EXE", "A", "TXT", "{"};
  const std::string mail(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckField(std::string_view(mail).substr(0, mail.find('\n')));

  const std::vector<TStrictName> names = StrictAttachmentNames(mail);
  std::size_t nameBytes = 0;
  bool anyBlocked = false;
  const TNameTest blocked = [&extensions](const std::string& name) {
    return IsBlockedAttachment(name, extensions);
  };
  for (const TStrictName& name : names) {
    nameBytes += name.Name.size();
    anyBlocked = anyBlocked || StrictNameBlocked(name, blocked);
  }
  FUZZ_CHECK(nameBytes <= 64 + mail.size() * kNameBytesPerMailByte,
             "the names of a mail grew beyond their bound");
  const std::vector<TStrictName> again = StrictAttachmentNames(mail);
  FUZZ_CHECK(again.size() == names.size(), "a mail gives other names the second time");
  for (std::size_t i = 0; i < names.size(); ++i) {
    FUZZ_CHECK(again[i].Name == names[i].Name && again[i].Where == names[i].Where,
               "a mail gives other names the second time");
  }

  // The rename as the check runs it, on the stored mail's lines.
  TMailLines lines = SplitMailLines(mail);
  const std::vector<std::string> original = lines.Lines;
  const int rewritten = RenameStrictNames(lines.Lines, blocked);
  const std::string out = JoinMailLines(lines);
  if (!anyBlocked) {
    FUZZ_CHECK(rewritten == 0, "a mail without a blocked name was rewritten");
    FUZZ_CHECK(out == mail, "a mail without a blocked name changed");
  }
  if (rewritten == 0) FUZZ_CHECK(lines.Lines == original, "a rename that rewrote nothing changed");
  FUZZ_CHECK(SplitMailLines(out).Lines == lines.Lines || lines.Lines.empty(),
             "a renamed mail does not read back as its lines");
  return 0;
}
