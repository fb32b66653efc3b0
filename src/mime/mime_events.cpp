// The event operations: each fires its event when one is assigned.

#include "mime/mime_decode.h"

void TMimeDecode::TriggerHeaderBegin() {
  if (OnHeaderBegin) OnHeaderBegin(*this);
}
void TMimeDecode::TriggerHeaderLine() {
  if (OnHeaderLine) OnHeaderLine(*this);
}
void TMimeDecode::TriggerHeaderEnd() {
  if (OnHeaderEnd) OnHeaderEnd(*this);
}
void TMimeDecode::TriggerPartHeaderBegin() {
  if (OnPartHeaderBegin) OnPartHeaderBegin(*this);
}
void TMimeDecode::TriggerPartHeaderLine() {
  if (OnPartHeaderLine) OnPartHeaderLine(*this);
}
void TMimeDecode::TriggerPartHeaderEnd() {
  if (OnPartHeaderEnd) OnPartHeaderEnd(*this);
}
void TMimeDecode::TriggerPartBegin() {
  if (OnPartBegin) OnPartBegin(*this);
}
void TMimeDecode::TriggerPartLine(const char* Data, std::int32_t DataLen) {
  if (OnPartLine) OnPartLine(*this, Data, DataLen);
}
void TMimeDecode::TriggerPartEnd() {
  if (OnPartEnd) OnPartEnd(*this);
}
void TMimeDecode::TriggerMessageEnd() {
  if (OnMessageEnd) OnMessageEnd(*this);
}
