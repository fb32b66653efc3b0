#pragma once
// Test helper: runs the decoder over a text and records its events as short strings.

#include <string>
#include <vector>

#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace mime_test {

inline std::string Printable(const char* data, int len) {
  std::string s;
  for (int i = 0; i < len; ++i) {
    const char c = data[i];
    if (c == '\r')
      s += "\\r";
    else if (c == '\n')
      s += "\\n";
    else
      s += c;
  }
  return s;
}

struct TEventRecorder {
  std::vector<std::string> events;
  std::string data;  // every OnPartLine block, concatenated

  explicit TEventRecorder(TMimeDecode& d, bool withInline = true) {
    d.OnHeaderBegin = [this](TMimeDecode&) { events.push_back("HeaderBegin"); };
    d.OnHeaderLine = [this](TMimeDecode& s) { events.push_back("HeaderLine " + s.LineText()); };
    d.OnHeaderEnd = [this](TMimeDecode&) { events.push_back("HeaderEnd"); };
    d.OnPartHeaderBegin = [this](TMimeDecode& s) {
      events.push_back("PartHeaderBegin " + std::to_string(s.PartIndex()));
    };
    d.OnPartHeaderLine = [this](TMimeDecode& s) {
      events.push_back("PartHeaderLine " + s.LineText());
    };
    d.OnPartHeaderEnd = [this](TMimeDecode&) { events.push_back("PartHeaderEnd"); };
    d.OnPartBegin = [this](TMimeDecode&) { events.push_back("PartBegin"); };
    d.OnPartLine = [this](TMimeDecode&, const char* p, std::int32_t n) {
      events.push_back("Line " + Printable(p, n));
      data.append(p, static_cast<std::size_t>(n));
    };
    d.OnPartEnd = [this](TMimeDecode&) { events.push_back("PartEnd"); };
    d.OnMessageEnd = [this](TMimeDecode&) { events.push_back("MessageEnd"); };
    if (!withInline) return;
    d.OnInlineDecodeBegin = [this](TMimeDecode&, const std::string& f) {
      events.push_back("InlineBegin " + f);
    };
    d.OnInlineDecodeLine = [this](TMimeDecode&, const char* p, std::int32_t n) {
      events.push_back("InlineLine " + Printable(p, n));
    };
    d.OnInlineDecodeEnd = [this](TMimeDecode&, const std::string& f) {
      events.push_back("InlineEnd " + f);
    };
  }

  // Only the events whose text starts with `prefix`.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }
};

inline void Decode(TMimeDecode& d, const std::string& text) {
  TMemoryStream m(text);
  d.DecodeFromStream(m);
}

using Events = std::vector<std::string>;

}  // namespace mime_test
