#include "inspection/strict_names.h"

#include <algorithm>

#include "inspection/encoded_mail.h"
#include "inspection/encoded_words.h"
#include "inspection/header_params.h"
#include "inspection/part_headers.h"
#include "platform/ascii_text.h"

namespace {

// A header field that announces names.
struct TNamedField {
  std::size_t First = 0;
  std::size_t End = 0;
  std::string Text;
  std::size_t Colon = 0;
  std::string LowerName;
  std::vector<THeaderParam> Params;
  std::vector<TStrictName> Names;
};

struct THeaderInfo {
  std::vector<TNamedField> Fields;
  bool IsMessage = false;
  bool IsText = true;
  std::string TransferEncoding;
};

// Removes the UTF-8 forms of U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069.
std::string WithoutDirectionControls(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xE2) {
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      const bool control = (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F)) ||
                           (b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) ||
                           (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9);
      if (control) {
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool EndsLikeAFileName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 >= name.size() || name.size() - dot > 11)
    return false;
  for (char c : name.substr(dot + 1)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

std::string FieldValue(const TNamedField& field) {
  return field.Text.substr(field.Colon + 1);
}

THeaderInfo JudgeHeader(const std::vector<std::string>& lines, std::size_t first, std::size_t end) {
  THeaderInfo info;
  std::string type;
  TNamedField description;
  bool hasDescription = false;
  ForEachHeaderField(
      lines, first, end, [&](std::string_view text, std::size_t from, std::size_t to) {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) return;
        TNamedField field;
        field.First = from;
        field.End = to;
        field.Text = text;
        field.Colon = colon;
        field.LowerName = ascii::LowerCopy(ascii::Trim(text.substr(0, colon)));
        const std::string_view value = text.substr(colon + 1);
        auto add = [&](std::string_view param, const char* where) {
          for (const auto& name : DecodedParamValues(field.Params, param)) {
            field.Names.push_back({NormalizedAttachmentName(name), where, false});
          }
        };
        if (field.LowerName == "content-type") {
          type = ascii::LowerCopy(
              ascii::Trim(value.substr(0, value.find(';')), ascii::TTrimSet::tsSpaceAndControls));
          field.Params = ReadHeaderParams(value);
          add("name", "name");
        } else if (field.LowerName == "content-disposition") {
          field.Params = ReadHeaderParams(value);
          add("filename", "filename");
          add("name", "name");
        } else if (field.LowerName == "content-transfer-encoding") {
          info.TransferEncoding = ascii::Trim(value, ascii::TTrimSet::tsSpaceAndControls);
          return;
        } else if (field.LowerName == "content-description") {
          description = std::move(field);
          hasDescription = true;
          return;
        }
        if (!field.Names.empty()) info.Fields.push_back(std::move(field));
      });
  info.IsMessage = type == "message/rfc822";
  info.IsText = type.empty() || type.starts_with("text/");
  const bool container = type.starts_with("multipart/") || type.starts_with("message/");
  if (info.Fields.empty() && hasDescription && !info.IsText && !container) {
    const std::string name = NormalizedAttachmentName(DecodeEncodedWords(
        ascii::Trim(FieldValue(description), ascii::TTrimSet::tsSpaceAndControls)));
    if (EndsLikeAFileName(name)) {
      description.Names.push_back({name, "Content-Description", false});
      info.Fields.push_back(std::move(description));
    }
  }
  return info;
}

// A uuencode begin line: "begin", a blank, the octal mode, a blank and the name.
bool UuencodeBegin(std::string_view line, std::string& mode, std::string& name) {
  if (!ascii::StartsWithNoCase(line, "begin ")) return false;
  std::size_t i = 6;
  const std::size_t digits = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '7') ++i;
  if (i - digits < 3 || i - digits > 4 || i >= line.size() || line[i] != ' ') return false;
  mode = std::string(line.substr(digits, i - digits));
  name = std::string(ascii::Trim(line.substr(i + 1)));
  return !name.empty();
}

class TVisitor {
 public:
  virtual ~TVisitor() = default;
  virtual void Header(const THeaderInfo& info) = 0;
  virtual void UuencodeLine(std::size_t index, const std::string& mode,
                            const std::string& name) = 0;
  virtual void TooDeep() = 0;
  // An attached mail in lines [from, to) whose body is encoded: it cannot be walked in place.
  virtual void EncodedMail(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                           const std::string& encoding, int depth) = 0;
};

void WalkMail(const std::vector<std::string>& lines, std::size_t begin, std::size_t end, int depth,
              TVisitor& visitor) {
  if (depth > kMostNestedMails) {
    visitor.TooDeep();
    return;
  }
  auto body = [&](const THeaderInfo& info, std::size_t from, std::size_t to) {
    if (info.IsMessage) {
      if (IsEncodedMailBody(info.TransferEncoding)) {
        visitor.EncodedMail(lines, from, to, info.TransferEncoding, depth + 1);
      } else {
        WalkMail(lines, from, to, depth + 1, visitor);
      }
      return;
    }
    if (!info.IsText) return;
    std::string mode, name;
    for (std::size_t i = from; i < to; ++i) {
      if (UuencodeBegin(lines[i], mode, name)) visitor.UuencodeLine(i, mode, name);
    }
  };
  std::size_t headerEnd = begin;
  while (headerEnd < end && !lines[headerEnd].empty()) ++headerEnd;
  const THeaderInfo top = JudgeHeader(lines, begin, headerEnd);
  visitor.Header(top);
  const std::vector<TPartHeader> parts = FindPartHeaders(lines, begin, end);
  if (parts.empty()) {
    body(top, std::min(headerEnd + 1, end), end);
    return;
  }
  for (const TPartHeader& part : parts) {
    const THeaderInfo info = JudgeHeader(lines, part.First, part.End);
    visitor.Header(info);
    const std::size_t from =
        part.End < part.BodyEnd && lines[part.End].empty() ? part.End + 1 : part.End;
    body(info, from, std::max(from, part.BodyEnd));
  }
}

class TCollector : public TVisitor {
 public:
  void Header(const THeaderInfo& info) override {
    for (const auto& field : info.Fields) {
      Names.insert(Names.end(), field.Names.begin(), field.Names.end());
    }
  }
  void UuencodeLine(std::size_t, const std::string&, const std::string& name) override {
    Names.push_back({NormalizedAttachmentName(name), "uuencode", false});
  }
  void TooDeep() override { Names.push_back({std::string(), "nesting", true}); }
  void EncodedMail(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                   const std::string& encoding, int depth) override {
    const TEndedLines inner = SplitKeepingEnds(DecodeMailBody(lines, from, to, encoding));
    WalkMail(inner.Lines, 0, inner.Lines.size(), depth, *this);
  }

  std::vector<TStrictName> Names;
};

std::string PlainAsciiName(const std::string& name) {
  std::string out;
  for (char c : name) {
    const bool keep = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      c == '.' || c == '-' || c == '_';
    out += keep ? c : '_';
  }
  return out + "BLOCKED";
}

// Lines [First, End) give way to Lines.
struct TEdit {
  std::size_t First = 0;
  std::size_t End = 0;
  std::vector<std::string> Lines;
};

int ApplyEdits(std::vector<std::string>& lines, std::vector<TEdit>& edits) {
  // From the last to the first, so the earlier places stay where they were.
  std::sort(edits.begin(), edits.end(),
            [](const TEdit& a, const TEdit& b) { return a.First > b.First; });
  for (const TEdit& edit : edits) {
    const auto first = lines.begin() + static_cast<std::ptrdiff_t>(edit.First);
    lines.erase(first, lines.begin() + static_cast<std::ptrdiff_t>(edit.End));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(edit.First), edit.Lines.begin(),
                 edit.Lines.end());
  }
  return static_cast<int>(edits.size());
}

class TRenamer : public TVisitor {
 public:
  explicit TRenamer(const TNameTest& blocked) : blocked_(blocked) {}

  void Header(const THeaderInfo& info) override {
    for (const auto& field : info.Fields) {
      const auto hit = std::find_if(field.Names.begin(), field.Names.end(),
                                    [&](const TStrictName& n) { return blocked_(n.Name); });
      if (hit == field.Names.end()) continue;
      const std::string safe = PlainAsciiName(hit->Name);
      std::string line = field.Text.substr(0, field.Colon + 1);
      if (field.LowerName == "content-description") {
        line += " " + safe;
      } else {
        std::string value = FieldValue(field);
        // From the last parameter to the first, so the earlier places stay where they were.
        for (auto p = field.Params.rbegin(); p != field.Params.rend(); ++p) {
          const bool named = p->Name == "filename" || p->Name == "name";
          if (named && p->End <= value.size()) value.erase(p->Begin, p->End - p->Begin);
        }
        const char* param = field.LowerName == "content-type" ? "name" : "filename";
        line += value + "; " + param + "=\"" + safe + "\"";
      }
      Edits.push_back({field.First, field.End, {std::move(line)}});
    }
  }
  void UuencodeLine(std::size_t index, const std::string& mode, const std::string& name) override {
    const std::string normalized = NormalizedAttachmentName(name);
    if (!blocked_(normalized)) return;
    Edits.push_back({index, index + 1, {"begin " + mode + " " + PlainAsciiName(normalized)}});
  }
  void TooDeep() override {}
  // The attached mail is decoded, renamed as a mail of its own and written back in its
  // encoding; its lines count as one rewrite.
  void EncodedMail(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                   const std::string& encoding, int depth) override;

  std::vector<TEdit> Edits;

 private:
  const TNameTest& blocked_;
};

// Renames in a text held as lines with their ends. A rewritten field keeps the end of its
// last line; the lines a rewrite removed (the continuations of a folded field) take their
// ends with them.
int RenameInText(TEndedLines& text, const TNameTest& blocked, int depth) {
  TRenamer renamer(blocked);
  WalkMail(text.Lines, 0, text.Lines.size(), depth, renamer);
  std::vector<TEdit>& edits = renamer.Edits;
  std::sort(edits.begin(), edits.end(),
            [](const TEdit& a, const TEdit& b) { return a.First > b.First; });
  for (const TEdit& edit : edits) {
    const std::string end = text.Ends[edit.End - 1];
    text.Ends.erase(text.Ends.begin() + static_cast<std::ptrdiff_t>(edit.First),
                    text.Ends.begin() + static_cast<std::ptrdiff_t>(edit.End));
    text.Ends.insert(text.Ends.begin() + static_cast<std::ptrdiff_t>(edit.First), edit.Lines.size(),
                     end);
  }
  return ApplyEdits(text.Lines, edits);
}

void TRenamer::EncodedMail(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                           const std::string& encoding, int depth) {
  // Blank lines at the end of the body stay as they are, outside the encoded text.
  std::size_t end = to;
  while (end > from && lines[end - 1].empty()) --end;
  TEndedLines inner = SplitKeepingEnds(DecodeMailBody(lines, from, end, encoding));
  if (RenameInText(inner, blocked_, depth) == 0) return;
  Edits.push_back({from, end, EncodeMailBody(JoinKeepingEnds(inner), encoding)});
}

}  // namespace

std::string NormalizedAttachmentName(std::string_view decoded) {
  std::string name(decoded.substr(0, decoded.find('\0')));
  const std::size_t escapedNul = name.find("%00");
  if (escapedNul != std::string::npos) name.resize(escapedNul);
  name = WithoutDirectionControls(name);
  for (;;) {
    const std::size_t before = name.size();
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (!name.empty() && name.back() == '}') {
      const std::size_t open = name.rfind(".{");
      if (open != std::string::npos) name.resize(open);
    }
    if (name.size() == before) return name;
  }
}

std::vector<TStrictName> StrictAttachmentNames(std::string_view content) {
  // Lines end where the decoder ends them: at every LF.
  const std::vector<std::string> lines = SplitKeepingEnds(content).Lines;
  TCollector collector;
  WalkMail(lines, 0, lines.size(), 0, collector);
  return collector.Names;
}

bool StrictNameBlocked(const TStrictName& name, const TNameTest& blocked) {
  return name.TooDeep || blocked(name.Name);
}

int RenameStrictNames(std::vector<std::string>& lines, const TNameTest& blocked) {
  // The caller's lines end in CR LF; the mail's structure is read at every LF, as the
  // decoder reads it, and the rewritten text is cut at CR LF again.
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  TEndedLines ended = SplitKeepingEnds(text);
  const int rewritten = RenameInText(ended, blocked, 0);
  if (rewritten == 0) return 0;
  text = JoinKeepingEnds(ended);
  lines.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t crlf = text.find("\r\n", start);
    lines.emplace_back(
        text.substr(start, crlf == std::string::npos ? std::string::npos : crlf - start));
    if (crlf == std::string::npos) return rewritten;
    start = crlf + 2;
  }
}
