// Downloading every stored mail with RETR and decoding it for its header values and
// attachment names.

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/text_table.h"
#include "app/user_folders.h"
#include "inspection/attachment_name.h"
#include "inspection/message_store.h"
#include "mime/mime_decode.h"
#include "platform/application.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/download_state.h"

namespace {

const char kDownloadFileName[] = "dummy.eml";
constexpr std::size_t kFileBlock = 64 * 1024;

// A server may count a mail's size a little differently from the bytes it sends, never by
// this much. A mail that grows past twice its listed size and 8 MiB more is a reply that does
// not end: its download stops rather than fill the disk while the mail program waits.
std::int64_t MostBytesOfMail(std::int64_t listedSize) {
  return 2 * std::max<std::int64_t>(listedSize, 0) + 8 * 1024 * 1024;
}

// Past twice its listed size and 64 KiB more, a mail has the reply time limit to end: a
// server that keeps trickling lines is cut off then, long before the bytes above are reached.
std::int64_t RenewingBytesOfMail(std::int64_t listedSize) {
  return 2 * std::max<std::int64_t>(listedSize, 0) + 64 * 1024;
}

}  // namespace

bool TFormVazireRevivo::DownloadAndDecodeAll() {
  auto& state = DownloadState(*this);
  const int count = static_cast<int>(MessageStore.size());
  if (count <= 0) return true;

  CurrentMessage = 0;
  for (TControl* control :
       {static_cast<TControl*>(ProgressBar1), static_cast<TControl*>(ProgressBar2),
        static_cast<TControl*>(Label_Mails), static_cast<TControl*>(Label_ProgressBar1),
        static_cast<TControl*>(Label_Progressbar2)}) {
    control->Show();
  }
  Label_Status->SetCaption(GetTextById(407));
  Label_Mails->SetCaption("0 / 0");
  ProgressBar1->SetRange(0, count);
  ProgressBar1->SetPosition(0);
  Application->ProcessMessages();

  const std::string downloadPath = WorkFile(kDownloadFileName);
  for (int i = 0; i < count; ++i) {
    // The mail's number on the server, as the listing gave it.
    Pop3Cli1->SetMsgNum(MessageStore[static_cast<std::size_t>(i)].Number);
    ProgressBar2->SetRange(0, Pop3Cli1->MsgSize());
    ProgressBar2->SetPosition(0);
    Label_Mails->SetCaption(std::to_string(i + 1) + " / " + std::to_string(count));
    Application->ProcessMessages();

    state.File = std::make_unique<TFileStream>(downloadPath, TFileMode::fmCreate);
    state.Pending.clear();
    state.WriteError.clear();
    state.Received = state.Shown = 0;
    state.MessageComplete = false;
    state.Oversized = false;
    state.MostBytes = MostBytesOfMail(MessageStore[static_cast<std::size_t>(i)].Size);
    state.RenewBytes = RenewingBytesOfMail(MessageStore[static_cast<std::size_t>(i)].Size);
    RetrievePending = true;
    LastReply.clear();
    RequestFinished = false;
    CurrentMessage = i;
    TNachricht& entry = MessageStore[static_cast<std::size_t>(i)];
    entry.Content.SetPosition(0);

    Pop3Cli1->Retr();
    AwaitReply();
    TLineWaitEnd end = TLineWaitEnd::lwDone;
    if (AbortRequested || state.ClearRequested) {
      end = TLineWaitEnd::lwAborted;
    } else if (TimedOut) {
      end = TLineWaitEnd::lwTimedOut;
    } else {
      end = AwaitLines(
          *this, [this, &state] { return !RetrievePending || state.Oversized; }, 20,
          TFirstLook::flBeforePause);
    }
    Memo_LOG->Lines().Add("RETR complete - a new Mail has been downloaded.");
    if (end == TLineWaitEnd::lwAborted || AbortRequested) {
      state.Pending.clear();
      state.File->SetSize(0);
      state.File.reset();
      state.Failure = TCheckFailure::cfAborted;
      return false;
    }
    if (state.Oversized) {
      // The rest of the reply would still come; the session is out of step and is dropped.
      Pop3Cli1->Abort();
      Memo_LOG->Lines().Add("Mail " + std::to_string(i + 1) + " is far larger than its listed " +
                            std::to_string(entry.Size) + " Bytes - download stopped.");
      state.Pending.clear();
      state.File.reset();
      std::remove(downloadPath.c_str());
      state.Failure = TCheckFailure::cfBroken;
      return false;
    }
    state.CloseFile();
    if (end == TLineWaitEnd::lwTimedOut) {
      std::remove(downloadPath.c_str());
      state.Failure = TCheckFailure::cfTimedOut;
      return false;
    }
    // Only a mail that arrived up to its terminating line, and reached the file whole, is
    // kept: a refused RETR, a lost session or a full disk leaves nothing half received.
    if (!state.MessageComplete || !state.WriteError.empty()) {
      if (!state.WriteError.empty()) {
        Memo_LOG->Lines().Add("Download file error: " + state.WriteError);
      }
      std::remove(downloadPath.c_str());
      state.Failure = TCheckFailure::cfBroken;
      return false;
    }

    TMemoryStream loaded;
    loaded.LoadFromFile(downloadPath);
    // Gone before the next mail creates it again: truncating a file that still holds data
    // makes the file system write it out to the disk at the close, once for every mail.
    std::remove(downloadPath.c_str());
    if (loaded.Size() > 0) {
      // Taken over, not copied: a second copy of a large mail would double the peak.
      entry.Content = std::move(loaded);
      entry.Content.SetPosition(0);
      Memo_LOG->Lines().Add("Decoding Mail now...");
      entry.Content.SetPosition(0);
      MimeDecode1->DecodeFromStream(entry.Content);
      entry.ToHeader = MimeDecode1->MsgTo();
      entry.FromHeader = MimeDecode1->MsgFrom();
      entry.SubjectHeader = MimeDecode1->MsgSubject();
      Memo_LOG->Lines().Add("Mail decoded. Information:");
      Memo_LOG->Lines().Add("From:" + entry.FromHeader);
      Memo_LOG->Lines().Add("Subjects:" + entry.SubjectHeader);
      Memo_LOG->Lines().Add("Attachments:");
      for (const auto& name : entry.Attachments) Memo_LOG->Lines().Add(name);
      entry.Content.SetPosition(0);
    }
    ProgressBar1->SetPosition(i + 1);
  }
  Image_RETR->Show();
  std::remove(downloadPath.c_str());
  return true;
}

void TFormVazireRevivo::Pop3Cli1MessageLine() {
  auto& state = DownloadState(*this);
  if (!state.File || state.Oversized) return;
  const std::string& line = Pop3Cli1->LastResponse();
  if (state.Received + static_cast<std::int64_t>(line.size()) > state.MostBytes) {
    state.Oversized = true;
    state.Pending.clear();
    return;
  }
  state.Pending += line;
  // A forced piece of a longer line is continued by the next piece, not ended here.
  if (Pop3Cli1->LastResponseComplete()) state.Pending += "\r\n";
  if (state.Pending.size() >= kFileBlock) state.FlushFile();

  state.Received += static_cast<std::int64_t>(line.size());
  if (state.Received <= state.RenewBytes) state.LastLineTick = GetTickCount();
  // The bar moves in steps of a hundredth, not at every line.
  const std::int64_t range = ProgressBar2->Max() - ProgressBar2->Min();
  if (range > 0 && (state.Received - state.Shown) * 100 >= range) {
    state.Shown = state.Received;
    ProgressBar2->SetPosition(static_cast<int>(std::min<std::int64_t>(state.Received, range)));
  }
}

void TFormVazireRevivo::Pop3Cli1MessageEnd() {
  DownloadState(*this).MessageComplete = true;
}

void TFormVazireRevivo::MimeDecode1PartHeaderLine() {
  auto name = AttachmentNameFromPartHeaderLine(MimeDecode1->LineText());
  if (!name) return;
  if (CurrentMessage < 0 || CurrentMessage >= static_cast<int>(MessageStore.size())) return;
  MessageStore[static_cast<std::size_t>(CurrentMessage)].Attachments.push_back(std::move(*name));
}
