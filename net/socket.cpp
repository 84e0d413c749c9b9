// net/socket.cpp — ZuSocket and ZuSocketAddress over POSIX sockets: name lookup with
// getaddrinfo, connects with a deadline, sends that finish, receives with a silence timeout.
// Every descriptor is close-on-exec: a program the game starts (a browser) never inherits one.
// Depends on: socket.h.
#include "socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::atomic<int> zu_socket_connectTimeoutMs{10000};
std::atomic<int> zu_socket_ioTimeoutMs{30000};

namespace {

constexpr int kPollSliceMs = 100; // a connect looks for Shutdown this often

sockaddr_in AddressOf(in_addr ip, int port) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr = ip;
  return a;
}

// Address building as bind and connect take it: an unresolved host leaves 0.0.0.0.
sockaddr_in Build(const String& host, int port) {
  in_addr ip;
  ip.s_addr = htonl(INADDR_ANY);
  zu_socket_Resolve(zu_socket_HostBytes(host), &ip);
  return AddressOf(ip, port);
}

// How long a blocking call may still wait for the deadline: -1 for no deadline, 0 once past it.
int LeftMs(const std::atomic<long long>& deadline) {
  const long long at = deadline.load();
  if (at == 0) return -1;
  const long long left = at - zu_socket_NowMs();
  return left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// Waits for `events` until the deadline or the I/O timeout, whichever comes first; true when
// they came (or an error or hang-up did, which the call after reports). No deadline: true at
// once, the socket's own timeouts bound the call.
bool ReadyBeforeDeadline(int sock, short events, const std::atomic<long long>& deadline) {
  for (;;) {
    const int left = LeftMs(deadline);
    if (left < 0) return true;
    if (left == 0) return false;
    pollfd p{sock, events, 0};
    const int n = poll(&p, 1, std::min(left, zu_socket_ioTimeoutMs.load()));
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

void SetTimeout(int sock, int option, int ms) {
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  setsockopt(sock, SOL_SOCKET, option, &tv, sizeof tv);
}

} // namespace

bool zu_socket_Resolve(const std::string& host, in_addr* out) {
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  const in_addr ip = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  if (ip.s_addr == htonl(INADDR_ANY)) return false;
  *out = ip;
  return true;
}

// ============================================================================
// [SECTION] ZuSocketAddress
// ============================================================================

ZuSocketAddress::ZuSocketAddress() { addr = AddressOf(in_addr{0}, 0); }

bool ZuSocketAddress::Set(const String& h, int p) {
  in_addr ip;
  ip.s_addr = htonl(INADDR_ANY);
  const bool found = zu_socket_Resolve(zu_socket_HostBytes(h), &ip);
  addr = AddressOf(ip, p);
  valid = false;
  return found;
}

void ZuSocketAddress::Set(const ZuSocketAddress* other) {
  if (other) addr = other->addr;
  valid = false;
}

void ZuSocketAddress::Set(const sockaddr_in& a) {
  addr = a;
  valid = false;
}

void ZuSocketAddress::Validate() {
  if (valid) return;
  char text[INET_ADDRSTRLEN] = {0};
  inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text); // its own buffer: thread-safe
  host = String(text);
  port = ntohs(addr.sin_port);
  valid = true;
}

// ============================================================================
// [SECTION] ZuSocket
// ============================================================================

ZuSocket::~ZuSocket() { Close(); }

bool ZuSocket::Open(int p) {
  if (sock >= 0 || p < 1) return false;
  if (p == SOCKET_STREAM || p == SOCKET_SERVER)
    sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  else if (p == SOCKET_DATAGRAM)
    sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (sock < 0) {
    sock = -1;
    return false;
  }
  if (p != SOCKET_DATAGRAM) {
    int one = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  const int io = zu_socket_ioTimeoutMs.load();
  SetTimeout(sock, SO_RCVTIMEO, io);
  SetTimeout(sock, SO_SNDTIMEO, io);
  protocol = p;
  shut = false;
  return true;
}

void ZuSocket::Close() {
  if (sock >= 0) close(sock);
  if (accepted >= 0) close(accepted); // taken by Accept and never handed over
  sock = accepted = -1;
}

void ZuSocket::Shutdown() {
  shut = true;
  if (sock >= 0) shutdown(sock, SHUT_RDWR);
}

bool ZuSocket::Bind(const String& host, int port) {
  const sockaddr_in a = Build(host, port);
  return sock >= 0 && bind(sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) >= 0;
}

bool ZuSocket::Connect(const String& host, int port) { return ConnectTo(zu_socket_HostBytes(host), port); }

bool ZuSocket::ConnectTo(const std::string& host, int port) {
  in_addr ip;
  if (sock < 0 || shut || port < 1 || port > 65535 || !zu_socket_Resolve(host, &ip)) return false;
  const sockaddr_in a = AddressOf(ip, port);
  const int flags = fcntl(sock, F_GETFL);
  fcntl(sock, F_SETFL, flags | O_NONBLOCK);
  bool ok = connect(sock, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  if (!ok && errno == EINPROGRESS) {
    using Clock = std::chrono::steady_clock;
    auto end = Clock::now() + std::chrono::milliseconds(zu_socket_connectTimeoutMs.load());
    const int left = LeftMs(deadlineMs);
    if (left >= 0) end = std::min(end, Clock::now() + std::chrono::milliseconds(left));
    while (!shut && Clock::now() < end) {
      pollfd p{sock, POLLOUT, 0};
      const int n = poll(&p, 1, kPollSliceMs);
      if (n < 0 && errno != EINTR) break;
      if (n <= 0) continue;
      int error = 0;
      socklen_t length = sizeof error;
      ok = getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
      break;
    }
  }
  fcntl(sock, F_SETFL, flags);
  return ok && !shut;
}

bool ZuSocket::Listen(int backlog) { return sock >= 0 && listen(sock, backlog) >= 0; }

bool ZuSocket::Accept() {
  if (sock < 0) return false;
  if (accepted >= 0) close(accepted); // never handed over: nobody else can close it
  do accepted = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
  while (accepted < 0 && errno == EINTR);
  return accepted >= 0;
}

ZuSocket* ZuSocket::Accepted() {
  if (accepted < 0) return nullptr;
  ZuSocket* s = new ZuSocket(accepted, protocol);
  accepted = -1; // now the new socket's to close
  return s;
}

int ZuSocket::SendBytes(const unsigned char* bytes, int count) {
  if (sock < 0 || shut || count < 0) return -1;
  // With a deadline each piece waits for room first and never blocks in the send itself.
  const int flags = MSG_NOSIGNAL | (deadlineMs.load() ? MSG_DONTWAIT : 0);
  int sent = 0;
  while (sent < count) {
    if (!ReadyBeforeDeadline(sock, POLLOUT, deadlineMs) || shut) return -1;
    const ssize_t n = send(sock, bytes + sent, static_cast<size_t>(count - sent), flags);
    if (n < 0 && (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && (flags & MSG_DONTWAIT))))
      continue;
    if (n <= 0) return -1;
    sent += static_cast<int>(n);
  }
  return sent;
}

int ZuSocket::ReceiveBytes(unsigned char* bytes, int count) {
  if (sock < 0 || shut || count < 0) return -1;
  if (count == 0) return 0; // a receive of nothing would wait for data it cannot take
  for (;;) {
    if (!ReadyBeforeDeadline(sock, POLLIN, deadlineMs)) return -1;
    const ssize_t n = recv(sock, bytes, static_cast<size_t>(count), deadlineMs.load() ? MSG_DONTWAIT : 0);
    if (n < 0 && (errno == EINTR || (errno == EAGAIN && deadlineMs.load()))) continue;
    return n < 0 ? -1 : static_cast<int>(n);
  }
}

int ZuSocket::SendTo(ZuDataBuffer* buffer, int offset, int count, ZuSocketAddress* address) {
  zu_socket_Clip(buffer, offset, count);
  if (sock < 0 || !buffer || !address) return -1;
  const ssize_t n = sendto(sock, buffer->data + offset, static_cast<size_t>(count), MSG_NOSIGNAL,
                           reinterpret_cast<const sockaddr*>(&address->addr), sizeof address->addr);
  return n < 0 ? -1 : static_cast<int>(n);
}

int ZuSocket::ReceiveFrom(ZuDataBuffer* buffer, int offset, int count, ZuSocketAddress* address) {
  zu_socket_Clip(buffer, offset, count);
  if (sock < 0 || !buffer) return -1;
  sockaddr_in from;
  socklen_t length = sizeof from;
  const ssize_t n = recvfrom(sock, buffer->data + offset, static_cast<size_t>(count), 0,
                             reinterpret_cast<sockaddr*>(&from), &length);
  if (n >= 0 && address) address->Set(from);
  return n < 0 ? -1 : static_cast<int>(n);
}

void ZuSocket::GetLocalAddress(ZuSocketAddress* address) {
  sockaddr_in a;
  socklen_t length = sizeof a;
  if (address && sock >= 0 && getsockname(sock, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    address->Set(a);
}

void ZuSocket::GetRemoteAddress(ZuSocketAddress* address) {
  sockaddr_in a;
  socklen_t length = sizeof a;
  if (address && sock >= 0 && getpeername(sock, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    address->Set(a);
}
