#pragma once
// Reading the parameters of one MIME header field the way mail programs read them: names in
// any letter case, white space and comments anywhere between the tokens, quoted values with
// backslash escapes, and the RFC 2231 forms (name*=charset'lang'%XX, numbered sections in any
// order). Kept small and free of other state so it can be fed hostile input on its own.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct THeaderParam {
  // The parameter's name in lower case without its RFC 2231 marks ("filename" for
  // "FileName*1*").
  std::string Name;
  // The value as written: unquoted and unescaped, comments and blanks of an unquoted value
  // removed, percent escapes still in place.
  std::string Value;
  // The RFC 2231 section number, or -1 for a name without one.
  int Section = -1;
  // The name ended in "*": the value is percent-encoded (and, in section 0 or without a
  // section, begins with charset'lang').
  bool Extended = false;
  // Where the parameter stands in the field value: from its ";" up to the end of its value.
  std::size_t Begin = 0;
  std::size_t End = 0;
};

// Every parameter of a field value (the text after "Name:", unfolded), in the order written.
// The leading type token (a content type, a disposition) is not a parameter.
std::vector<THeaderParam> ReadHeaderParams(std::string_view fieldValue);

// Every value a mail program may take for the parameter `lowerName`, decoded to bytes: each
// plain occurrence on its own (encoded words in it decoded), and the RFC 2231 form joined from
// its sections in section order, percent-decoded and converted from its charset to UTF-8 (see
// CharsetToUtf8).
std::vector<std::string> DecodedParamValues(const std::vector<THeaderParam>& params,
                                            std::string_view lowerName);
