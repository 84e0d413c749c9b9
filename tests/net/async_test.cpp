// tests/net/async_test.cpp — sockets and asynchronous operations against servers on
// 127.0.0.1: connects, sends and receives completed in order on the main thread, the ring's
// limit, closing under a blocked receive, addresses that must not connect, and many round
// trips and parallel connects (the thread-sanitizer build runs these too).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "net/async.h"
#include "tests/net/test_server.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"

namespace {

using Events = std::vector<std::string>;

// Writes down every completion as text: "connect 1", "send 2", "receive 3 abc".
class Recorder : public Object,
                 public c_IOnConnectComplete,
                 public c_IOnSendComplete,
                 public c_IOnReceiveComplete {
public:
  Events events;
  int receives = 0, lastCount = 0; // receive completions, and the last one's count
  std::function<void()> inside;    // run inside every callback
  void p_OnConnectComplete(bool connected, c_Socket*) override {
    Note("connect " + std::to_string(connected));
  }
  void p_OnSendComplete(c_DataBuffer*, int, int count, c_Socket*) override {
    Note("send " + std::to_string(count));
  }
  void p_OnReceiveComplete(c_DataBuffer* data, int offset, int count, c_Socket*) override {
    ++receives;
    lastCount = count;
    std::string text = "receive " + std::to_string(count);
    if (count > 0) text += " " + std::string(reinterpret_cast<char*>(data->data) + offset, count);
    Note(text);
  }
  void Note(const std::string& e) {
    events.push_back(e);
    if (inside) inside();
  }
};

c_DataBuffer* Buffer(const std::string& bytes, int length = -1) {
  c_DataBuffer* b = (new c_DataBuffer)->m_new(length < 0 ? static_cast<int>(bytes.size()) : length);
  std::memcpy(b->data, bytes.data(), bytes.size());
  return b;
}

void Echo(int fd) {
  char buf[4096];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
    if (!TestServer::Write(fd, std::string(buf, n))) return;
}

class Sockets : public ::testing::Test {
protected:
  static void SetUpTestSuite() { StartNetworkLayer(); }
  Recorder* rec = new Recorder;

  c_Socket* Connected(int port) {
    c_Socket* s = (new c_Socket)->m_new(String("stream"));
    s->p_ConnectAsync(String("127.0.0.1"), port, rec);
    EXPECT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
    return s;
  }
};

// [SECTION] Operations in order

TEST_F(Sockets, CompletionsComeInTheOrderQueuedAndOnlyFromTheOutermostUpdate) {
  TestServer server(Echo);
  c_Socket* s = (new c_Socket)->m_new(String("stream"));
  c_DataBuffer* in = Buffer("", 64);
  s->p_ConnectAsync(String("127.0.0.1"), server.port, rec);
  s->p_ReceiveAsync(in, 0, 64, rec); // not connected yet: ignored
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
  EXPECT_EQ(rec->events, Events{"connect 1"});
  EXPECT_EQ(s->state, c_Socket::kOpen | c_Socket::kConnected);

  // A nested update inside a callback delivers nothing: the second send waits its turn.
  size_t seenInside = 0;
  rec->inside = [&] {
    if (seenInside == 0) {
      zu_asyncevent_UpdateAsyncEvents();
      seenInside = rec->events.size();
    }
  };
  s->p_SendAsync(Buffer("ab"), 0, 2, rec);
  s->p_SendAsync(Buffer("cdef"), -5, 1000, rec); // clipped to the buffer's 4 bytes
  PumpUntil([&] { return rec->events.size() >= 3; });
  EXPECT_EQ(seenInside, 2u);
  rec->inside = nullptr;
  EXPECT_EQ(Events(rec->events.begin() + 1, rec->events.end()), (Events{"send 2", "send 4"}));

  std::string echoed;
  while (echoed.size() < 6) {
    rec->events.clear();
    s->p_ReceiveAsync(in, 0, 64, rec);
    ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }));
    ASSERT_EQ(rec->events[0].rfind("receive ", 0), 0u);
    echoed += rec->events[0].substr(rec->events[0].find(' ', 8) + 1);
  }
  EXPECT_EQ(echoed, "abcdef");
}

// [SECTION] Limits and misuse (run-time errors end the process: each runs in a child)

TEST_F(Sockets, TheRingTakes255OutstandingOperationsAndAProtocolMustBeNamedExactly) {
  auto fill = [this](int n) {
    // Connected in name only: each send fails at once, but stays outstanding until an update.
    c_Socket* s = (new c_Socket)->m_new2(new ZuSocket, SOCKET_STREAM, c_Socket::kOpen | c_Socket::kConnected);
    c_DataBuffer* b = Buffer("x");
    for (int i = 0; i < n; ++i) s->p_SendAsync(b, 0, 1, rec);
    PumpUntil([&] { return rec->events.size() == static_cast<size_t>(n); });
  };
  fill(255);
  EXPECT_EQ(rec->events, Events(255, "send -1"));
  EXPECT_RUNTIME_ERROR(fill(256), "AsyncQueue queue overflow!");
  EXPECT_RUNTIME_ERROR((new c_Socket)->m_new(String("Stream")), "Illegal socket protocol");
}

// [SECTION] Closing, and addresses that must not connect

TEST_F(Sockets, CloseWakesABlockedReceiveAndTheDescriptorGoesOnceTheQueuesAreIdle) {
  TestServer server(Echo); // answers nothing until spoken to
  c_Socket* s = Connected(server.port);
  rec->events.clear();
  s->p_ReceiveAsync(Buffer("", 16), 0, 16, rec);
  PumpUntil([] { return false; }, 100);
  CollectFully(); // the queued operation, its buffer and its callback are held by the ring
  EXPECT_TRUE(rec->events.empty());
  const auto start = std::chrono::steady_clock::now();
  s->p_Close();
  EXPECT_NE(s->socket->sock, -1); // not while the receive may still use the number
  ASSERT_TRUE(PumpUntil([&] { return !rec->events.empty(); }, 2000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(rec->events[0] == "receive 0" || rec->events[0] == "receive -1") << rec->events[0];
  EXPECT_EQ(s->socket->sock, -1);

  // A connect that completes after the close leaves the socket closed.
  Recorder* late = new Recorder;
  c_Socket* t = (new c_Socket)->m_new(String("stream"));
  t->p_ConnectAsync(String("127.0.0.1"), server.port, late);
  t->p_Close();
  ASSERT_TRUE(PumpUntil([&] { return !late->events.empty(); }));
  EXPECT_EQ(late->events, Events{"connect 0"});
  EXPECT_EQ(t->state, 0);
}

TEST_F(Sockets, RefusedPortsAndTheAnyAddressFailWithoutReachingThisMachine) {
  TestServer server(Echo);
  const char* hosts[] = {"0.0.0.0", "", "127.0.0.1"};
  const int ports[] = {server.port, server.port, ClosedPort()};
  for (int i = 0; i < 3; ++i) {
    Recorder* r = new Recorder;
    c_Socket* s = (new c_Socket)->m_new(String("stream"));
    s->p_ConnectAsync(String(hosts[i]), ports[i], r);
    ASSERT_TRUE(PumpUntil([&] { return !r->events.empty(); })) << hosts[i];
    EXPECT_EQ(r->events, Events{"connect 0"}) << hosts[i];
    EXPECT_FALSE(s->p_IsConnected());
  }
  EXPECT_EQ(server.connections, 0);
}

// [SECTION] Many round trips and parallel connects (for the thread sanitizer)

TEST_F(Sockets, TenThousandRoundTripsAndSixteenParallelConnects) {
  TestServer server(Echo);
  c_Socket* s = Connected(server.port);
  c_DataBuffer* out = Buffer("ping");
  c_DataBuffer* in = Buffer("", 4);
  int got = 0;
  rec->events.clear();
  for (int i = 0; i < 10000; ++i) {
    s->p_SendAsync(out, 0, 4, rec);
    for (int have = 0; have < 4;) {
      const int before = rec->receives;
      s->p_ReceiveAsync(in, have, 4 - have, rec);
      ASSERT_TRUE(PumpUntil([&] { return rec->receives > before; }, 5000, 0));
      ASSERT_GT(rec->lastCount, 0);
      have += rec->lastCount;
    }
    got += std::memcmp(in->data, "ping", 4) == 0;
    rec->events.clear();
  }
  EXPECT_EQ(got, 10000);

  std::vector<Recorder*> recs;
  for (int i = 0; i < 16; ++i) {
    recs.push_back(new Recorder);
    (new c_Socket)->m_new(String("stream"))->p_ConnectAsync(String("127.0.0.1"), server.port, recs.back());
  }
  ASSERT_TRUE(PumpUntil([&] {
    for (Recorder* r : recs)
      if (r->events.empty()) return false;
    return true;
  }));
  for (Recorder* r : recs) EXPECT_EQ(r->events, Events{"connect 1"});
}

} // namespace
