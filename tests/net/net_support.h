// tests/net/net_support.h — what the network tests share: buffers from bytes, the completion log,
// the update pump, the socket fixture and a whole HTTP fetch.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "net/http.h"
#include "tests/net/test_server.h"

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
