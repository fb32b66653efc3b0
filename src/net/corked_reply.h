#pragma once
// Holds back partly filled segments of a connection while one reply is written in several
// sends (a status line, the mail, its terminating line): the peer then gets the reply in full
// segments instead of a small one for each send, and wakes once for it rather than once per
// piece. Every send still hands its bytes to the system at once; the last partial segment
// leaves when the hold ends.

class TCustomWSocket;

class TCorkedReply {
 public:
  explicit TCorkedReply(TCustomWSocket& socket);
  ~TCorkedReply();
  TCorkedReply(const TCorkedReply&) = delete;
  TCorkedReply& operator=(const TCorkedReply&) = delete;

 private:
  TCustomWSocket& socket_;
  int handle_;
};
