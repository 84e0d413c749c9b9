// tests/net/net_support.h — what the network tests share: a scripted TCP server on 127.0.0.1 (a
// thread for each connection), buffers from bytes, the completion log, the update pump, the socket
// fixture and a whole HTTP fetch. Depends on: net/http.h, GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "net/http.h"

inline int ListenOnLoopback(int* port, int want = 0) { // on `want`, or any free port; *port 0: none
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{AF_INET, htons(want), {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof a;
  sockaddr* at = reinterpret_cast<sockaddr*>(&a);
  const bool bound = bind(fd, at, length) == 0 && listen(fd, 64) == 0 && getsockname(fd, at, &length) == 0;
  *port = bound ? ntohs(a.sin_port) : 0;
  return fd;
}

struct TestServer {
  int port = 0, listener = ListenOnLoopback(&port);
  std::atomic<int> connections{0};
  explicit TestServer(std::function<void(int fd)> script)
      : acceptor([this, script] {
          for (pollfd p{listener, POLLIN, 0}; !stop;)
            if (const int fd = poll(&p, 1, 20) > 0 ? accept(listener, nullptr, nullptr) : -1; fd >= 0) {
              ++connections, fds.push_back(fd);
              scripts.emplace_back([this, script, fd] { script(fd), Hangup(fd); });
            }
        }) {}
  ~TestServer() { // wakes the scripts still waiting for a client
    stop = true;
    acceptor.join();
    for (int fd : fds) Hangup(fd, SHUT_RDWR);
    for (std::thread& t : scripts) t.join();
    for (int fd : fds) close(fd);
    close(listener);
  }
  // A request up to its blank line, and the body its Content-Length gives; the first is kept.
  std::string ReadRequest(int fd) {
    std::string text;
    for (char c; text.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1;) text += c;
    const size_t at = text.find("Content-Length: ");
    std::string body(at == std::string::npos ? 0 : std::stoi(text.substr(at + 16)), '\0');
    if (!body.empty()) body.resize(std::max<ssize_t>(recv(fd, &body[0], body.size(), MSG_WAITALL), 0));
    std::lock_guard<std::mutex> hold(lock);
    return (first.empty() ? first : text) = text + body;
  }
  std::string FirstRequest() {
    std::lock_guard<std::mutex> hold(lock);
    return first;
  }
  static bool Write(int fd, const std::string& s) {
    return send(fd, s.data(), s.size(), MSG_NOSIGNAL) == long(s.size());
  }
  static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  static void Reset(int fd) { setsockopt(fd, SOL_SOCKET, SO_LINGER, &kAbort, sizeof kAbort); } // on the close
  void Hangup(int fd, int how = -1) { // shuts down, or closes leaving /dev/null: one thread at a time
    std::lock_guard<std::mutex> hold(lock);
    how < 0 ? (void)dup2(kNull, fd) : (void)shutdown(fd, how);
  }
  static inline const int kNull = open("/dev/null", O_RDONLY);
  static inline const linger kAbort{1, 0};
  std::atomic<bool> stop{false};
  std::vector<int> fds; // the acceptor's until it ends
  std::vector<std::thread> scripts;
  std::mutex lock;
  std::string first;
  std::thread acceptor;
};

namespace nettest {

inline c_DataBuffer* Buffer(const std::string& bytes, int length = -1) {
  c_DataBuffer* b = (new c_DataBuffer)->m_new(length < 0 ? int(bytes.size()) : length);
  std::memcpy(b->data, bytes.data(), bytes.size());
  return b;
}
inline std::string Text(const ZuDataBuffer* b) {
  return std::string(reinterpret_cast<char*>(b->data), b->length);
}

inline void Echo(int fd) {
  char buf[4096];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) TestServer::Write(fd, std::string(buf, n));
}
inline bool PumpUntil(const std::function<bool()>& done, int ms = 5000) { // delivers completions
  for (int i = 0; i < ms && !done(); ++i) zu_asyncevent_UpdateAsyncEvents(), TestServer::Pause(1);
  return done();
}
using Events = std::vector<std::string>;
// Writes down every completion: "connect 1", "send 2", "receive abc", "receive -1".
struct Log : Object, c_IOnConnectComplete, c_IOnSendComplete, c_IOnReceiveComplete, c_IOnHttpRequestComplete {
  Events events;
  int received = 0;             // the last receive's count
  std::function<void()> inside; // run inside every callback
  void p_OnConnectComplete(bool ok, c_Socket*) override { Note("connect " + std::to_string(ok)); }
  void p_OnSendComplete(c_DataBuffer*, int, int n, c_Socket*) override { Note("send " + std::to_string(n)); }
  void p_OnReceiveComplete(c_DataBuffer* data, int offset, int n, c_Socket*) override {
    received = n;
    const bool inside = n > 0 && offset >= 0 && offset + n <= data->length; // else only the count
    Note("receive " +
         (inside ? std::string(reinterpret_cast<char*>(data->data) + offset, n) : std::to_string(n)));
  }
  void p_OnHttpRequestComplete(c_HttpRequest*) override { Note("done"); }
  void Note(const std::string& e) {
    events.push_back(e);
    if (inside) inside();
  }
};
struct Sockets : ::testing::Test {
  static void SetUpTestSuite() {
    if (!zu_asyncevent__sources) zu_asyncevent_InitGlobals(), gc_init2();
  }
  Log* rec = new Log;
  c_Socket* Connect(int port) {
    c_Socket* s = (new c_Socket)->m_new(String("stream"));
    s->p_ConnectAsync(String("127.0.0.1"), port, rec);
    return s;
  }
};
// The completions, status and text of a request sent with an ASCII body if one is given.
using Reply = std::tuple<int, int, std::string>;
inline Reply Fetch(const std::string& url, const char* method = "GET", const std::string& body = "") {
  Log* done = new Log;
  auto* r = (new c_HttpRequest)->m_new2(String(method), String::FromUtf8(url.data(), url.size()), done);
  body.empty() ? r->p_Send() : r->p_Send2(String(body.c_str()), String("text/plain"), String("ascii"));
  PumpUntil([&] { return !done->events.empty(); });
  PumpUntil([] { return false; }, 30); // time for a second completion
  return {int(done->events.size()), r->p_Status(), r->p_ResponseText().ToUtf8()};
}
using Http = Sockets;

} // namespace nettest
