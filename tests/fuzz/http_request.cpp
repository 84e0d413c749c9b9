// tests/fuzz/http_request.cpp — building a request from any method, URL, content type and body (input:
// a flags byte, then the four as UTF-8 apart by 0xFF bytes): the bytes that reach the wire carry no
// control byte but the CR LF ending each header line, say what was asked, and a request that may not go
// out tries no connection and fails once with -1. LEXORM_FUZZ_SEEDS=DIR writes the seed corpus and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "net/http.h"
#include "tests/fuzz/fake_socket.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Done : Object, c_IOnHttpRequestComplete {
  int calls = 0;
  void p_OnHttpRequestComplete(c_HttpRequest*) override { ++calls; }
};

// Flags: bit 0 a body (p_Send2), bit 1 its encoding "utf8" (else "ascii"), bit 2 sent twice.
constexpr int kBody = 1, kUtf8 = 2, kTwice = 4;

struct Input {
  int flags = 0;
  std::string method, url, type, body;
};

Input Parse(const std::uint8_t* data, std::size_t size) {
  Input in;
  in.flags = data[0];
  std::string* fields[] = {&in.method, &in.url, &in.type, &in.body};
  std::size_t field = 0;
  for (std::size_t i = 1; i < size; ++i)
    if (data[i] == 0xff && field < 3)
      ++field;
    else
      fields[field]->push_back(static_cast<char>(data[i]));
  return in;
}

String Text(const std::string& utf8) { return String::FromUtf8(utf8.data(), static_cast<int>(utf8.size())); }

// Every character visible ASCII, 0x21..0x7E, and at least one: what a method, a URL and a type must be
// to go out at all.
bool Visible(const String& s) {
  if (s.Length() == 0) return false;
  for (int i = 0; i < s.Length(); ++i)
    if (s[i] < 0x21 || s[i] > 0x7e) return false;
  return true;
}

bool StartsWithHttps(const String& url) {
  return url.Length() >= 8 && url.Slice(0, 8).ToUpper() == String("HTTPS://");
}

// The header of `wire`, up to its blank line, as lines; false when a line holds a byte outside
// 0x20..0x7E (a lone CR or LF among them) or there is no blank line.
bool HeaderLines(const std::string& wire, std::vector<std::string>& lines, std::size_t& bodyAt) {
  const std::size_t end = wire.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  std::size_t from = 0;
  for (std::size_t to; from < end + 2; from = to + 2) {
    to = wire.find("\r\n", from);
    lines.push_back(wire.substr(from, to - from));
    for (char c : lines.back())
      if (c < 0x20 || c > 0x7e) return false;
  }
  bodyAt = end + 4;
  return true;
}

// What a connected request sent: its header lines clean and as asked, then exactly its body.
void CheckWire(const Input& in, const String& body, int status, const std::string& sent) {
  const bool hasBody = in.flags & kBody;
  FUZZ_CHECK(status == 200, "status %d from a peer that answers 200", status);
  std::vector<std::string> lines;
  std::size_t bodyAt = 0;
  FUZZ_CHECK(HeaderLines(sent, lines, bodyAt), "a control byte or no blank line in %zu bytes sent",
             sent.size());
  FUZZ_CHECK(lines.size() == (hasBody ? 4u : 2u), "%zu header lines", lines.size());
  FUZZ_CHECK(lines[0].compare(0, in.method.size() + 1, in.method + " ") == 0, "request line %s",
             lines[0].c_str());
  FUZZ_CHECK(lines[1].compare(0, 6, "Host: ") == 0, "host line %s", lines[1].c_str());
  const std::string bytes = sent.substr(bodyAt);
  if (!hasBody) {
    FUZZ_CHECK(bytes.empty(), "%zu bytes after a header with no body", bytes.size());
    return;
  }
  std::string want = body.ToUtf8(); // "ascii": the low byte of each character
  if (!(in.flags & kUtf8)) {
    want.clear();
    for (int i = 0; i < body.Length(); ++i) want.push_back(static_cast<char>(body[i] & 0xff));
  }
  FUZZ_CHECK(lines[2] == "Content-Type: " + in.type, "type line %s", lines[2].c_str());
  FUZZ_CHECK(lines[3] == "Content-Length: " + std::to_string(bytes.size()), "%s for %zu bytes",
             lines[3].c_str(), bytes.size());
  FUZZ_CHECK(bytes == want, "a body of %zu bytes, %zu meant", bytes.size(), want.size());
}

void WriteSeeds(const char* dir) {
  const Input seeds[] = {
      {0, "GET", "http://127.0.0.1/p?x=1#frag", "", ""},
      {kBody, "POST", "127.0.0.1:8080/score", "text/plain", "name=ann&score=120"},
      {kBody | kUtf8 | kTwice, "PUT", "http://u:pw@h.example/x", "text/plain;charset=utf-8", "caf\xC3\xA9"},
      {0, "GET", "https://h.example/", "", ""},
      {0, "GET",
       "http://h/a\xC4\x8A"
       "b",
       "", ""}, // U+010A: a line feed once narrowed
      {kBody, "POST", "http://127.0.0.1/a", "text/plain\r\nX: y", "z"},
  };
  int n = 0;
  for (const Input& s : seeds) {
    const std::string path = std::string(dir) + "/request-" + std::to_string(n++);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fputc(s.flags, f);
    const std::string parts[] = {s.method, s.url, s.type, s.body};
    for (int i = 0; i < 4; ++i) {
      if (i) std::fputc(0xff, f);
      std::fwrite(parts[i].data(), 1, parts[i].size(), f);
    }
    if (std::fclose(f)) std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* dir = std::getenv("LEXORM_FUZZ_SEEDS")) WriteSeeds(dir), std::exit(0);
  zu_asyncevent_InitGlobals();
  gc_init2();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return -1;
  const Input in = Parse(data, size);
  const String method = Text(in.method), url = Text(in.url), type = Text(in.type), body = Text(in.body);
  const bool hasBody = in.flags & kBody, twice = in.flags & kTwice;
  fake::Reset("HTTP/1.0 200 OK\r\n\r\nok", 1, fake::kNone, 1);
  fake::script.anyPeer = true;
  zu_http_deadlineMs = 60000;

  Done* done = new Done;
  c_HttpRequest* request = (new c_HttpRequest)->m_new();
  request->p_Open(method, url, done);
  for (int i = 0; i < (twice ? 2 : 1); ++i)
    hasBody ? request->p_Send2(body, type, String(in.flags & kUtf8 ? "utf8" : "ascii")) : request->p_Send();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (bool idle = false; !(done->calls && idle); std::this_thread::yield()) {
    FUZZ_CHECK(std::chrono::steady_clock::now() < end, "not over in 10 s: %d completions", done->calls);
    zu_asyncevent_UpdateAsyncEvents();
    idle = true;
    for (int i = 0; i < zu_asyncevent__sources->Length(); ++i) {
      const c_Socket* s = dynamic_cast<c_Socket*>(zu_asyncevent__sources->Get(i));
      for (c_AsyncQueue* q : {s->receiveQueue, s->sendQueue}) idle = idle && q->Idle() && !q->IsRunning();
    }
  }
  zu_asyncevent_UpdateAsyncEvents();

  FUZZ_CHECK(done->calls == 1, "%d completions", done->calls);
  const bool mayGo = Visible(method) && Visible(url) && (!hasBody || Visible(type)) && !StartsWithHttps(url);
  const fake::Connection& last = fake::script.connections[twice ? 1 : 0];
  FUZZ_CHECK(mayGo || fake::script.Attempts() == 0, "%d connects tried for a request that may not go out",
             fake::script.Attempts());
  FUZZ_CHECK(last.connected || request->p_Status() == -1, "status %d without a connection",
             request->p_Status());
  FUZZ_CHECK(last.connected || last.sent.empty(), "%zu bytes sent without a connection", last.sent.size());
  if (last.connected) CheckWire(in, body, request->p_Status(), last.sent);

  zu_asyncevent__sources->Clear(); // the sockets leave the update's sources: all is garbage now
  CollectEverything();
  return 0;
}
