// tests/net/net_test.cpp — data buffers; sockets and HTTP requests against scripted local servers.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>

#include "host/game.h"
#include "host/platform.h"
#include "net/http.h"
#include "tests/net/net_support.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {
using namespace nettest;
Array<int> ArrayOf(std::vector<int> v) { return Array<int>(v.data(), int(v.size())); }
std::vector<int> Values(const Array<int>& a) { return std::vector<int>(a.begin(), a.end()); }
const String kUtf8("utf8"), kAscii("ascii");
TEST(DataBuffer, FillsOnceWithZeroedOrAdoptedBytes) {
  const int before = gc_ext_new_bytes.load();
  c_DataBuffer* b = (new c_DataBuffer)->m_new(5);
  EXPECT_EQ(gc_ext_new_bytes.load() - before, 5); // reported to the collector
  EXPECT_EQ(Text(b), std::string(5, '\0'));
  void* block = std::malloc(3);
  EXPECT_FALSE(b->_New(3, block)) << "full: the block stays the caller's";
  EXPECT_FALSE(b->_New(-1, block)) << "negative: the block stays the caller's";
  b->Discard();
  EXPECT_TRUE(b->_New(0, std::malloc(1))) << "empty: the block freed";
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  ASSERT_TRUE(b->_New(3, block) && b->data == block);
  EXPECT_RUNTIME_ERROR(b->m_new(1), "Allocate DataBuffer failed");
  EXPECT_RUNTIME_ERROR((new c_DataBuffer)->m_new(-1), "Allocate DataBuffer failed");
}
TEST(DataBuffer, BytesReadSignedAndWriteTheirLow8BitsCutToTheBufferAndTheArray) {
  c_DataBuffer* b = Buffer(std::string(7, '.'));
  b->p_PokeBytes(1, ArrayOf({65, -1, -128, 127, 128, 256 + 66, INT_MIN}), 0, INT_MAX);
  EXPECT_EQ(Values(b->p_PeekBytes2(0, 7)), (std::vector<int>{'.', 65, -1, -128, 127, -128, 66}));
  Array<int> out = ArrayOf({9, 9, 9, 9, 9});
  b->p_PeekBytes(2, out, 1, 3); // slots 1..3 only
  EXPECT_EQ(Values(out), (std::vector<int>{9, -1, -128, 127, 9}));
  b = Buffer("ABCDEFGH"); // reads at either end, past them, with counts that overflow: cut, never widened
  const std::tuple<int, int, const char*> cases[] = {
      {0, 1, "A"}, {0, 9, "ABCDEFGH"}, {7, 1, "H"}, {7, INT_MAX, "H"}, {5, INT_MAX, "FGH"},
      {8, 1, ""},  {-1, 2, ""},        {3, 0, ""},  {3, -1, ""},       {INT_MIN, INT_MAX, ""}};
  for (const auto& [at, count, got] : cases) {
    const std::vector<int> bytes = Values(b->p_PeekBytes2(at, count));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), got) << at << " " << count;
    EXPECT_EQ(b->p_PeekString(at, count, kAscii).ToUtf8(), got) << at << " " << count;
  }
  for (auto [at, left] : std::vector<std::pair<int, int>>{{0, 8}, {5, 3}, {7, 1}, {8, 0}, {-1, 0}})
    EXPECT_EQ(b->p_PeekString2(at, kUtf8).Length(), left) << at;
  b->p_PokeBytes(6, ArrayOf({'x', 'y', 'z'}), 0, INT_MAX); // the buffer leaves 2
  b->p_PokeBytes(0, ArrayOf({'x', 'y', 'z'}), 1, 9);       // the array leaves 2
  for (int at : {-1, 8, 3}) b->p_PokeBytes(at, ArrayOf({'!', '!'}), at == 3 ? 2 : 0, 1);
  EXPECT_EQ(Text(b), "yzCDEFxy");
  c_DataBuffer* dst = Buffer("........");
  b->p_CopyBytes(0, dst, 5, INT_MAX); // the destination leaves 3
  b->p_CopyBytes(6, dst, 0, INT_MAX); // the source leaves 2
  b->p_CopyBytes(0, dst, 8, 1), b->p_CopyBytes(8, dst, 0, 1), b->p_CopyBytes(0, nullptr, 0, 3);
  EXPECT_EQ(Text(dst), "xy...yzC");
  b->p_CopyBytes(0, b, 1, 4); // overlapping copies go as through a temporary
  EXPECT_EQ(Text(b), "yyzCDFxy");
  b->p_CopyBytes(2, b, 0, 9);
  EXPECT_EQ(Text(b), "zCDFxyxy");
}
TEST(DataBuffer, StringsWriteWhatFitsReturnTheFullLengthAndReadBytesUnsigned) {
  c_DataBuffer* b = Buffer("....");
  EXPECT_EQ(b->p_PokeString(2, String(u"a\u20acb"), kUtf8), 5); // 1 + 3 + 1 bytes
  EXPECT_EQ(Text(b), "..a\xE2");                                // even mid-sequence
  EXPECT_EQ(b->p_PokeString(4, String("wxyz"), kAscii), 4);     // past the end: nothing written
  EXPECT_EQ(b->p_PokeString(-1, String(u"\u20ac"), kUtf8), 3);  // before the start: nothing written
  EXPECT_EQ(Text(b), "..a\xE2");
  EXPECT_EQ(b->p_PokeString(1, String(u"A\u00e9\u20ac\uffff"), kAscii), 4);
  EXPECT_EQ(b->p_PeekString(0, 4, kAscii), String(u".A\u00e9\u00ac"));
  EXPECT_EQ(Buffer("\xC3\xA9\xC3")->p_PeekString2(0, kUtf8), String(u"\u00c3\u00a9\u00c3")); // not UTF-8
  EXPECT_EQ(Buffer("\xC3\xA9\xC3")->p_PeekString(0, 2, kUtf8), String(u"\u00e9"));
  EXPECT_RUNTIME_ERROR(b->p_PokeString(9, String("ab"), String("UTF8")), "Invalid string encoding:UTF8");
}
TEST(DataBuffer, LoadsTheWholeFileThroughTheHost) {
  ZuGame host;
  TempDir tmp("net");
  WriteFile(tmp.path / "d.bin", std::string("\x01\x80\xFFz\0q", 6));
  WriteFile(tmp.path / "empty.bin", "");
  auto load = [&](const char* name) { return c_DataBuffer::m_Load(String((tmp.path / name).c_str())); };
  c_DataBuffer* b = load("d.bin");
  ASSERT_TRUE(b && Text(b) == std::string("\x01\x80\xFFz\0q", 6));
  EXPECT_FALSE(b->_Load(String((tmp.path / "d.bin").c_str()))); // a full buffer loads nothing more
  EXPECT_EQ(load("empty.bin") ? load("empty.bin")->length : -1, 0);
  EXPECT_EQ(load("missing.bin"), nullptr);
  ZuGame::_game = nullptr;
  EXPECT_EQ(load("d.bin"), nullptr);
}
// Catches completions out of order, nested, repeated or miscounted, and a descriptor closed early.
TEST_F(Sockets, CompletionsComeInOrderFromTheOutermostUpdateOnly) {
  TestServer server(Echo);
  c_Socket* s = Connect(server.port);
  s->p_ReceiveAsync(Buffer("", 8), 0, 8, rec); // not connected yet: ignored
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
  EXPECT_EQ(s->state, c_Socket::kOpen | c_Socket::kConnected);
  s->p_ConnectAsync(String("127.0.0.1"), server.port, rec); // connected: ignored
  size_t seenInside = 0;
  rec->inside = [&] {
    if (seenInside == 0) zu_asyncevent_UpdateAsyncEvents(), seenInside = rec->events.size();
  };
  s->p_SendAsync(Buffer("ab"), 0, 2, rec);
  s->p_SendAsync(Buffer("cdef"), -5, 1000, rec); // clipped to the buffer's 4 bytes
  s->p_SendAsync(Buffer("xyz"), 1, 1, rec);
  s->p_SendAsync(Buffer("XYZ"), 1, 1000, rec); // clipped to the 2 bytes from offset 1
  PumpUntil([&] { return rec->events.size() >= 5; });
  rec->inside = nullptr;
  EXPECT_EQ(seenInside, 2u);
  EXPECT_EQ(rec->events, (Events{"connect 1", "send 2", "send 4", "send 1", "send 2"}));
  std::string echoed;
  for (c_DataBuffer* in = Buffer("", 64); echoed.size() < 9 && (echoed.empty() || rec->received > 0);) {
    s->p_ReceiveAsync(in, 3, 61, rec);
    ASSERT_TRUE(PumpUntil([&] { return rec->events.size() == 6; }));
    echoed += rec->events.back().substr(8), rec->events.pop_back();
  }
  EXPECT_EQ(echoed, "abcdefyYZ");
  const std::string h(1023, 'h'); // host names: the low byte of each character, 1023 at most
  EXPECT_EQ(zu_socket_HostBytes(String(u"\u0141x")), "Ax");
  EXPECT_EQ(zu_socket_HostBytes(String(h.c_str())), h);
  EXPECT_EQ(zu_socket_HostBytes(String((h + "h").c_str())), "");
  ZuSocket* udp = new ZuSocket; // given no buffer, a datagram socket moves nothing (and does not crash)
  ASSERT_TRUE(udp->Open(SOCKET_DATAGRAM));
  EXPECT_EQ(udp->SendTo(nullptr, 0, 1, new ZuSocketAddress), -1);
  EXPECT_EQ(udp->ReceiveFrom(nullptr, 0, 1, nullptr), -1);
  ZuSocket* tcp = new ZuSocket; // ports 1..65535 only: the others are refused before connecting
  ASSERT_TRUE(!tcp->Open(99) && tcp->Open(SOCKET_STREAM)); // no socket of an unknown kind
  EXPECT_EQ(tcp->ConnectTo("127.0.0.1", 0) || tcp->ConnectTo("127.0.0.1", 65536), false);
  EXPECT_EQ(tcp->Receive(Buffer("", 8), 0, 0), 0);             // nothing asked, nothing waited for
  EXPECT_FALSE((new ZuSocketAddress)->Set(String("::1"), 80)); // not an IPv4 name: unresolved
}
TEST_F(Sockets, TheRingHolds255OperationsAndAProtocolIsNamedExactly) {
  auto fill = [this](int n) { // connected in name only: each send fails, queued until an update
    c_Socket* s = (new c_Socket)->m_new2(new ZuSocket, SOCKET_STREAM, c_Socket::kOpen | c_Socket::kConnected);
    for (int i = 0; i < n; ++i) s->p_SendAsync(Buffer("x"), 0, 1, rec);
    PumpUntil([&] { return rec->events.size() == size_t(n); });
  };
  fill(255);
  EXPECT_EQ(rec->events, Events(255, "send -1"));
  EXPECT_RUNTIME_ERROR(fill(256), "AsyncQueue queue overflow!");
  EXPECT_RUNTIME_ERROR((new c_Socket)->m_new(String("Stream")), "Illegal socket protocol");
}
TEST_F(Sockets, CloseWakesABlockedReceiveAndTheDescriptorGoesOnceTheQueuesAreIdle) {
  TestServer server(Echo); // answers nothing until spoken to
  c_Socket* s = Connect(server.port);
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
  s->p_ReceiveAsync(Buffer("", 16), 0, 16, rec);
  PumpUntil([] { return false; }, 100);
  CollectFully(); // the ring holds the operation, its buffer and its callback
  const auto start = std::chrono::steady_clock::now();
  s->p_Close();
  EXPECT_NE(s->socket->sock, -1); // not while the receive may still use the number
  ASSERT_TRUE(PumpUntil([&] { return rec->events.size() > 1; }, 2000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_LE(rec->received, 0) << rec->events[1];
  EXPECT_EQ(s->socket->sock, -1);
  rec->events.clear(); // a connect that completes after the close leaves the socket closed
  c_Socket* t = Connect(server.port);
  t->p_Close();
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
  EXPECT_EQ(std::make_pair(rec->events, t->state), std::make_pair(Events{"connect 0"}, 0));
  TestServer bye([](int fd) { TestServer::Write(fd, "bye"); }); // and hangs up: the end reads as 0
  c_Socket* u = Connect(bye.port);
  ASSERT_TRUE(PumpUntil([&] { return rec->events.size() == 2; }));
  std::string got;
  for (int n = 1; n > 0 && got.size() < 20; n = rec->received) {
    const size_t seen = rec->events.size();
    u->p_ReceiveAsync(Buffer("", 8), 0, 8, rec);
    ASSERT_TRUE(PumpUntil([&] { return rec->events.size() > seen; }));
    got += rec->events.back().substr(8);
  }
  EXPECT_EQ(got, "bye0");
}
TEST_F(Http, UrlsSplitIntoTheirPartsAndTheRequestNamesPathAndHost) {
  // url → scheme, user, password, domain, port, full path | request line | host line
  const std::pair<const char*, const char*> cases[] = {
      {"http://h:8080/a/b?x=1#top", "http,,,h,8080,/a/b?x=1#top|GET /a/b?x=1 HTTP/1.0|Host: h:8080"},
      {"h:80", "http,,,h,80,/|GET / HTTP/1.0|Host: h"},
      {"h:81", "http,,,h,81,/|GET / HTTP/1.0|Host: h:81"},
      {"Ab+1.-://me:pw@h.example/f", "Ab+1.-,me,pw,h.example,80,/f|GET /f HTTP/1.0|Host: h.example"},
      {"1b://h/f", "http,,,1b,0,//h/f|GET //h/f HTTP/1.0|Host: 1b:0"}, // no scheme starts with a digit
      {"://h/f", "http,,,,0,//h/f|GET //h/f HTTP/1.0|Host: :0"},       // nor is empty
      {"u@h:7", "http,u,,h,7,/|GET / HTTP/1.0|Host: h:7"},
      {"h/#f", "http,,,h,80,/#f|GET / HTTP/1.0|Host: h"},
      {"http://h/p#frag?no", "http,,,h,80,/p#frag?no|GET /p HTTP/1.0|Host: h"},
      {"http://a.example/x@b/", "http,,,a.example,80,/x@b/|GET /x@b/ HTTP/1.0|Host: a.example"},
      {"http://h:8w/", "http,,,h,0,/|GET / HTTP/1.0|Host: h:0"},
      {"http://h:99999999999/", "http,,,h,2147483647,/|GET / HTTP/1.0|Host: h:2147483647"},
  };
  for (const auto& [url, parts] : cases) {
    c_HttpRequest* r = (new c_HttpRequest)->m_new2(String("GET"), String(url), nullptr);
    const c_Url* u = r->url;
    const String got = u->scheme + "," + u->username + "," + u->password + "," + u->domain + "," +
                       String(u->port) + "," + u->p_FullPath() + "|" + r->header->p_Join(String("|"));
    EXPECT_EQ(got.ToUtf8(), parts) << url;
  }
}
// A listening socket on a free port of 127.0.0.1, and a client connected to it whose sends and
// receives give up after 2.5 s.
ZuSocket* Listener(int backlog, ZuSocketAddress* at) {
  ZuSocket* listening = new ZuSocket;
  EXPECT_TRUE(listening->Open(SOCKET_SERVER) && listening->Bind(String("127.0.0.1"), 0) &&
              listening->Listen(backlog));
  listening->GetLocalAddress(at), at->Validate();
  return listening;
}
ZuSocket* Client(int port) {
  zu_socket_ioTimeoutMs = 2500;
  ZuSocket* client = new ZuSocket;
  EXPECT_TRUE(client->Open(SOCKET_STREAM) && client->ConnectTo("127.0.0.1", port));
  zu_socket_ioTimeoutMs = 30000;
  return client;
}
bool CloseOnExec(int fd) { return fd >= 0 && (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; }
// A connection Accept took and nobody took over is closed by the next Accept or the listener's Close,
// not leaked: its peer reads the end (0); without that it would wait out its receive timeout (-1).
// The one handed over carries the data. No descriptor outlives an exec: a program the game starts
// (a browser) inherits none.
TEST_F(Sockets, AcceptOrCloseClosesAConnectionNeverHandedOverAndNoDescriptorOutlivesAnExec) {
  ZuSocketAddress* at = new ZuSocketAddress;
  ZuSocket *listening = Listener(2, at), *datagram = new ZuSocket;
  ZuSocket *first = Client(at->port), *second = Client(at->port);
  ASSERT_TRUE(datagram->Open(SOCKET_DATAGRAM));
  ASSERT_TRUE(listening->Accept() && listening->Accept()); // both waiting: neither blocks
  EXPECT_EQ(first->Receive(Buffer("", 8), 0, 8), 0) << "the first connection was closed";
  ZuSocket* taken = listening->Accepted();
  ASSERT_NE(taken, nullptr);
  for (auto [what, fd] : {std::pair{"listening", listening->sock},
                          {"client", second->sock},
                          {"accepted", taken->sock},
                          {"datagram", datagram->sock}})
    EXPECT_TRUE(CloseOnExec(fd)) << what;
  for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) { // the I/O timeout to the millisecond (the clock tick)
    timeval limit{};
    socklen_t size = sizeof limit;
    ASSERT_EQ(getsockopt(second->sock, SOL_SOCKET, option, &limit, &size), 0);
    EXPECT_EQ(limit.tv_sec, 2) << "whole seconds, option " << option;
    EXPECT_NEAR(limit.tv_usec, 500000, 20000) << "microseconds, option " << option;
  }
  EXPECT_EQ(second->Send(Buffer("hi"), 0, 2), 2);
  EXPECT_EQ(taken->Receive(Buffer("", 8), 0, 8), 2) << "the one handed over is the second";
  ZuSocket* third = Client(at->port); // and the listener's Close closes one it holds
  ASSERT_TRUE(listening->Accept());
  listening->Close();
  EXPECT_EQ(third->Receive(Buffer("", 8), 0, 8), 0) << "the third connection was closed";
}
// A receive in flight holds its bytes: a Discard (or a Discard and a new fill) meanwhile frees
// nothing under the worker (the sanitizers would see its write), and the read completes as
// failed, never as bytes in a buffer that no longer holds them. An untouched buffer gets them.
TEST_F(Sockets, ABufferDiscardedUnderAReceiveStaysAliveAndTheReceiveFails) {
  enum What { kKeep, kDiscard, kRefill };
  const std::tuple<What, int, int> cases[] = {{kKeep, 64, 4096}, {kDiscard, -1, 0}, {kRefill, -1, 16}};
  for (const auto& [what, received, length] : cases) {
    std::atomic<bool> go{false};
    TestServer server([&go](int fd) {
      for (int i = 0; i < 5000 && !go; ++i) TestServer::Pause(1);
      TestServer::Write(fd, std::string(64, 'q'));
    });
    rec->events.clear();
    c_Socket* s = Connect(server.port);
    ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
    c_DataBuffer* in = Buffer("", 4096);
    s->p_ReceiveAsync(in, 0, 4096, rec);
    PumpUntil([] { return false; }, 50); // the worker waits in the receive
    if (what != kKeep) in->Discard();
    if (what == kRefill) in->m_new(16);
    CollectFully(); // the operation keeps the buffer object too
    go = true;
    ASSERT_TRUE(PumpUntil([&] { return rec->events.size() == 2; })) << what;
    EXPECT_EQ(rec->received, received) << what;
    EXPECT_EQ(in->length, length) << what;
    s->p_Close();
  }
}
// Each request goes to a fresh server that reads it and writes `writes` with pauses ("RESET": its close
// resets); refused ones have none. "@" is the port, "FIT" a path filling the 4,096-byte send buffer.
TEST_F(Http, RepliesAreReadWholeAndAnythingButACleanReplyIsMinusOne) {
  const std::string big(40000, 'z'), mib(1 << 20, 'm'), ok = "HTTP/1.0 200 OK\r\n", at = "http://127.0.0.1:@";
  const std::string pad(16360, 'p'); // a header of 16,384 bytes, the most taken
  using Case = std::tuple<std::string, const char*, std::vector<std::string>, int, std::string>;
  const Case cases[] = {
      {at + "/p?x=1#frag", "GET", {ok + "\r\nhello"}, 200, "hello"},
      {at, "GET", {"HTTP/1.1 404 Not Found\r\nX: y\r\n\r\nmissing"}, 404, "missing"},
      {at, "GET", {"\t HTTP/1.0 203 OK \r\n\r\nx"}, 203, "x"},
      {at, "GET", {"HTTP/1.0 2", "01 Created\r\n\r\nok"}, 201, "ok"},
      {at, "GET", {ok + "\r\ncaf\xC3", "\xA9"}, 200, "caf\xC3\xA9"},
      {at, "GET", {ok, "\r\n" + big}, 200, big},
      {at, "GET", {ok + "X: " + pad + "\r\n\r\nb"}, 200, "b"},
      {at, "GET", {ok + "X: " + pad + "p\r\n\r\nb"}, -1, ""},
      {at, "GET", {ok + "\r\n", mib}, 200, mib},
      {at, "GET", {ok + "\r\n", mib + "m"}, -1, ""},
      {at, "GET", {"!" + ok + "\r\nbody"}, -1, ""},
      {at, "GET", {"HTTP/1.0 200\r\n\r\nbody"}, -1, ""},
      {at, "GET", {ok + "X: y"}, -1, ""},
      {at, "GET", {ok + "\r\npart", "RESET"}, -1, ""},
      {at + "FIT", "GET", {ok + "\r\nyes"}, 200, "yes"},
      {at + "/!~", "GET", {ok + "\r\nyes"}, 200, "yes"},
      {at + "FITa", "GET", {}, -1, ""},
      {"http://127.0.0.1:65616/", "GET", {}, -1, ""}, // port 80 once narrowed
      {at + "/a\xC4\x8A" + "b", "GET", {}, -1, ""},   // U+010A, a line feed once narrowed
      {at + "/a b", "GET", {}, -1, ""},
      {at, "GE T", {}, -1, ""},
      {at, "", {}, -1, ""},
      {"http://127.0.0.1_x:@/", "GET", {}, -1, ""},
      {"http://0.0.0.0:@/", "GET", {}, -1, ""},
      {"https://127.0.0.1:@/", "GET", {}, -1, ""}, // never as plain text
      {"HTTPS://127.0.0.1:@/", "GET", {}, -1, ""},
      {"HTTP://127.0.0.1:@/", "GET", {ok + "\r\nyes"}, 200, "yes"},
      {"http://localhost:@/", "GET", {ok + "\r\nyes"}, 200, "yes"}, // a host named in letters
  };
  for (const Case& c : cases) {
    const auto& [pattern, method, writes, status, text] = c;
    TestServer server([&server, &c](int fd) {
      server.ReadRequest(fd);
      for (const std::string& w : std::get<2>(c))
        w == "RESET" ? TestServer::Reset(fd) : (void)TestServer::Write(fd, w), TestServer::Pause(30);
    });
    const std::string port = std::to_string(server.port);
    std::string url = pattern;
    if (size_t i = url.find('@'); i != std::string::npos) url.replace(i, 1, port);
    if (size_t i = url.find("FIT"); i != std::string::npos)
      url.replace(i, 3, "/" + std::string(4060 - port.size(), 'a'));
    SCOPED_TRACE(url.substr(0, 40) + " " + std::to_string(&c - cases));
    EXPECT_EQ(Fetch(url, method), std::make_tuple(1, status, text));
    EXPECT_EQ(server.connections, writes.empty() ? 0 : 1);
  }
}
TEST_F(Http, TheRequestCarriesItsBodyAndAServerThatResetsOrGoesQuietEndsIt) {
  TestServer server(
      [&](int fd) { server.ReadRequest(fd), TestServer::Write(fd, "HTTP/1.0 200 OK\r\n\r\nthanks"); });
  const std::string port = std::to_string(server.port);
  EXPECT_EQ(Fetch("http://127.0.0.1:" + port + "/p?x=1#frag", "POST", "\xE9"), Reply(1, 200, "thanks"));
  EXPECT_EQ(server.FirstRequest(), "POST /p?x=1 HTTP/1.0\r\nHost: 127.0.0.1:" + port +
                                       "\r\nContent-Type: text/plain\r\nContent-Length: 1\r\n\r\n\xE9");
  // Reset before the body is read: the sends fail, no SIGPIPE, one completion.
  TestServer resetting(TestServer::Reset);
  EXPECT_EQ(Fetch("127.0.0.1:" + std::to_string(resetting.port), "POST", std::string(100000, 'x')),
            Reply(1, -1, ""));
  zu_socket_ioTimeoutMs = 300; // silence: the receive gives up after the I/O timeout
  TestServer silent([&](int fd) { silent.ReadRequest(fd), silent.ReadRequest(fd); }); // then waits
  EXPECT_EQ(Fetch("127.0.0.1:" + std::to_string(silent.port)), Reply(1, -1, ""));
  int top = 0, listener = ListenOnLoopback(&top, 65535); // the last port is one (when it is free):
  Fetch("http://127.0.0.1:65535/");                      // a request goes to it, a socket connects
  pollfd waiting{listener, POLLIN, 0};
  ZuSocket* tcp = new ZuSocket;
  EXPECT_TRUE(top != 65535 ||
              (poll(&waiting, 1, 0) == 1 && tcp->Open(SOCKET_STREAM) && tcp->ConnectTo("127.0.0.1", 65535)));
  close(listener);
  zu_socket_ioTimeoutMs = 30000;
}

// Where no thread can start (the browser build), every operation is refused instead of run, and
// completes in the next update like any other: the connection never reaches the server.
TEST_F(Sockets, WithoutThreadsOperationsFailAndARequestIsMinusOneWithoutConnecting) {
  TestServer server(Echo);
  c_Socket* connected = Connect(server.port);
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
  ASSERT_EQ(rec->events, Events{"connect 1"});
  struct NoThreads {
    NoThreads() { platform::SetThreadsAvailable(false); }
    ~NoThreads() { platform::SetThreadsAvailable(true); }
  } off;
  connected->p_SendAsync(Buffer("ab"), 0, 2, rec);
  connected->p_ReceiveAsync(Buffer("", 8), 0, 8, rec);
  Connect(server.port);
  PumpUntil([&] { return rec->events.size() >= 4; });
  Events events = rec->events; // sends and receives have queues of their own: in any order
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (Events{"connect 0", "connect 1", "receive -1", "send -1"}));
  EXPECT_EQ(Fetch("http://127.0.0.1:" + std::to_string(server.port) + "/"),
            std::make_tuple(1, -1, std::string()));
  EXPECT_EQ(server.connections, 1) << "only the first connection, made with threads";
}

} // namespace
