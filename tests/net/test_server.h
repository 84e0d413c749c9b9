// tests/net/test_server.h — a scripted TCP server on 127.0.0.1, a thread for each connection.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

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
