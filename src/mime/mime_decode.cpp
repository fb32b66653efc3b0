#include "mime/mime_decode.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "mime/ascii.h"
#include "mime/header_tokens.h"
#include "mime/line_reader.h"

using mime::THeaderTokenReader;

namespace {

template <class... TTexts>
void ClearTexts(TTexts&... texts) {
  (texts.clear(), ...);
}

}  // namespace

void TMimeDecode::DecodeFromStream(TStream& stream) {
  if (decoding_) throw std::logic_error("TMimeDecode: DecodeFromStream called during a decode");
  // Whatever ends the decode, the working memory goes with it.
  struct TCleanup {
    TMimeDecode& d;
    ~TCleanup() {
      d.decoding_ = false;
      d.innerBoundaries_ = {};
      d.innerBoundaryBytes_ = 0;
      d.scratch_.reset();
      d.scratchSize_ = 0;
    }
  } cleanup{*this};
  decoding_ = true;
  StartDecode();

  // Block lengths are reported as 32-bit numbers, so a line piece must stay well below that.
  mime::TLineReader reader(stream, std::min<std::size_t>(MaxLineLength, std::size_t{1} << 30));
  std::string_view line;
  bool cut = false;
  while (reader.NextLine(unfold_, line, cut)) ProcessLine(line, cut);
  EndMessage();
}

void TMimeDecode::StartDecode() {
  ClearTexts(msgFrom_, msgTo_, msgSubject_, msgDate_, msgReturnPath_, msgMimeVersion_,
             msgContentType_, msgCharset_, msgTypeName_, msgTransferEncoding_, msgDisposition_,
             msgFileName_, boundaryText_);
  ClearTexts(partType_, partTypeName_, partCharsetName_, partTransferEncoding_,
             partDispositionType_, partFile_, partId_, lineText_, inlineFileName_);
  msgHeaderLines_.Clear();
  msgHeaderLinesBytes_ = 0;
  multipart_ = false;
  closingBoundarySeen_ = false;
  innerBoundaries_.clear();
  innerBoundaryBytes_ = 0;
  partIndex_ = 0;
  lineCount_ = 0;
  unfold_ = true;
  partBodyBegun_ = false;
  inlineBlock_ = false;
  previousCut_ = false;
  state_ = TLineState::MessageHeader;
}

// Counters stop at their largest value: a message of billions of lines must not overflow them.
std::int32_t TMimeDecode::CountLine() {
  if (lineCount_ < std::numeric_limits<std::int32_t>::max()) ++lineCount_;
  return lineCount_;
}

void TMimeDecode::NextPartIndex() {
  if (partIndex_ < std::numeric_limits<std::int32_t>::max()) ++partIndex_;
}

void TMimeDecode::ProcessLine(std::string_view line, bool cut) {
  const bool continuation = previousCut_;
  previousCut_ = cut;
  // The empty tail of a cut header line is no empty line: it must not end the header.
  if (continuation && line.empty() &&
      (state_ == TLineState::MessageHeader || state_ == TLineState::PartHeader))
    return;
  switch (state_) {
    case TLineState::MessageHeader:
      ProcessMessageHeaderLine(line);
      break;
    case TLineState::SinglePartBody:
      ProcessSinglePartBodyLine(line, cut);
      break;
    case TLineState::Preamble:
      ProcessPreambleLine(line);
      break;
    case TLineState::PartHeader:
      ProcessPartHeaderLine(line);
      break;
    case TLineState::PartBody:
      ProcessPartBodyLine(line, cut);
      break;
  }
}

// ---- message header ----

void TMimeDecode::ProcessMessageHeaderLine(std::string_view line) {
  lineText_.assign(line);
  if (line.empty()) {
    unfold_ = false;
    TriggerHeaderEnd();
    lineCount_ = 0;
    inlineBlock_ = false;
    if (boundaryText_.empty()) {
      state_ = TLineState::SinglePartBody;
    } else {
      TriggerPartBegin();
      state_ = TLineState::Preamble;
    }
    return;
  }
  if (CountLine() == 1) TriggerHeaderBegin();
  DispatchMessageField(line);
  if (msgHeaderLinesBytes_ + line.size() <= MaxHeaderLinesBytes) {
    msgHeaderLinesBytes_ += line.size();
    msgHeaderLines_.Add(std::string(line));
  }
  TriggerHeaderLine();
}

void TMimeDecode::DispatchMessageField(std::string_view line) {
  THeaderTokenReader tokens(line);
  tokens.ReadName(name_);
  if (tokens.Ending() != ':') return;

  if (name_ == "from") {
    msgFrom_.assign(tokens.Rest());
  } else if (name_ == "to") {
    msgTo_.assign(tokens.Rest());
  } else if (name_ == "subject") {
    msgSubject_.assign(tokens.Rest());
  } else if (name_ == "date") {
    msgDate_.assign(tokens.Rest());
  } else if (name_ == "mime-version") {
    msgMimeVersion_.assign(tokens.Rest());
  } else if (name_ == "return-path") {
    msgReturnPath_.assign(mime::WithoutAngleBrackets(tokens.Rest()));
  } else if (name_ == "content-type") {
    tokens.ReadValueToken(msgContentType_);
    while (tokens.Ending() == ';') {
      tokens.ReadName(name_);
      if (tokens.Ending() != '=') continue;
      tokens.ReadParamValue(value_);
      if (name_ == "name") {
        msgTypeName_ = value_;
      } else if (name_ == "charset") {
        msgCharset_ = value_;
      } else if (name_ == "boundary") {
        boundaryText_ = "--";
        for (char c : value_) boundaryText_ += mime::LowerAscii(c);
        multipart_ = true;
      }
    }
  } else if (name_ == "content-transfer-encoding") {
    tokens.ReadValueToken(msgTransferEncoding_);
  } else if (name_ == "content-disposition") {
    tokens.ReadValueToken(msgDisposition_);
    while (tokens.Ending() == ';') {
      tokens.ReadName(name_);
      if (tokens.Ending() != '=') continue;
      tokens.ReadParamValue(value_);
      if (name_ == "filename") msgFileName_ = value_;
    }
  }
}

// ---- multipart structure ----

TMimeDecode::TBoundaryKind TMimeDecode::ClassifyBoundary(std::string_view line) {
  // Every boundary text begins with "--", so other lines need no closer look.
  if (line.size() < 2 || line[0] != '-' || line[1] != '-') return TBoundaryKind::None;
  mime::AssignLower(lowerLine_, line);
  if (lowerLine_ == boundaryText_) return TBoundaryKind::Boundary;
  const std::size_t b = boundaryText_.size();
  const bool endsInDashes = lowerLine_.size() >= 4 && lowerLine_.ends_with("--");
  if (endsInDashes && lowerLine_.size() == b + 2 && lowerLine_.compare(0, b, boundaryText_) == 0)
    return TBoundaryKind::Closing;
  if (innerBoundaries_.empty()) return TBoundaryKind::None;
  if (innerBoundaries_.count(lowerLine_) != 0) return TBoundaryKind::Inner;
  if (endsInDashes) {
    lowerLine_.resize(lowerLine_.size() - 2);
    if (innerBoundaries_.count(lowerLine_) != 0) return TBoundaryKind::Inner;
  }
  return TBoundaryKind::None;
}

void TMimeDecode::AddInnerBoundary(std::string_view value) {
  if (innerBoundaries_.size() >= MaxInnerBoundaries) return;
  std::string boundary = "--";
  for (char c : value) boundary += mime::LowerAscii(c);
  if (innerBoundaryBytes_ + boundary.size() > MaxLineLength) return;
  innerBoundaryBytes_ += boundary.size();
  innerBoundaries_.insert(std::move(boundary));
}

void TMimeDecode::ProcessPreambleLine(std::string_view line) {
  if (ClassifyBoundary(line) == TBoundaryKind::Boundary) {
    EndPart();
    return;
  }
  Deliver(line.data(), line.size());
}

void TMimeDecode::EndPart() {
  partBodyBegun_ = false;
  TriggerPartEnd();
  // The charset is cleared with the rest, so a part never reports another part's charset.
  ClearTexts(partType_, partTypeName_, partCharsetName_, partTransferEncoding_,
             partDispositionType_, partId_, partFile_);
  unfold_ = true;
  lineCount_ = 0;
  inlineBlock_ = false;
  state_ = TLineState::PartHeader;
}

void TMimeDecode::ProcessPartHeaderLine(std::string_view line) {
  lineText_.assign(line);
  if (line.empty()) {
    if (lineCount_ == 0) {
      NextPartIndex();
      TriggerPartHeaderBegin();
    }
    TriggerPartHeaderEnd();
    unfold_ = false;
    lineCount_ = 0;
    inlineBlock_ = false;
    state_ = TLineState::PartBody;
    return;
  }
  if (CountLine() == 1) {
    NextPartIndex();
    TriggerPartHeaderBegin();
  }
  if (line[0] == '\t' || line[0] == ' ') {
    // A part without a header: this line is already its first body line.
    TriggerPartHeaderEnd();
    unfold_ = false;
    lineCount_ = 0;
    state_ = TLineState::PartBody;
    ProcessPartBodyLine(line, false);
    return;
  }
  DispatchPartField(line);
  TriggerPartHeaderLine();
}

void TMimeDecode::DispatchPartField(std::string_view line) {
  THeaderTokenReader tokens(line);
  tokens.ReadName(name_);

  if (name_ == "content-type") {
    tokens.ReadValueToken(partType_);
    while (tokens.Ending() == ';') {
      tokens.ReadName(name_);
      if (tokens.Ending() != '=') continue;
      tokens.ReadParamValue(value_);
      if (name_ == "name") {
        partTypeName_ = value_;
      } else if (name_ == "charset") {
        partCharsetName_ = value_;
      } else if (name_ == "boundary") {
        AddInnerBoundary(value_);
      }
    }
  } else if (name_ == "content-transfer-encoding") {
    tokens.ReadValueToken(partTransferEncoding_);
  } else if (name_ == "content-id") {
    partId_.assign(mime::WithoutAngleBrackets(tokens.Rest()));
  } else if (name_ == "content-disposition") {
    tokens.ReadValueToken(partDispositionType_);
    // Only the first parameter with a value is looked at.
    while (tokens.Ending() == ';') {
      tokens.ReadName(name_);
      if (tokens.Ending() != '=') continue;
      tokens.ReadFilenameValue(value_);
      if (name_ == "filename") partFile_ = value_;
      break;
    }
  } else if (name_ == "content-description") {
    if (!partFile_.empty()) return;
    for (;;) {
      tokens.ReadName(name_);
      if (tokens.Ending() == '=') {
        tokens.ReadFilenameValue(value_);
        if (name_ == "filename") partFile_ = value_;
        break;
      }
      if (tokens.Ending() != ';') break;
    }
  }
}

void TMimeDecode::ProcessPartBodyLine(std::string_view line, bool cut) {
  switch (ClassifyBoundary(line)) {
    case TBoundaryKind::None:
      break;
    case TBoundaryKind::Closing:
      closingBoundarySeen_ = true;
      [[fallthrough]];
    case TBoundaryKind::Boundary:
    case TBoundaryKind::Inner:
      EndPart();
      return;
  }
  if (!partBodyBegun_) {
    partBodyBegun_ = true;
    TriggerPartBegin();
  }
  DecodeBodyLine(line, partTransferEncoding_, cut);
}

void TMimeDecode::ProcessSinglePartBodyLine(std::string_view line, bool cut) {
  if (CountLine() == 1) TriggerPartBegin();
  DecodeBodyLine(line, msgTransferEncoding_, cut);
}

void TMimeDecode::EndMessage() {
  if (boundaryText_.empty() || partBodyBegun_) TriggerPartEnd();
  TriggerMessageEnd();
}
