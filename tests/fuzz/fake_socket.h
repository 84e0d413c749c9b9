// tests/fuzz/fake_socket.h — a ZuSocket without descriptors for the HTTP harnesses: each socket is one
// connection to a scripted peer that cuts its reply into receives, and can refuse, fail, stall or answer
// late.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "net/socket.h"

std::atomic<int> zu_socket_connectTimeoutMs{10000};
std::atomic<int> zu_socket_ioTimeoutMs{30000};

namespace fake {

// What a peer does wrong, at its `at`-th receive (1-based) unless the exchange ended before.
enum Fault { kNone, kRefuse, kError, kStall, kLate };

// One connection, touched by its socket's worker threads only while the request runs and by the
// main thread once they are idle.
struct Connection {
  std::mutex lock;
  std::string sent;               // the bytes the client sent, in order (under the lock)
  std::atomic<bool> asked{false}; // they hold a whole request: its header and the body it announces
  std::size_t replied = 0;
  std::uint32_t seed = 1;
  int reads = 0;
  int attempts = 0; // connects tried to a host (a refused request tries none)
  bool connected = false, faulted = false;
  // The reply in pieces of mostly small sizes, never 0 (the end), all the rest after 64.
  std::size_t Piece(std::size_t left) {
    if (++reads > 64) return left;
    seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
    const std::uint32_t kind = seed % 8, r = seed >> 3;
    return 1 + (kind < 4 ? r % 16 : kind < 6 ? r % 512 : kind < 7 ? r % 20000 : left);
  }
};

constexpr int kConnections = 4, kFirstHandle = 1 << 20; // no real descriptor has these numbers

struct Script {
  std::string reply;
  std::uint32_t seed = 1;
  Fault fault = kNone;
  int at = 1;
  bool anyPeer = false; // every host and port connects, not only 127.0.0.1:80
  int opened = 0;       // sockets opened, on the main thread
  Connection connections[kConnections];
  int Attempts() const {
    int n = 0;
    for (const Connection& c : connections) n += c.attempts;
    return n;
  }
} script;

inline void Reset(const std::string& reply, std::uint32_t seed, Fault fault, int at) {
  script.~Script();
  new (&script) Script();
  script.reply = reply, script.seed = seed, script.fault = fault, script.at = at;
  for (int i = 0; i < kConnections; ++i) script.connections[i].seed = seed + 977u * i;
}

inline Connection* Of(int sock) {
  const int i = sock - kFirstHandle;
  return i >= 0 && i < kConnections ? &script.connections[i] : nullptr;
}

// A whole request: the header up to its blank line and as many body bytes as it announces.
inline bool Whole(const std::string& sent) {
  const std::size_t end = sent.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  const std::size_t length = sent.find("\r\nContent-Length: ");
  const std::size_t body = length < end ? std::strtoul(sent.c_str() + length + 18, nullptr, 10) : 0;
  return sent.size() >= end + 4 + body;
}

// Waits (bounded by the harness's overall limit) until the socket is shut down or, with `pastDeadline`,
// its deadline has passed.
inline void Wait(const ZuSocket* s, bool pastDeadline) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const long long deadline = s->deadlineMs.load();
    if (s->shut || std::chrono::steady_clock::now() > end) return;
    if (deadline && zu_socket_NowMs() > deadline) return;
    if (!deadline && pastDeadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

} // namespace fake

ZuSocket::~ZuSocket() { Close(); }
bool ZuSocket::Open(int p) {
  if (sock >= 0 || p != SOCKET_STREAM || fake::script.opened >= fake::kConnections) return false;
  sock = fake::kFirstHandle + fake::script.opened++, protocol = p, shut = false;
  return true;
}
void ZuSocket::Close() { sock = -1; }
void ZuSocket::Shutdown() { shut = true; }
bool ZuSocket::ConnectTo(const std::string& host, int port) {
  fake::Connection* c = fake::Of(sock);
  if (!c || shut || host.empty()) return false;
  ++c->attempts;
  const bool reached = fake::script.anyPeer || (host == "127.0.0.1" && port == 80);
  if (!reached || fake::script.fault == fake::kRefuse) return false;
  return c->connected = true;
}
int ZuSocket::SendBytes(const unsigned char* bytes, int count) {
  fake::Connection* c = fake::Of(sock);
  if (!c || shut || count < 0) return -1;
  std::lock_guard<std::mutex> hold(c->lock);
  c->sent.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
  if (fake::Whole(c->sent)) c->asked = true;
  return count;
}
int ZuSocket::ReceiveBytes(unsigned char* bytes, int count) {
  fake::Connection* c = fake::Of(sock);
  if (!c || shut || count < 0) return -1;
  if (count == 0) return 0;
  // Like a server, the peer answers once it has read the request (or gives up when shut down).
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       !c->asked && !shut && std::chrono::steady_clock::now() < end;)
    std::this_thread::yield();
  const std::size_t left = fake::script.reply.size() - c->replied;
  const std::size_t n = std::min({c->Piece(left), std::size_t(count), left});
  if (c->reads == fake::script.at && fake::script.fault >= fake::kError) {
    c->faulted = true;
    if (fake::script.fault == fake::kError) return -1;
    fake::Wait(this, fake::script.fault == fake::kLate);
    if (fake::script.fault == fake::kStall || shut) return -1;
  }
  std::memcpy(bytes, fake::script.reply.data() + c->replied, n);
  c->replied += n;
  return static_cast<int>(n);
}
