// tests/fuzz/http_reply.cpp — c_HttpRequest reading any reply through the fake socket: input bytes 0-1
// seed the cutting into receives, byte 2 picks what goes wrong (a refused connect, a failed read, a stall
// to the deadline, a late answer), a body padded to or past the cap, and the request sent again on a new
// connection; the status and body Expected() gives, or -1 and no text; one completion a send.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "net/http.h"
#include "tests/fuzz/fake_socket.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

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

// Where the header of a reply read whole ends (past its blank line) and its status; or -1. The header
// ends at the first blank line and may not be longer than the cap.
int Expected(const std::string& r, std::size_t& bodyAt) {
  std::string status;
  for (std::size_t from = 0, i = r.find('\n'); i < std::size_t{c_HttpRequest::kMaxHeaderBytes};
       from = i + 1, i = r.find('\n', from)) {
    const std::string line = Trim(r.substr(from, i - from));
    if (from == 0) status = line;
    if (!line.empty()) continue;
    for (char& c : status) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const std::size_t sp1 = status.find(' '), sp2 = status.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos || status.compare(0, 5, "HTTP/") != 0) return -1;
    bodyAt = i + 1;
    return String(status.data() + sp1 + 1, static_cast<int>(sp2 - sp1 - 1)).ToInt();
  }
  return -1;
}

// Every socket's operations executed and completed, and their workers gone.
bool AllIdle() {
  for (int i = 0; i < zu_asyncevent__sources->Length(); ++i) {
    const c_Socket* s = dynamic_cast<c_Socket*>(zu_asyncevent__sources->Get(i));
    for (c_AsyncQueue* q : {s->receiveQueue, s->sendQueue})
      if (!q->Idle() || q->IsRunning()) return false;
  }
  return true;
}

// Delivers completions until the request has answered `calls` times and every socket is over: nothing
// can follow.
void Pump(const Done* done, int calls) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    if (done->calls >= calls && AllIdle()) break;
    FUZZ_CHECK(std::chrono::steady_clock::now() < end, "not over in 10 s: %d completions", done->calls);
    zu_asyncevent_UpdateAsyncEvents();
    std::this_thread::yield();
  }
  zu_asyncevent_UpdateAsyncEvents();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zu_asyncevent_InitGlobals();
  gc_init2();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return -1;
  const std::uint32_t seed = (data[0] | data[1] << 8) * 2654435761u + 1;
  const int mode = data[2];
  const auto fault =
      static_cast<fake::Fault>(mode & 7) > fake::kLate ? fake::kNone : static_cast<fake::Fault>(mode & 7);
  const int resend = mode >> 3 & 3;
  // A body grown to the cap is taken whole, one byte past it fails. A MiB is slow to read (a worker
  // thread a read), so only a sixteenth of the inputs that ask for it get it.
  const int pad = (data[0] & 15) == 15 ? mode >> 5 : 0;
  std::string reply(reinterpret_cast<const char*>(data) + 3, size - 3);
  std::size_t bodyAt = 0;
  int status = Expected(reply, bodyAt);
  if (status != -1 && (pad == 1 || pad == 2)) {
    const std::size_t want = c_HttpRequest::kMaxBodyBytes + (pad == 2);
    if (reply.size() - bodyAt < want) reply.append(want - (reply.size() - bodyAt), 'x');
  }
  if (status != -1 && reply.size() - bodyAt > std::size_t{c_HttpRequest::kMaxBodyBytes}) status = -1;
  const std::string body = status == -1 ? std::string() : reply.substr(bodyAt);
  // A stall or a late answer comes at the first read, so that the deadline alone decides.
  fake::Reset(reply, seed, fault, fault >= fake::kStall ? 1 : 1 + (data[1] >> 4 & 7));
  zu_http_deadlineMs = fault >= fake::kStall ? 5 : 60000; // a stall lasts until the deadline

  Done* done = new Done;
  c_HttpRequest* request = (new c_HttpRequest)->m_new();
  const String url("http://127.0.0.1/fuzz?x=1#frag");
  request->p_Open(String("GET"), url, done);
  request->p_Send();
  int before = 0; // answers to the first send, which a second one replaces unless it came first
  if (resend > 0) {
    for (int i = 0; i < (data[0] & 3); ++i) zu_asyncevent_UpdateAsyncEvents();
    before = done->calls;
    if (resend == 2) request->p_Open(String("GET"), url, done);
    request->p_Send();
    if (resend == 3) request->p_Send(); // twice at once
  }
  const int sends = resend == 0 ? 1 : resend == 3 ? 3 : 2;
  Pump(done, before + 1);

  // The last connection decides: a fault it met, or a refusal, is a failure.
  const fake::Connection& last = fake::script.connections[sends - 1];
  const bool failed = fault == fake::kRefuse || last.faulted;
  const String text = String::FromUtf8(body.data(), static_cast<int>(body.size()));
  const std::string request_text = "GET /fuzz?x=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  FUZZ_CHECK(before <= 1, "%d completions before the second send", before);
  FUZZ_CHECK(done->calls == before + 1, "%d completions, %d before the second send", done->calls, before);
  FUZZ_CHECK(fake::script.opened == sends, "%d sockets for %d sends", fake::script.opened, sends);
  FUZZ_CHECK(last.connected == (fault != fake::kRefuse), "connected %d", last.connected);
  FUZZ_CHECK(last.sent == (last.connected ? request_text : ""), "sent %zu bytes", last.sent.size());
  FUZZ_CHECK(request->p_Status() == (failed ? -1 : status), "status %d of %d (fault %d met %d)",
             request->p_Status(), status, fault, last.faulted);
  FUZZ_CHECK(request->p_ResponseText() == (failed ? String() : text),
             "%d characters of %d (%zu bytes in %d reads)", request->p_ResponseText().Length(), text.Length(),
             reply.size(), last.reads);

  zu_asyncevent__sources->Clear(); // the sockets leave the update's sources: all is garbage now
  CollectEverything();
  return 0;
}
