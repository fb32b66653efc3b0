#include "inspection/header_params.h"

#include <algorithm>
#include <charconv>

#include "inspection/charset_text.h"
#include "inspection/encoded_words.h"
#include "platform/ascii_text.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class TParamReader {
 public:
  explicit TParamReader(std::string_view text) : text_(text) {}

  std::vector<THeaderParam> ReadAll() {
    std::vector<THeaderParam> params;
    SkipToSemicolon();
    while (pos_ < text_.size()) {
      THeaderParam param;
      param.Begin = pos_;
      ++pos_;  // the ";"
      std::string name = ReadToken('=');
      if (pos_ >= text_.size() || text_[pos_] != '=') {
        SkipToSemicolon();
        continue;
      }
      ++pos_;
      SkipBlanksAndComments();
      param.Value = pos_ < text_.size() && text_[pos_] == '"' ? ReadQuoted() : ReadToken(';');
      SkipToSemicolon();
      param.End = pos_;
      if (SplitName(name, param)) params.push_back(std::move(param));
    }
    return params;
  }

 private:
  void SkipComment() {
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '\\') {
        // The escaped character, when there is one: a backslash that ends the field must
        // not carry the reader past it.
        if (pos_ < text_.size()) ++pos_;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        return;
      }
    }
  }

  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      if (IsBlank(text_[pos_])) {
        ++pos_;
      } else if (text_[pos_] == '(') {
        SkipComment();
      } else {
        return;
      }
    }
  }

  // Up to the next ";" that is neither quoted nor inside a comment.
  void SkipToSemicolon() {
    while (pos_ < text_.size() && text_[pos_] != ';') {
      if (text_[pos_] == '"') {
        ReadQuoted();
      } else if (text_[pos_] == '(') {
        SkipComment();
      } else {
        ++pos_;
      }
    }
  }

  // A token up to `stop` or ";", without blanks and comments.
  std::string ReadToken(char stop) {
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != stop && text_[pos_] != ';') {
      if (text_[pos_] == '(') {
        SkipComment();
      } else if (IsBlank(text_[pos_])) {
        ++pos_;
      } else {
        out += text_[pos_++];
      }
    }
    return out;
  }

  std::string ReadQuoted() {
    std::string out;
    ++pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (c == '\\' && pos_ < text_.size()) {
        out += text_[pos_++];
      } else if (c != '\r' && c != '\n') {
        out += c;
      }
    }
    return out;
  }

  static bool SplitName(const std::string& written, THeaderParam& param) {
    std::string name = ascii::LowerCopy(written);
    if (!name.empty() && name.back() == '*') {
      param.Extended = true;
      name.pop_back();
    }
    const std::size_t star = name.find('*');
    if (star != std::string::npos) {
      int section = -1;
      const char* first = name.data() + star + 1;
      const char* last = name.data() + name.size();
      const auto [end, ec] = std::from_chars(first, last, section);
      if (ec != std::errc() || end != last || section < 0) return false;
      param.Section = section;
      name.resize(star);
    }
    if (name.empty()) return false;
    param.Name = std::move(name);
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// charset'lang'rest: the charset and the rest; a value without both quotes is all rest.
std::string_view WithoutCharset(std::string_view value, std::string_view& charset) {
  const std::size_t first = value.find('\'');
  if (first == std::string_view::npos) return value;
  const std::size_t second = value.find('\'', first + 1);
  if (second == std::string_view::npos) return value;
  charset = value.substr(0, first);
  return value.substr(second + 1);
}

}  // namespace

std::vector<THeaderParam> ReadHeaderParams(std::string_view fieldValue) {
  return TParamReader(fieldValue).ReadAll();
}

std::vector<std::string> DecodedParamValues(const std::vector<THeaderParam>& params,
                                            std::string_view lowerName) {
  std::vector<std::string> values;
  std::vector<const THeaderParam*> sections;
  for (const auto& param : params) {
    if (param.Name != lowerName) continue;
    if (param.Section >= 0) {
      sections.push_back(&param);
    } else if (param.Extended) {
      std::string_view charset;
      const std::string decoded = PercentDecoded(WithoutCharset(param.Value, charset));
      values.push_back(CharsetToUtf8(charset, decoded));
    } else {
      values.push_back(DecodeEncodedWords(param.Value));
    }
  }
  if (sections.empty()) return values;
  // Sections may come in any order; a number given twice counts once.
  std::stable_sort(
      sections.begin(), sections.end(),
      [](const THeaderParam* a, const THeaderParam* b) { return a->Section < b->Section; });
  std::string_view charset;
  std::string joined;
  int last = -1;
  for (const THeaderParam* section : sections) {
    if (section->Section == last) continue;
    last = section->Section;
    std::string_view value = section->Value;
    if (section->Section == 0 && section->Extended) value = WithoutCharset(value, charset);
    joined += section->Extended ? PercentDecoded(value) : std::string(value);
  }
  // Without a charset the sections may still be written as encoded words.
  values.push_back(charset.empty() ? DecodeEncodedWords(joined) : CharsetToUtf8(charset, joined));
  return values;
}
