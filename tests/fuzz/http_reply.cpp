// tests/fuzz/http_reply.cpp — libFuzzer harness for the reply side of c_HttpRequest: the input's
// first two bytes seed how the reply is cut into receives, the rest is the reply, handed out by
// the fake socket (fake_socket.cpp) through the real asynchronous socket layer. The result is
// checked against the rules the client keeps, whatever the cut: a reply whose header (status
// line "HTTP/... code text", header lines, a blank line) fits kMaxHeaderBytes and whose body
// fits kMaxBodyBytes, closed by the peer, gives the code, the header's lines (trimmed, without
// blank ones) and the body as UTF-8; anything else gives -1 and no text; the completion comes
// exactly once; the request sent is the one built.
// Depends on: net (c_HttpRequest, c_Socket, without net/socket.cpp), runtime, fake_socket.h,
// fuzz_support.h.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "net/http.h"
#include "tests/fuzz/fake_socket.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class Done : public Object, public c_IOnHttpRequestComplete {
public:
  int calls = 0;
  void p_OnHttpRequestComplete(c_HttpRequest*) override { ++calls; }
};

struct Outcome {
  int status = -1;
  std::string body;
  bool clean = false;
  std::vector<std::string> lines; // the header's lines, trimmed, the blank ones left out
};

std::string Trim(const std::string& s) {
  std::size_t from = 0, to = s.size();
  while (from < to && static_cast<unsigned char>(s[from]) < 33) ++from;
  while (to > from && static_cast<unsigned char>(s[to - 1]) < 33) --to;
  return s.substr(from, to - from);
}

// The reply as the client must read it when it arrives whole.
Outcome Expected(const std::string& r) {
  std::vector<std::string> lines;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (r[i] != '\n') continue;
    const std::string line = Trim(r.substr(lineStart, i - lineStart));
    lineStart = i + 1;
    if (!line.empty()) {
      lines.push_back(line);
      continue;
    }
    std::string status = lines.empty() ? std::string() : lines[0];
    if (i + 1 > static_cast<std::size_t>(c_HttpRequest::kMaxHeaderBytes) || status.empty()) return {};
    for (char& c : status)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const std::size_t sp1 = status.find(' '),
                      sp2 = sp1 == std::string::npos ? sp1 : status.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || status.compare(0, 5, "HTTP/") != 0) return {};
    const std::string code = status.substr(sp1 + 1, sp2 - sp1 - 1);
    if (r.size() - lineStart > static_cast<std::size_t>(c_HttpRequest::kMaxBodyBytes)) return {};
    return {String(code.data(), static_cast<int>(code.size())).ToInt(), r.substr(lineStart), true, lines};
  }
  return {}; // the header never ended
}

// Receive sizes from the seed: mostly small pieces, some large, at most 64 of them (the rest
// in one); never 0, which would read as the end.
std::vector<std::size_t> Split(std::uint32_t seed, std::size_t total) {
  InputRandom rng(seed * 2654435761u + 1);
  std::vector<std::size_t> split;
  for (std::size_t sum = 0; sum < total;) {
    std::size_t n = total;
    if (split.size() < 64) {
      const std::uint32_t kind = rng.Below(8);
      n = 1 + (kind < 4 ? rng.Below(16) : kind < 6 ? rng.Below(512) : kind < 7 ? rng.Below(20000) : total);
    }
    split.push_back(n);
    sum += n;
  }
  return split;
}

// Delivers completions until `done` holds; false after 10 seconds.
template <class Pred> bool Until(Pred done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    zu_asyncevent_UpdateAsyncEvents();
    std::this_thread::yield();
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zu_asyncevent_InitGlobals();
  gc_init2();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  g_fakePeer = FakePeer();
  g_fakePeer.reply.assign(reinterpret_cast<const char*>(data) + 2, size - 2);
  g_fakePeer.split = Split(data[0] | data[1] << 8, g_fakePeer.reply.size());
  const Outcome want = Expected(g_fakePeer.reply);

  Done* done = new Done;
  c_HttpRequest* request = (new c_HttpRequest)->m_new();
  request->p_Open(String("GET"), String("http://127.0.0.1/fuzz?x=1#frag"), done);
  request->p_Send();
  FUZZ_CHECK(Until([done] { return done->calls > 0; }), "no completion in 10 s");
  // Every operation of the socket completed and its workers gone: then nothing can come later.
  c_AsyncQueue* receives = request->socket->receiveQueue;
  c_AsyncQueue* sends = request->socket->sendQueue;
  FUZZ_CHECK(Until([=] {
               return receives->Idle() && sends->Idle() && !receives->IsRunning() && !sends->IsRunning();
             }),
             "the socket's operations did not end");
  zu_asyncevent_UpdateAsyncEvents();

  const std::string got = request->p_ResponseText().ToUtf8();
  const std::string wantText =
      want.clean ? String::FromUtf8(want.body.data(), static_cast<int>(want.body.size())).ToUtf8()
                 : std::string();
  FUZZ_CHECK(done->calls == 1, "%d completions", done->calls);
  FUZZ_CHECK(request->p_Status() == want.status, "status %d, the reply says %d (%zu bytes in %zu reads)",
             request->p_Status(), want.status, g_fakePeer.reply.size(), g_fakePeer.reads);
  FUZZ_CHECK(got == wantText, "a body of %zu bytes, the reply holds %zu (%zu reads)", got.size(),
             wantText.size(), g_fakePeer.reads);
  FUZZ_CHECK(g_fakePeer.connects == 1, "%d connects", g_fakePeer.connects);
  if (want.clean) {
    FUZZ_CHECK(request->header->p_Length2() == static_cast<int>(want.lines.size()),
               "%d header lines, not %zu", request->header->p_Length2(), want.lines.size());
    for (std::size_t i = 0; i < want.lines.size(); ++i)
      FUZZ_CHECK(request->header->p_Get(static_cast<int>(i)) ==
                     String(want.lines[i].data(), static_cast<int>(want.lines[i].size())),
                 "header line %zu is not the reply's", i);
  }
  // The send may lose the race with a reply that ends the request first.
  FUZZ_CHECK(g_fakePeer.request.empty() ||
                 g_fakePeer.request == "GET /fuzz?x=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n",
             "the request sent: %s", g_fakePeer.request.c_str());

  // The socket leaves the update's sources; the request and its socket are garbage now.
  zu_asyncevent__sources->Clear();
  CollectEverything();
  return 0;
}
