// Fuzz entry for the attachment rules on arbitrary mails, in the order the check applies them:
// the decoder reports the part header lines, the names found there are judged against the
// blocked extensions, and a mail with a blocked name has the name renamed in its lines and the
// notice put in, through the same line splitting the stored mail goes through.
//
// Invariants: a mail in which no blocked name is found comes out byte for byte as it came, and
// so does one whose rename changed no line; a rename changes no line but one that carried a blocked
// name (and that line only by cutting it after the name and marking it), and adds nothing but the
// notice blocks, so every other byte of the mail stays as it was.
//
// Input: one byte of settings (groups, whether the notices exist), the user's own list up to
// the first line feed, then the mail as stored.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "inspection/attachment_rename.h"
#include "inspection/file_extension.h"
#include "inspection/mail_attachments.h"
#include "inspection/mail_lines.h"

namespace {

const std::vector<std::string> kTextNotice = {"*** An attachment of this mail was renamed ***", ""};
const std::vector<std::string> kHtmlNotice = {"<p>An attachment of this mail was renamed</p>"};

bool EndsWithFilenameKey(std::string_view text) {
  if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  if (text.size() < 9) return false;
  std::string_view key = text.substr(text.size() - 9);
  static constexpr std::string_view kKey = "filename=";
  for (std::size_t i = 0; i < 9; ++i)
    if (std::tolower(static_cast<unsigned char>(key[i])) != kKey[i]) return false;
  return true;
}

// Every text a line can become when each blocked name in turn either renames it (when found)
// or leaves it (outside the lines the rule looks at).
std::set<std::string> RenamedForms(const std::string& line, const std::vector<std::string>& names) {
  std::set<std::string> forms = {line};
  for (const std::string& name : names) {
    std::set<std::string> next = forms;
    for (const std::string& form : forms) {
      if (name.empty()) {
        // An empty name stands right after a "filename=" with an empty value.
        for (std::size_t p = 9; p <= form.size(); ++p)
          if (EndsWithFilenameKey(form.substr(0, p))) next.insert(form.substr(0, p) + "BLOCKED\"");
        continue;
      }
      std::size_t p = form.find(name);
      if (p != std::string::npos) next.insert(form.substr(0, p) + name + "BLOCKED\"");
    }
    forms = std::move(next);
  }
  return forms;
}

bool BlockAt(const std::vector<std::string>& lines, std::size_t k,
             const std::vector<std::string>& notice) {
  if (k + 1 + notice.size() > lines.size() || !lines[k].empty()) return false;
  for (std::size_t n = 0; n < notice.size(); ++n)
    if (lines[k + 1 + n] != notice[n]) return false;
  return true;
}

// Whether `after` is `before` with renamed lines and notice blocks put in, and nothing else.
bool OnlyRenamedAndNoticed(const std::vector<std::string>& before,
                           const std::vector<std::string>& after,
                           const std::vector<std::string>& names) {
  std::set<std::pair<std::size_t, std::size_t>> seen;
  std::vector<std::pair<std::size_t, std::size_t>> todo = {{0, 0}};
  while (!todo.empty()) {
    auto [i, k] = todo.back();
    todo.pop_back();
    if (!seen.insert({i, k}).second) continue;
    if (i == before.size() && k == after.size()) return true;
    if (k < after.size()) {
      for (const auto* notice : {&kTextNotice, &kHtmlNotice})
        if (BlockAt(after, k, *notice)) todo.push_back({i, k + 1 + notice->size()});
    }
    if (i < before.size() && k < after.size()) {
      if (before[i] == after[k] ||
          (names.size() <= 12 && RenamedForms(before[i], names).count(after[k]) != 0))
        todo.push_back({i + 1, k + 1});
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t eol = rest.find('\n');
  if (eol == std::string_view::npos || eol > 64) return 0;
  TBlockSettings settings;
  settings.Scripts = flags & 1;
  settings.Programs = flags & 2;
  settings.Others = flags & 4;
  settings.OthersText = std::string(rest.substr(0, eol));
  const std::string mail(rest.substr(eol + 1));
  const std::vector<std::string> extensions = BuildBlockedExtensions(settings);

  std::vector<std::string> blocked;
  for (const std::string& name : AttachmentNamesOf(mail))
    if (IsBlockedAttachment(name, extensions)) blocked.push_back(name);

  // What the check does to the stored mail.
  TMailLines lines = SplitMailLines(mail);
  const std::vector<std::string> original = lines.Lines;
  if (!blocked.empty()) {
    int renamed = 0;
    for (const std::string& name : blocked) renamed += RenameAttachmentLines(lines.Lines, name);
    // The notice goes only into a mail that changed; one that cannot be read leaves the mail
    // as the rename left it.
    std::vector<std::string> noticed = lines.Lines;
    const auto textNotice = (flags & 8) ? std::nullopt : std::optional(kTextNotice);
    const auto htmlNotice = (flags & 16) ? std::nullopt : std::optional(kHtmlNotice);
    if (renamed > 0 && InsertNoticeLines(noticed, textNotice, htmlNotice))
      lines.Lines = std::move(noticed);
  }
  const std::string out = JoinMailLines(lines);

  if (blocked.empty()) {
    FUZZ_CHECK(out == mail, "a mail without a blocked name changed");
    return 0;
  }
  if (lines.Lines == original) FUZZ_CHECK(out == mail, "a mail that the rename left alone changed");
  const TMailLines reread = SplitMailLines(out);
  FUZZ_CHECK(reread.Lines == lines.Lines, "a rewritten mail does not read back as its lines");
  // A name found in several parts is renamed once for each, and a rename by the same name again
  // leaves a renamed line as it is: the forms a line can take depend on the distinct names only.
  const std::set<std::string> distinct(blocked.begin(), blocked.end());
  FUZZ_CHECK(OnlyRenamedAndNoticed(original, lines.Lines, {distinct.begin(), distinct.end()}),
             "a rename changed bytes outside the lines that carried the name and the notice");
  return 0;
}
