#pragma once
// TMimeDecode: a streaming decoder of one Internet mail message.
//
// DecodeFromStream reads the message line by line from a stream and reports it through
// events: the message header, then the body (single-part) or the preamble and every part of
// a multipart message, nested multiparts flattened into one sequence of parts. Part bodies are
// decoded from base64, quoted-printable and x-uuencode, and uuencoded blocks inside plain data
// are reported through the inline events. Only the line being read is held in memory.
//
// The values below are cleared when a decode starts and stay readable after it until the next
// one. LineText is defined while a header event runs; body data comes as the event's Data.
// Malformed input raises nothing: unknown fields are passed over, a missing boundary leaves the
// message single-part, and a header that never ends is read to the end of the input. An
// exception from an event handler ends the decode and reaches the caller.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/string_list.h"

class TComponent;
class TStream;

class TMimeDecode;
using TMimeDecodeEvent = std::function<void(TMimeDecode& Sender)>;
using TMimeDecodePartLine =
    std::function<void(TMimeDecode& Sender, const char* Data, std::int32_t DataLen)>;
using TInlineDecodeBegin = std::function<void(TMimeDecode& Sender, const std::string& Filename)>;
using TInlineDecodeLine =
    std::function<void(TMimeDecode& Sender, const char* Line, std::int32_t Len)>;
using TInlineDecodeEnd = std::function<void(TMimeDecode& Sender, const std::string& Filename)>;

class TMimeDecode {
 public:
  // The owner (the window that holds the decoder) is only remembered; the decoder is no part
  // of the component tree and needs nothing from it.
  explicit TMimeDecode(TComponent* owner = nullptr) : owner_(owner) {}
  virtual ~TMimeDecode() = default;
  TMimeDecode(const TMimeDecode&) = delete;
  TMimeDecode& operator=(const TMimeDecode&) = delete;

  // Decodes one message from the stream's position to its end. All events fire within this
  // call. Calling it again from inside an event handler raises std::logic_error.
  void DecodeFromStream(TStream& stream);

  // Message-level values, from the message header.
  const std::string& MsgFrom() const { return msgFrom_; }
  const std::string& MsgTo() const { return msgTo_; }
  const std::string& MsgSubject() const { return msgSubject_; }
  const std::string& MsgDate() const { return msgDate_; }
  const std::string& MsgReturnPath() const { return msgReturnPath_; }
  const std::string& MsgMimeVersion() const { return msgMimeVersion_; }
  const std::string& MsgContentType() const { return msgContentType_; }
  const std::string& MsgCharset() const { return msgCharset_; }
  const std::string& MsgTypeName() const { return msgTypeName_; }
  const std::string& MsgTransferEncoding() const { return msgTransferEncoding_; }
  const std::string& MsgDisposition() const { return msgDisposition_; }
  const std::string& MsgFileName() const { return msgFileName_; }
  const TStringList& MsgHeaderLines() const { return msgHeaderLines_; }
  // "--" and the lowercased boundary of the message; empty for a single-part message.
  const std::string& BoundaryText() const { return boundaryText_; }
  bool Multipart() const { return multipart_; }
  bool ClosingBoundarySeen() const { return closingBoundarySeen_; }

  // Part-level values, fresh for each part.
  std::int32_t PartIndex() const { return partIndex_; }
  const std::string& PartType() const { return partType_; }
  const std::string& PartTypeName() const { return partTypeName_; }
  const std::string& PartCharsetName() const { return partCharsetName_; }
  const std::string& PartTransferEncoding() const { return partTransferEncoding_; }
  const std::string& PartDispositionType() const { return partDispositionType_; }
  const std::string& PartFile() const { return partFile_; }
  const std::string& PartId() const { return partId_; }

  // The header line being processed, unfolded, without its line end.
  const std::string& LineText() const { return lineText_; }

  TComponent* Owner() const { return owner_; }

  // Not owned. When set, every delivered data block is also appended to it.
  TStream* OutputStream = nullptr;

  // Safety limits against hostile input. A line longer than MaxLineLength is processed in
  // pieces of that length (a piece of a plain or quoted-printable body line gets no line end
  // of its own). MsgHeaderLines keeps lines only up to MaxHeaderLinesBytes in total, and at
  // most MaxInnerBoundaries nested boundaries are recognised; the events still fire for
  // everything beyond these limits.
  std::size_t MaxLineLength = 1 << 20;
  std::size_t MaxHeaderLinesBytes = 1 << 20;
  std::size_t MaxInnerBoundaries = 1000;

  // Events, each fired only when assigned.
  TMimeDecodeEvent OnHeaderBegin;
  TMimeDecodeEvent OnHeaderLine;
  TMimeDecodeEvent OnHeaderEnd;
  TMimeDecodeEvent OnPartHeaderBegin;
  TMimeDecodeEvent OnPartHeaderLine;
  TMimeDecodeEvent OnPartHeaderEnd;
  TMimeDecodeEvent OnPartBegin;
  TMimeDecodePartLine OnPartLine;
  TMimeDecodeEvent OnPartEnd;
  TMimeDecodeEvent OnMessageEnd;
  TInlineDecodeBegin OnInlineDecodeBegin;
  TInlineDecodeLine OnInlineDecodeLine;
  TInlineDecodeEnd OnInlineDecodeEnd;

 protected:
  // The first ten events go through these, so a derived class can take them over.
  virtual void TriggerHeaderBegin();
  virtual void TriggerHeaderLine();
  virtual void TriggerHeaderEnd();
  virtual void TriggerPartHeaderBegin();
  virtual void TriggerPartHeaderLine();
  virtual void TriggerPartHeaderEnd();
  virtual void TriggerPartBegin();
  virtual void TriggerPartLine(const char* Data, std::int32_t DataLen);
  virtual void TriggerPartEnd();
  virtual void TriggerMessageEnd();

 private:
  enum class TLineState { MessageHeader, SinglePartBody, Preamble, PartHeader, PartBody };

  void StartDecode();
  void ProcessLine(std::string_view line, bool cut);
  std::int32_t CountLine();
  void NextPartIndex();
  void ProcessMessageHeaderLine(std::string_view line);
  void DispatchMessageField(std::string_view line);
  void ProcessPreambleLine(std::string_view line);
  void ProcessPartHeaderLine(std::string_view line);
  void DispatchPartField(std::string_view line);
  void ProcessPartBodyLine(std::string_view line, bool cut);
  void ProcessSinglePartBodyLine(std::string_view line, bool cut);
  void EndPart();
  void EndMessage();
  void AddInnerBoundary(std::string_view value);
  // The kind of boundary the line is, judged on its lowercased text.
  enum class TBoundaryKind { None, Boundary, Closing, Inner };
  TBoundaryKind ClassifyBoundary(std::string_view line);

  // Body decoding and delivery.
  void DecodeBodyLine(std::string_view line, const std::string& encoding, bool cut);
  char* Scratch(std::size_t size);
  void Deliver(const char* data, std::size_t length);
  void DecodeUuencodePartLine(std::string_view line);
  bool TakeInlineBlock(const char* data, std::size_t length);

  TComponent* owner_;
  bool decoding_ = false;

  std::string msgFrom_, msgTo_, msgSubject_, msgDate_, msgReturnPath_, msgMimeVersion_;
  std::string msgContentType_, msgCharset_, msgTypeName_, msgTransferEncoding_;
  std::string msgDisposition_, msgFileName_;
  TStringList msgHeaderLines_;
  std::size_t msgHeaderLinesBytes_ = 0;
  std::string boundaryText_;
  bool multipart_ = false;
  bool closingBoundarySeen_ = false;

  std::int32_t partIndex_ = 0;
  std::string partType_, partTypeName_, partCharsetName_, partTransferEncoding_;
  std::string partDispositionType_, partFile_, partId_;

  std::string lineText_;

  TLineState state_ = TLineState::MessageHeader;
  std::int32_t lineCount_ = 0;
  bool partBodyBegun_ = false;
  bool unfold_ = false;
  bool previousCut_ = false;
  std::unordered_set<std::string> innerBoundaries_;
  std::size_t innerBoundaryBytes_ = 0;
  std::string inlineFileName_;
  bool inlineBlock_ = false;

  // Reused per line so the line loop does not allocate.
  std::string name_, value_, lowerLine_;
  std::unique_ptr<char[]> scratch_;
  std::size_t scratchSize_ = 0;
};
