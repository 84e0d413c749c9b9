// tests/fuzz/fake_socket.cpp — ZuSocket without the network, for the HTTP reply harness: it
// replaces net/socket.cpp at link time (the harness links the other net sources itself). Only
// what the asynchronous socket and the HTTP client call is here; the clipping and host bytes
// behave as net/socket.cpp documents them.
// Depends on: net/socket.h, fake_socket.h.
#include "tests/fuzz/fake_socket.h"

#include <algorithm>
#include <cstring>

#include "net/socket.h"

FakePeer g_fakePeer;

std::atomic<int> zu_socket_connectTimeoutMs{10000};
std::atomic<int> zu_socket_ioTimeoutMs{30000};

namespace {
constexpr int kFakeDescriptor = 1 << 20; // no real descriptor has this number
}

ZuSocket::~ZuSocket() { Close(); }

bool ZuSocket::Open(int p) {
  if (sock >= 0 || p != SOCKET_STREAM) return false;
  sock = kFakeDescriptor;
  protocol = p;
  shut = false;
  return true;
}

void ZuSocket::Close() { sock = -1; }

void ZuSocket::Shutdown() { shut = true; }

bool ZuSocket::ConnectTo(const std::string& host, int port) {
  if (sock < 0 || shut || host != "127.0.0.1" || port != 80) return false;
  ++g_fakePeer.connects;
  return true;
}

int ZuSocket::Send(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  if (sock < 0 || shut) return -1;
  g_fakePeer.request.append(reinterpret_cast<const char*>(buffer->data) + offset, count);
  return count;
}

int ZuSocket::Receive(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  if (sock < 0 || shut) return -1;
  if (count == 0) return 0;
  FakePeer& peer = g_fakePeer;
  const std::size_t piece = peer.reads < peer.split.size() ? peer.split[peer.reads] : peer.reply.size();
  ++peer.reads;
  const std::size_t n = std::min({piece, static_cast<std::size_t>(count), peer.reply.size() - peer.sent});
  std::memcpy(buffer->data + offset, peer.reply.data() + peer.sent, n);
  peer.sent += n;
  return static_cast<int>(n);
}
