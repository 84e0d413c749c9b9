// tests/net/test_server.h — a scripted TCP server on 127.0.0.1 for the network tests: each
// accepted connection runs the test's script on a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestServer {
public:
  using Script = std::function<void(int fd)>;
  explicit TestServer(Script script);
  ~TestServer(); // stops accepting, ends every connection, waits for the scripts

  int port = 0;
  std::atomic<int> connections{0};
  std::string FirstRequest(); // the request text the first connection read (ReadRequest)

  // Script helpers: read a request up to its blank line (kept for FirstRequest), write bytes
  // (false once the peer is gone), pause, reset the connection instead of closing it. The
  // connection closes when its script returns.
  std::string ReadRequest(int fd);
  static bool Write(int fd, const std::string& bytes);
  static void Pause(int ms);
  static void Reset(int fd);

private:
  int listener = -1;
  std::atomic<bool> stopping{false};
  std::thread acceptor;
  std::vector<std::thread> scripts;
  std::vector<int> open; // accepted connections still open (-1 once their script closed them)
  std::mutex lock;
  std::string first;
};

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort();

// Delivers completions (zu_asyncevent_UpdateAsyncEvents) every `sleepUs` microseconds until
// `done` holds or `ms` have passed; false on time-out.
bool PumpUntil(const std::function<bool()>& done, int ms = 5000, int sleepUs = 1000);

// The network layer's globals, once, with their root queued as start-up does.
void StartNetworkLayer();
