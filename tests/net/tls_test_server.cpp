#include "tls_test_server.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

#include "net_test_util.h"

namespace nettest {

namespace {

std::atomic<long> nextSerial{1000};

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext == nullptr) throw std::runtime_error("bad certificate extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for `key`, signed by `signKey` in the name of `issuer` (itself when null).
X509* BuildCertificate(EVP_PKEY* key, const TCertRequest& request, X509* issuer, EVP_PKEY* signKey,
                       bool authority) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), nextSerial++);
  X509_gmtime_adj(X509_getm_notBefore(cert), request.validFromSeconds);
  X509_gmtime_adj(X509_getm_notAfter(cert), request.validToSeconds);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(request.commonName.c_str()), -1,
                             -1, 0);
  X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer != nullptr ? issuer : cert;
  AddExtension(cert, signer, NID_subject_key_identifier, "hash");
  if (authority) {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert, signer, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert, signer, NID_ext_key_usage, "serverAuth");
    std::string names;
    for (const std::string& dns : request.dnsNames)
      names += (names.empty() ? "" : ",") + ("DNS:" + dns);
    for (const std::string& ip : request.ipAddresses)
      names += (names.empty() ? "" : ",") + ("IP:" + ip);
    if (!names.empty()) AddExtension(cert, signer, NID_subject_alt_name, names.c_str());
  }
  X509_sign(cert, signKey, EVP_sha256());
  return cert;
}

std::string Pem(X509* cert) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, cert);
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<std::size_t>(n));
  BIO_free(bio);
  return text;
}

std::string Pem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<std::size_t>(n));
  BIO_free(bio);
  return text;
}

}  // namespace

TTestAuthority::TTestAuthority(const std::string& name) {
  key_ = EVP_EC_gen("P-256");
  TCertRequest request;
  request.commonName = name;
  cert_ = BuildCertificate(key_, request, nullptr, key_, true);
  certPem_ = Pem(cert_);
}

TTestAuthority::~TTestAuthority() {
  X509_free(cert_);
  EVP_PKEY_free(key_);
}

TTestIdentity TTestAuthority::Issue(const TCertRequest& request) const {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = BuildCertificate(key, request, cert_, key_, false);
  TTestIdentity identity{Pem(cert), Pem(key)};
  X509_free(cert);
  EVP_PKEY_free(key);
  return identity;
}

TTestIdentity SelfSigned(const TCertRequest& request) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = BuildCertificate(key, request, nullptr, key, false);
  TTestIdentity identity{Pem(cert), Pem(key)};
  X509_free(cert);
  EVP_PKEY_free(key);
  return identity;
}

TTempFile::TTempFile(const std::string& text) {
  char dirTemplate[] = "/tmp/brindlecap-tls-XXXXXX";
  if (mkdtemp(dirTemplate) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = dirTemplate;
  path_ = dir_ + "/trusted.pem";
  std::ofstream(path_) << text;
}

TTempFile::~TTempFile() {
  unlink(path_.c_str());
  rmdir(dir_.c_str());
}

// --- the peer ------------------------------------------------------------------------------

TTlsPeer::TTlsPeer(int fd, const TTestIdentity& identity, int maxVersion) : fd_(fd) {
  timeval tv{10, 0};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  ctx_ = SSL_CTX_new(TLS_server_method());
  if (maxVersion != 0) {
    SSL_CTX_set_security_level(ctx_, 0);
    SSL_CTX_set_min_proto_version(ctx_, 0);
    SSL_CTX_set_max_proto_version(ctx_, maxVersion);
  }
  BIO* certBio =
      BIO_new_mem_buf(identity.certPem.data(), static_cast<int>(identity.certPem.size()));
  X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  BIO_free(certBio);
  BIO* keyBio = BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  BIO_free(keyBio);
  SSL_CTX_use_certificate(ctx_, cert);
  SSL_CTX_use_PrivateKey(ctx_, key);
  X509_free(cert);
  EVP_PKEY_free(key);
}

TTlsPeer::~TTlsPeer() {
  if (ssl_ != nullptr) SSL_free(ssl_);
  SSL_CTX_free(ctx_);
  if (fd_ >= 0) close(fd_);
}

void TTlsPeer::SendPlain(const std::string& text) {
  SendAll(fd_, text);
}

std::string TTlsPeer::ReadPlainLine() {
  // One byte at a time: what follows the line (a handshake) stays unread.
  std::string line;
  char c;
  while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
    if (recv(fd_, &c, 1, 0) != 1) break;
    line += c;
  }
  return line;
}

bool TTlsPeer::Accept() {
  ssl_ = SSL_new(ctx_);
  SSL_set_fd(ssl_, fd_);
  return SSL_accept(ssl_) == 1;
}

void TTlsPeer::Send(const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    std::size_t written = 0;
    if (SSL_write_ex(ssl_, data.data() + done, data.size() - done, &written) != 1) return;
    done += written;
  }
}

std::string TTlsPeer::Read(std::size_t n) {
  std::string out;
  char buf[16384];
  while (out.size() < n) {
    std::size_t got = 0;
    if (SSL_read_ex(ssl_, buf, std::min(sizeof buf, n - out.size()), &got) != 1) break;
    out.append(buf, got);
  }
  return out;
}

std::string TTlsPeer::ReadLine() {
  std::string line;
  char c;
  std::size_t got = 0;
  while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
    if (SSL_read_ex(ssl_, &c, 1, &got) != 1) break;
    line += c;
  }
  return line;
}

std::string TTlsPeer::ReadToEnd() {
  std::string out;
  char buf[16384];
  std::size_t got = 0;
  while (SSL_read_ex(ssl_, buf, sizeof buf, &got) == 1) out.append(buf, got);
  return out;
}

void TTlsPeer::Close() {
  if (ssl_ != nullptr) SSL_shutdown(ssl_);
  shutdown(fd_, SHUT_WR);
}

// --- the server ----------------------------------------------------------------------------

TTlsTestServer::TTlsTestServer(TTestIdentity identity, int maxVersion)
    : identity_(std::move(identity)), maxVersion_(maxVersion) {
  signal(SIGPIPE, SIG_IGN);
  listenFd_ = PlainListen(port_);
}

TTlsTestServer::~TTlsTestServer() {
  Join();
  if (listenFd_ >= 0) close(listenFd_);
}

void TTlsTestServer::Serve(std::function<void(TTlsPeer&)> script) {
  thread_ = std::thread([this, script = std::move(script)] {
    int fd = PlainAccept(listenFd_);
    if (fd < 0) return;
    TTlsPeer peer(fd, identity_, maxVersion_);
    script(peer);
  });
}

void TTlsTestServer::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace nettest
