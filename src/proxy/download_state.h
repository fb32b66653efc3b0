#pragma once
// What the listing and the download of a mailbox check have seen, and the wait for the rest
// of a multi-line reply. Shared by the store preparation, the download and the mailbox
// commands.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "platform/streams.h"
#include "proxy/main_form.h"

// Why a mailbox check could not be completed.
enum class TCheckFailure {
  cfNone,
  cfAborted,   // the user pressed Cancel
  cfTimedOut,  // no line within the reply time limit
  cfBroken     // a refusal, a lost session, a listing or mail cut short, a write error
};

struct TFormVazireRevivo::TDownloadState {
  TCheckFailure Failure = TCheckFailure::cfNone;
  // The store is being built or a mail is being sent from it (nested uses are counted), and
  // a request to empty it came meanwhile (the mail program's connection ended).
  int StoreUsers = 0;
  bool ClearRequested = false;
  // The listing's and the current mail's terminating line arrived.
  bool ListingComplete = false;
  // The server numbers the listing has given so far.
  std::unordered_set<std::int32_t> ListedNumbers;
  bool MessageComplete = false;
  // The current mail has grown past the most bytes its listed size allows.
  bool Oversized = false;
  std::int64_t MostBytes = 0;
  // Bytes of the current mail up to which each line renews the time limit.
  std::int64_t RenewBytes = 0;
  // When the last line of the running multi-line reply arrived that brought something the
  // check needs: lines past what the server announced do not hold the time limit off, so a
  // reply that never ends is still cut off by it.
  std::uint32_t LastLineTick = 0;

  // The download file of the current mail, written in blocks.
  std::unique_ptr<TFileStream> File;
  std::string Pending;
  std::string WriteError;
  // Bytes of the current mail and what the progress bar shows of them.
  std::int64_t Received = 0;
  std::int64_t Shown = 0;

  void FlushFile();
  void CloseFile();
};

// The download state of the window, created on first use.
TFormVazireRevivo::TDownloadState& DownloadState(TFormVazireRevivo& form);

enum class TLineWaitEnd { lwDone, lwAborted, lwTimedOut };
// Whether a wait pauses once before it first looks (the listing's) or looks first (the
// download's, whose mail has often arrived whole with its status line).
enum class TFirstLook { flAfterPause, flBeforePause };

// Repeats { pause `stepMs`; process pending messages } until `done` holds. The user's Cancel
// ends it, and so does the end of the mail program's connection; the reply time limit
// (Timer_TimeOut's interval), counted from the last line received, ends it too and aborts the
// client. Closing the window ends it at once.
TLineWaitEnd AwaitLines(TFormVazireRevivo& form, const std::function<bool()>& done,
                        std::uint32_t stepMs, TFirstLook firstLook);

// A line of exactly 100 dashes for the results memo.
const std::string& DashLine();
