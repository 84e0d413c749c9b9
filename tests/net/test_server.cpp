// tests/net/test_server.cpp — see test_server.h.
#include "test_server.h"

#include "net/async.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int ListenOnLoopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(a.sin_port);
  return fd;
}

} // namespace

TestServer::TestServer(Script script) {
  listener = ListenOnLoopback(&port);
  acceptor = std::thread([this, script] {
    while (!stopping) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int fd = accept(listener, nullptr, nullptr);
      if (fd < 0) continue;
      ++connections;
      std::lock_guard<std::mutex> hold(lock);
      const size_t slot = open.size();
      open.push_back(fd);
      scripts.emplace_back([this, fd, slot, script] {
        script(fd);
        std::lock_guard<std::mutex> done(lock);
        close(fd);
        open[slot] = -1;
      });
    }
  });
}

TestServer::~TestServer() {
  stopping = true;
  acceptor.join();
  {
    // A script still waiting for the client (whose socket lives on) wakes up here.
    std::lock_guard<std::mutex> hold(lock);
    for (int fd : open)
      if (fd >= 0) shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& t : scripts) t.join();
  close(listener);
}

std::string TestServer::FirstRequest() {
  std::lock_guard<std::mutex> hold(lock);
  return first;
}

std::string TestServer::ReadRequest(int fd) {
  std::string text;
  char c;
  while (text.size() < 65536 && recv(fd, &c, 1, 0) == 1) {
    text += c;
    if (text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0) break;
  }
  std::lock_guard<std::mutex> hold(lock);
  if (first.empty()) first = text;
  return text;
}

bool TestServer::Write(int fd, const std::string& bytes) {
  return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void TestServer::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void TestServer::Reset(int fd) {
  linger l{1, 0}; // closing now sends a reset
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int ClosedPort() {
  int port = 0;
  const int fd = ListenOnLoopback(&port);
  close(fd);
  return port;
}

bool PumpUntil(const std::function<bool()>& done, int ms, int sleepUs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    zu_asyncevent_UpdateAsyncEvents();
    if (sleepUs > 0)
      std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
    else
      std::this_thread::yield();
  }
  return true;
}

void StartNetworkLayer() {
  if (zu_asyncevent__sources) return;
  zu_asyncevent_InitGlobals();
  gc_init2();
}
