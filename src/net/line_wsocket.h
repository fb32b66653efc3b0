#pragma once
// Line mode: with LineMode on, received bytes are collected and OnDataAvailable fires once
// per complete line (ended by LineEnd), during which RcvdCount, Receive and ReceiveText serve
// exactly that line. Optional echo and terminal-style editing (backspace, tab). With LineMode
// off the layer is transparent.

#include <cstdint>
#include <string>
#include <vector>

#include "net/tls_wsocket.h"

using TLineLimitEvent =
    std::function<void(TCustomWSocket* Sender, std::int32_t RcvdLength, bool& ClearData)>;

class TCustomLineWSocket : public TCustomTlsWSocket {
 public:
  TCustomLineWSocket();

  std::int32_t RcvdCount() override;

  bool LineMode() const { return lineMode_; }
  virtual void SetLineMode(bool value);
  const std::string& LineEnd() const { return lineEnd_; }
  void SetLineEnd(const std::string& value) { lineEnd_ = value; }
  std::int32_t LineLimit() const { return lineLimit_; }
  void SetLineLimit(std::int32_t value) { lineLimit_ = value; }
  bool LineEcho() const { return lineEcho_; }
  void SetLineEcho(bool value) { lineEcho_ = value; }
  bool LineEdit() const { return lineEdit_; }
  void SetLineEdit(bool value) { lineEdit_ = value; }
  // Bytes held in line mode and not yet delivered.
  std::int32_t BufferedCount() const { return rcvdCnt_; }

  TLineLimitEvent OnLineLimitExceeded;

 protected:
  void DispatchNotification(const TMessage& msg) override;
  bool FireDataAvailable(int error) override;
  void FireSessionClosed(int error) override;
  std::int32_t RecvRaw(void* buffer, std::int32_t size, int flags) override;
  virtual void FireLineLimitExceeded(std::int32_t rcvdLength, bool& clearData);
  virtual void ApplyLineEdit(std::int32_t& n);

  void GrowBuffer(std::int32_t capacity);
  void HandleLineResume();
  // Delivers every complete line held, searching for the first terminator from `searchFrom`;
  // checks the line limit when no further terminator is found.
  void DeliverLines(std::int32_t searchFrom);

  std::vector<std::uint8_t> rcvdPtr_;  // capacity = size(); a 0 byte follows the held bytes
  std::int32_t rcvdCnt_ = 0;
  std::string lineEnd_ = "\r\n";
  bool lineMode_ = false;
  std::int32_t lineLength_ = 0;
  std::int32_t lineLimit_ = 65536;
  bool lineClearData_ = false;
  bool lineEcho_ = false;
  bool lineEdit_ = false;
  bool delivering_ = false;  // DeliverLines is running
};
