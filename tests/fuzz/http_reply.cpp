// tests/fuzz/http_reply.cpp — c_HttpRequest reading any reply through a fake ZuSocket that cuts it
// into receives as the input's first two bytes say: the status and body Expected() gives, or -1
// and no text; one completion.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "net/http.h"
#include "net/socket.h"
#include "tests/fuzz/fuzz_support.h"

std::atomic<int> zu_socket_connectTimeoutMs{10000};
std::atomic<int> zu_socket_ioTimeoutMs{30000};

namespace {

// The peer: the reply in pieces of mostly small sizes, never 0 (the end), all the rest after 64.
struct Peer {
  std::string reply;
  std::size_t sent = 0;
  std::uint32_t seed = 1;
  int connects = 0, reads = 0;
  std::size_t Piece() {
    if (++reads > 64) return reply.size();
    seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
    const std::uint32_t kind = seed % 8, r = seed >> 3;
    return 1 + (kind < 4 ? r % 16 : kind < 6 ? r % 512 : kind < 7 ? r % 20000 : reply.size());
  }
} peer;

struct Done : Object, c_IOnHttpRequestComplete {
  int calls = 0;
  void p_OnHttpRequestComplete(c_HttpRequest*) override { ++calls; }
};

std::string Trim(const std::string& s) {
  std::size_t from = 0, to = s.size();
  while (from < to && static_cast<unsigned char>(s[from]) < 33) ++from;
  while (to > from && static_cast<unsigned char>(s[to - 1]) < 33) --to;
  return s.substr(from, to - from);
}

// The status of a reply read whole, and its body; or -1. The header ends at the first blank line.
int Expected(const std::string& r, std::string& body) {
  std::string status;
  for (std::size_t from = 0, i = r.find('\n'); i < std::size_t{c_HttpRequest::kMaxHeaderBytes};
       from = i + 1, i = r.find('\n', from)) {
    const std::string line = Trim(r.substr(from, i - from));
    if (from == 0) status = line;
    if (!line.empty()) continue;
    for (char& c : status) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const std::size_t sp1 = status.find(' '), sp2 = status.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos || status.compare(0, 5, "HTTP/") != 0) return -1;
    body = r.substr(i + 1);
    return String(status.data() + sp1 + 1, static_cast<int>(sp2 - sp1 - 1)).ToInt();
  }
  return -1;
}

} // namespace

ZuSocket::~ZuSocket() { Close(); }
bool ZuSocket::Open(int p) {
  if (sock >= 0 || p != SOCKET_STREAM) return false;
  sock = 1 << 20, protocol = p, shut = false; // no real descriptor has this number
  return true;
}
void ZuSocket::Close() { sock = -1; }
void ZuSocket::Shutdown() { shut = true; }
bool ZuSocket::ConnectTo(const std::string& host, int port) {
  return sock >= 0 && !shut && host == "127.0.0.1" && port == 80 && ++peer.connects;
}
int ZuSocket::Send(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  return sock < 0 || shut ? -1 : count;
}
int ZuSocket::Receive(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  if (sock < 0 || shut) return -1;
  const std::size_t n =
      count ? std::min({peer.Piece(), std::size_t(count), peer.reply.size() - peer.sent}) : 0;
  std::memcpy(buffer->data + offset, peer.reply.data() + peer.sent, n);
  peer.sent += n;
  return static_cast<int>(n);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zu_asyncevent_InitGlobals();
  gc_init2();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  peer = Peer();
  peer.reply.assign(reinterpret_cast<const char*>(data) + 2, size - 2);
  peer.seed = (data[0] | data[1] << 8) * 2654435761u + 1;
  std::string body;
  const int status = Expected(peer.reply, body);

  Done* done = new Done;
  c_HttpRequest* request = (new c_HttpRequest)->m_new();
  request->p_Open(String("GET"), String("http://127.0.0.1/fuzz?x=1#frag"), done);
  request->p_Send();
  // Until the request and its socket's operations are over, their workers gone: nothing can follow.
  c_AsyncQueue *receives = request->socket->receiveQueue, *sends = request->socket->sendQueue;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (
      !(done->calls && receives->Idle() && sends->Idle() && !receives->IsRunning() && !sends->IsRunning())) {
    FUZZ_CHECK(std::chrono::steady_clock::now() < end, "not over in 10 s: %d completions", done->calls);
    zu_asyncevent_UpdateAsyncEvents();
    std::this_thread::yield();
  }
  zu_asyncevent_UpdateAsyncEvents();

  const String text = String::FromUtf8(body.data(), static_cast<int>(body.size()));
  FUZZ_CHECK(done->calls == 1 && peer.connects == 1 && request->p_Status() == status &&
                 request->p_ResponseText() == text,
             "%d completions, %d connects, status %d of %d, %d characters of %d (%zu bytes in %d reads)",
             done->calls, peer.connects, request->p_Status(), status, request->p_ResponseText().Length(),
             text.Length(), peer.reply.size(), peer.reads);

  zu_asyncevent__sources->Clear(); // the socket leaves the update's sources: all is garbage now
  CollectEverything();
  return 0;
}
