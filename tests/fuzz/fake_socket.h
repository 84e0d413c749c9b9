// tests/fuzz/fake_socket.h — the script of the fake ZuSocket (fake_socket.cpp), which stands in
// for net/socket.cpp in the HTTP reply harness: a connect to 127.0.0.1:80 succeeds, sends are
// kept, and receives hand out the reply in pieces of the sizes the script gives, then the end.
// Depends on: nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FakePeer {
  std::string reply;              // what the peer sends, in order
  std::vector<std::size_t> split; // the size of each receive's piece, in turn; then all that fits
  // Written by the socket's worker threads; read by the harness once the request is over.
  std::size_t sent = 0;  // reply bytes handed out
  std::size_t reads = 0; // receives served
  std::string request;   // every byte sent to the peer
  int connects = 0;
};

// The peer every fake socket talks to. The harness sets it before a request starts.
extern FakePeer g_fakePeer;
