// net/socket.h — ZuSocket and ZuSocketAddress: thin wrappers over POSIX IPv4 sockets, with
// the timeouts that keep blocking calls from waiting forever.
// Depends on: runtime (Object, String), net/data_buffer.h (the bytes sent and received).
//
// Blocking calls (connect, send, receive) may run on worker threads: they touch only the
// descriptor, the plain bytes handed to them and the atomics below, never a String or a
// collected object's links.
#pragma once

#include <atomic>
#include <netinet/in.h>
#include <string>

#include "data_buffer.h"
#include "runtime/gc.h"
#include "runtime/string.h"

// Protocol numbers of ZuSocket and c_Socket.
constexpr int SOCKET_STREAM = 1, SOCKET_SERVER = 2, SOCKET_DATAGRAM = 3;

// How long a blocking call may wait, in milliseconds: a connect in all, a send or a receive
// for the next byte. Tests shorten them.
extern std::atomic<int> zu_socket_connectTimeoutMs; // 10,000
extern std::atomic<int> zu_socket_ioTimeoutMs;      // 30,000

// The bytes of a host name as the address functions take it: the low byte of each character;
// empty when the text is empty or longer than any host name (1023).
std::string zu_socket_HostBytes(const String& host);

// The IPv4 address of a host name or dotted text, looked up afresh (thread-safe); false when
// the name does not resolve or resolves to 0.0.0.0, which would reach this machine.
bool zu_socket_Resolve(const std::string& host, in_addr* out);

class ZuSocketAddress : public Object {
public:
  sockaddr_in addr;
  bool valid = false; // host and port below describe addr
  String host;        // dotted decimal
  int port = 0;

  ZuSocketAddress();
  // Resolves the host (an unresolved one leaves 0.0.0.0); false when it did not resolve.
  bool Set(const String& host, int port);
  void Set(const ZuSocketAddress* other);
  void Set(const sockaddr_in& a);
  void Validate();
};

class ZuSocket : public Object {
public:
  int sock = -1; // -1 when closed
  int protocol = 0;
  int accepted = -1;             // the connection Accept took, until Accepted hands it over
  std::atomic<bool> shut{false}; // Shutdown was called: blocking calls give up
  // When every blocking call gives up, in zu_socket_NowMs's milliseconds; 0 for none (then
  // only the timeouts above bound them).
  std::atomic<long long> deadlineMs{0};

  ZuSocket() = default;
  ZuSocket(int handle, int protocol) : sock(handle), protocol(protocol) {}
  ~ZuSocket() override;

  bool Open(int protocol);
  void Close();
  // Ends every transfer at once and wakes a blocked receive; the descriptor stays open (so
  // it cannot be reused under an operation still queued) until Close.
  void Shutdown();
  bool Bind(const String& host, int port);
  bool Connect(const String& host, int port);
  // Connects to the address bytes of a host looked up on this thread, giving up after the
  // connect timeout or once Shutdown is called. Safe on a worker thread.
  bool ConnectTo(const std::string& host, int port);
  bool Listen(int backlog);
  // Takes the next connection; one taken before and never handed over is closed first.
  bool Accept();
  ZuSocket* Accepted();
  // Sends every byte, or -1; receives once, 0 when the peer closed, -1 on an error or after
  // the I/O timeout. Offsets and counts are clipped to the buffer; SendTo and ReceiveFrom given no
  // buffer give -1.
  int Send(ZuDataBuffer* buffer, int offset, int count);
  int Receive(ZuDataBuffer* buffer, int offset, int count);
  // The same over plain bytes, which a worker is handed instead of the buffer: it never reads
  // the buffer's fields, which the main thread may change meanwhile.
  int SendBytes(const unsigned char* bytes, int count);
  int ReceiveBytes(unsigned char* bytes, int count);
  int SendTo(ZuDataBuffer* buffer, int offset, int count, ZuSocketAddress* address);
  int ReceiveFrom(ZuDataBuffer* buffer, int offset, int count, ZuSocketAddress* address);
  void GetLocalAddress(ZuSocketAddress* address);
  void GetRemoteAddress(ZuSocketAddress* address);
};

// Milliseconds on the steady clock, the scale of ZuSocket::deadlineMs.
long long zu_socket_NowMs();

// Clips a range of a buffer: the offset into 0..length, the count into 0..length - offset.
void zu_socket_Clip(const ZuDataBuffer* buffer, int& offset, int& count);
