#include "inspection/mail_attachments.h"

#include "inspection/attachment_name.h"
#include "mime/mime_decode.h"
#include "platform/streams.h"

std::vector<std::string> AttachmentNamesOf(std::string_view content) {
  std::vector<std::string> names;
  TMemoryStream stream(content);
  TMimeDecode decoder;
  decoder.OnPartHeaderLine = [&names](TMimeDecode& sender) {
    if (auto name = AttachmentNameFromPartHeaderLine(sender.LineText())) {
      names.push_back(std::move(*name));
    }
  };
  decoder.DecodeFromStream(stream);
  return names;
}
