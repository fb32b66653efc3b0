#pragma once
// A TLS server for socket tests: certificates made in the process, and a peer that runs a
// script on one accepted connection in a thread of its own, with blocking calls.

#include <openssl/ssl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

// A key and its certificate, PEM encoded.
struct TTestIdentity {
  std::string certPem;
  std::string keyPem;
};

struct TCertRequest {
  std::string commonName = "test server";
  std::vector<std::string> dnsNames = {"localhost"};
  std::vector<std::string> ipAddresses = {"127.0.0.1"};
  long validFromSeconds = -3600;  // relative to now
  long validToSeconds = 86400;
};

// A test authority that signs server certificates.
class TTestAuthority {
 public:
  explicit TTestAuthority(const std::string& name = "Brindlecap Test Authority");
  ~TTestAuthority();
  TTestAuthority(const TTestAuthority&) = delete;
  TTestAuthority& operator=(const TTestAuthority&) = delete;
  const std::string& CertPem() const { return certPem_; }
  TTestIdentity Issue(const TCertRequest& request) const;

 private:
  EVP_PKEY* key_ = nullptr;
  X509* cert_ = nullptr;
  std::string certPem_;
};

// A certificate signed by its own key.
TTestIdentity SelfSigned(const TCertRequest& request);

// Writes `text` to a new file in a fresh temporary folder; the folder goes with the object.
class TTempFile {
 public:
  explicit TTempFile(const std::string& text);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

// One accepted connection, blocking, as the script sees it.
class TTlsPeer {
 public:
  TTlsPeer(int fd, const TTestIdentity& identity, int maxVersion);
  ~TTlsPeer();
  int Fd() const { return fd_; }
  // Plain text before (or without) the handshake.
  void SendPlain(const std::string& text);
  std::string ReadPlainLine();
  // The server's side of the handshake; false when it failed.
  bool Accept();
  void Send(const std::string& data);
  // Until `n` bytes came, or the peer closed or failed.
  std::string Read(std::size_t n);
  std::string ReadLine();
  // Everything until the peer's close.
  std::string ReadToEnd();
  // Sends the close alert, then closes the connection.
  void Close();

 private:
  int fd_;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
};

// Listens on 127.0.0.1; Serve runs `script` on the first connection in a thread.
class TTlsTestServer {
 public:
  explicit TTlsTestServer(TTestIdentity identity, int maxVersion = 0);
  ~TTlsTestServer();
  std::uint16_t Port() const { return port_; }
  void Serve(std::function<void(TTlsPeer&)> script);
  // Waits for the script's end.
  void Join();

 private:
  TTestIdentity identity_;
  int maxVersion_;
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace nettest
