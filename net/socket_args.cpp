// net/socket_args.cpp — what the socket calls make of their arguments: a host name's bytes,
// a buffer range clipped to the buffer, a buffer's send and receive as plain bytes. Kept apart from the
// system calls so that a test socket can take socket.cpp's place and still share them. Depends on: socket.h,
// data_buffer.h, runtime (String).
#include "socket.h"

#include <chrono>

#include "data_buffer.h"

std::string zu_socket_HostBytes(const String& s) {
  std::string out;
  if (s.Length() < 1 || s.Length() > 1023) return out;
  for (int i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i] & 0xff);
  return out;
}

void zu_socket_Clip(const ZuDataBuffer* buffer, int& offset, int& count) {
  const int length = buffer ? buffer->length : 0;
  if (offset < 0) offset = 0;
  if (offset > length) offset = length;
  if (count < 0) count = 0;
  if (count > length - offset) count = length - offset;
}

long long zu_socket_NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int ZuSocket::Send(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  return SendBytes(count ? buffer->data + offset : nullptr, count);
}

int ZuSocket::Receive(ZuDataBuffer* buffer, int offset, int count) {
  zu_socket_Clip(buffer, offset, count);
  return ReceiveBytes(count ? buffer->data + offset : nullptr, count);
}
