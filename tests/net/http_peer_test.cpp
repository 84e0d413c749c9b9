// tests/net/http_peer_test.cpp — HTTP requests against other peers: Python's http.server serving a
// folder, peers that stall or reset, and requests opened or sent again while in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/net/net_support.h"
#include "tests/support/temp_files.h"

extern char** environ;

namespace {
using namespace nettest;

// Opening again (elsewhere) or sending again while a request is in flight: the client closes the first
// connection (its server reads the end), only the last send is answered, once, with the last reply; a
// request sent again is the same request, body and all. Opened again and never sent: no answer at all.
TEST_F(Http, OpenedOrSentAgainInFlightTheFirstConnectionClosesAndOneAnswerComes) {
  enum Again { kOpenElsewhere, kSendAgain, kPostAgain, kOpenOnly };
  const std::tuple<Again, Events, int, const char*> cases[] = {{kOpenElsewhere, {"done"}, 200, "from b"},
                                                               {kSendAgain, {"done"}, 200, "reply 2"},
                                                               {kPostAgain, {"done"}, 200, "reply 2"},
                                                               {kOpenOnly, {}, -1, ""}};
  for (const auto& [again, answers, status, answer] : cases) {
    SCOPED_TRACE(again);
    std::atomic<int> served{0}, asked{0}, closedByClient{0};
    std::mutex lock;
    std::vector<std::string> requests;
    TestServer a([&](int fd) {
      const int n = ++served;
      const std::string text = a.ReadRequest(fd);
      {
        std::lock_guard<std::mutex> hold(lock);
        requests.push_back(text);
      }
      ++asked;
      char c;
      pollfd p{fd, POLLIN, 0};
      if (n == 1 && poll(&p, 1, 3000) == 1 && recv(fd, &c, 1, 0) == 0) ++closedByClient;
      TestServer::Write(fd, "HTTP/1.0 200 OK\r\n\r\nreply " + std::to_string(n));
    });
    TestServer b([&b](int fd) { b.ReadRequest(fd), TestServer::Write(fd, "HTTP/1.0 200 OK\r\n\r\nfrom b"); });
    Log* done = new Log;
    const String at = String("http://127.0.0.1:") + String(a.port) + String("/x");
    c_HttpRequest* r = (new c_HttpRequest)->m_new2(String("GET"), at, done);
    auto send = [&] {
      again == kPostAgain ? r->p_Send2(String("k=v"), String("text/plain"), String("ascii")) : r->p_Send();
    };
    send();
    ASSERT_TRUE(PumpUntil([&] { return asked == 1; }));
    if (again == kOpenElsewhere || again == kOpenOnly)
      r->p_Open(String("GET"), String("http://127.0.0.1:") + String(b.port) + String("/y"), done);
    if (again != kOpenOnly) {
      send();
      ASSERT_TRUE(PumpUntil([&] { return !done->events.empty(); }));
    }
    PumpUntil([&] { return closedByClient != 0; }, 3000);
    PumpUntil([] { return false; }, 50); // time for a second answer
    EXPECT_EQ(done->events, answers);
    EXPECT_EQ(r->p_Status(), status);
    EXPECT_EQ(r->p_ResponseText().ToUtf8(), answer);
    EXPECT_EQ(closedByClient, 1) << "the first connection was closed by the client";
    std::lock_guard<std::mutex> hold(lock);
    if (again == kSendAgain || again == kPostAgain) {
      ASSERT_EQ(requests.size(), 2u);
      EXPECT_EQ(requests[1], requests[0]);
    }
  }
}

// A peer that accepts and never answers is ended by the request's deadline (the receive timeout is far
// off); one that resets after the request fails it under the usual deadline.
// Either way: -1, no text, one answer.
TEST_F(Http, AStalledPeerMeetsTheDeadlineAndAResettingOneFails) {
  const std::string ok = "HTTP/1.0 200 OK\r\n\r\npart";
  using Script = std::function<void(TestServer&, int)>;
  auto stall = [](TestServer& s, int) {
    while (!s.stop) TestServer::Pause(5);
  };
  const std::tuple<const char*, int, Script> cases[] = {
      {"stalls without reading", 300, stall},
      {"stalls after the request", 300, [&](TestServer& s, int fd) { s.ReadRequest(fd), stall(s, fd); }},
      {"stalls inside the body", 300,
       [&](TestServer& s, int fd) { s.ReadRequest(fd), TestServer::Write(fd, ok), stall(s, fd); }},
      {"resets after the request", 60000, // at once and inside the body: net_test.cpp
       [](TestServer& s, int fd) { s.ReadRequest(fd), TestServer::Reset(fd); }},
  };
  for (const auto& [name, deadline, script] : cases) {
    SCOPED_TRACE(name);
    TestServer server([&server, &script = script](int fd) { script(server, fd); });
    zu_http_deadlineMs = deadline;
    EXPECT_EQ(Fetch("http://127.0.0.1:" + std::to_string(server.port) + "/"), Reply(1, -1, ""));
    EXPECT_EQ(server.connections, 1);
    zu_http_deadlineMs = 60000;
  }
}

// Python's http.server on a free port of 127.0.0.1, serving a temporary folder; once for the suite.
struct HttpPeers : Sockets {
  static inline TempDir* folder = nullptr;
  static inline pid_t pid = -1;
  static inline int port = 0;
  static std::string Bytes(size_t n, unsigned seed) { // printable ASCII and line feeds
    std::string s(n, ' ');
    for (char& c : s)
      seed = seed * 1103515245u + 12345u, c = (seed >> 16) % 97 == 96 ? '\n' : char(' ' + (seed >> 16) % 95);
    return s;
  }
  static bool Answers(int p) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, htons(p), {htonl(INADDR_LOOPBACK)}, {}};
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
  }
  static void SetUpTestSuite() {
    Sockets::SetUpTestSuite();
    folder = new TempDir("httpd");
    WriteFile(folder->path / "small.txt", "hello from python\n");
    WriteFile(folder->path / "utf8.txt", "caf\xC3\xA9 \xE2\x82\xAC\n");
    WriteFile(folder->path / "cap.txt", Bytes(c_HttpRequest::kMaxBodyBytes, 1));
    WriteFile(folder->path / "big.txt", Bytes(3 << 20, 2));
    for (int attempt = 0; attempt < 3 && port == 0; ++attempt) { // a port taken meanwhile: another
      int p = 0;
      close(ListenOnLoopback(&p));
      const std::string ps = std::to_string(p), dir = folder->path.string();
      const char* argv[] = {"python3",   "-m",          "http.server", ps.c_str(), "--bind",
                            "127.0.0.1", "--directory", dir.c_str(),   nullptr};
      posix_spawn_file_actions_t io;
      posix_spawn_file_actions_init(&io);
      posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
      const int failed = posix_spawnp(&pid, "python3", &io, nullptr, const_cast<char**>(argv), environ);
      posix_spawn_file_actions_destroy(&io);
      if (failed) return;
      for (int i = 0; i < 500 && waitpid(pid, nullptr, WNOHANG) == 0; ++i, TestServer::Pause(20))
        if (Answers(p)) {
          port = p;
          return;
        }
      kill(pid, SIGKILL), waitpid(pid, nullptr, 0), pid = -1;
    }
  }
  static void TearDownTestSuite() {
    if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    delete folder;
    folder = nullptr, pid = -1, port = 0; // a repeated run starts its own
  }
  void SetUp() override {
    ASSERT_GT(port, 0) << "python3 -m http.server did not start";
    ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "python3 -m http.server has ended";
  }
};

// Files come back byte for byte, up to a body of the cap; a missing one is a 404 with the server's page;
// a body of 3 MiB is past the cap: -1, no text.
TEST_F(HttpPeers, FilesComeBackWholeAMissingOneIs404AndABodyPastTheCapFails) {
  const std::tuple<const char*, int, std::string> cases[] = {
      {"/small.txt", 200, "hello from python\n"},
      {"/utf8.txt", 200, "caf\xC3\xA9 \xE2\x82\xAC\n"},
      {"/cap.txt", 200, Bytes(c_HttpRequest::kMaxBodyBytes, 1)},
      {"/big.txt", -1, ""},
  };
  for (const auto& [path, status, text] : cases) {
    SCOPED_TRACE(path);
    const auto [answers, got, body] = Fetch("http://127.0.0.1:" + std::to_string(port) + path);
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(got, status);
    EXPECT_EQ(body.size(), text.size());
    EXPECT_TRUE(body == text) << "the bytes differ";
  }
  const auto [answers, status, page] = Fetch("http://127.0.0.1:" + std::to_string(port) + "/missing.txt");
  EXPECT_EQ(answers, 1);
  EXPECT_EQ(status, 404);
  EXPECT_NE(page.find("404"), std::string::npos) << page;
}

} // namespace
