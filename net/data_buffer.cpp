// net/data_buffer.cpp — data buffers: filling, discarding, clipped byte/array/copy/string access.
// Depends on: data_buffer.h, host (ZuGame::LoadData), runtime (String, Array, zuError, the collector).
#include "data_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/game.h"
#include "runtime/errors.h"

namespace {

// How many of `count` items starting at `at` lie inside a range of `size` items: 0 when
// the count is not positive or `at` is outside [0, size). Never overflows.
int clip(int at, int size, int count) {
  if (count <= 0 || at < 0 || at >= size) return 0;
  int room = size - at; // 0 < room <= size: no overflow
  return count < room ? count : room;
}

// A stored byte as the signed value -128..127.
inline int signed_byte(unsigned char b) { return b < 128 ? b : b - 256; }

enum class Encoding { Utf8, Ascii };

// "utf8" or "ascii"; any other name is a run-time error.
Encoding encoding_of(const String& name) {
  if (name == String("utf8")) return Encoding::Utf8;
  if (name == String("ascii")) return Encoding::Ascii;
  zuError(String("Invalid string encoding:") + name);
}

} // namespace

// ============================================================================
// [SECTION] ZuDataBuffer: filling and discarding
// ============================================================================

ZuDataBuffer::~ZuDataBuffer() {
  std::free(data);
  for (unsigned char* block : setAside) std::free(block);
}

bool ZuDataBuffer::_New(int length, void* block) {
  if (data || length < 0) return false;
  if (length == 0) {
    std::free(block); // adopted, but an empty buffer keeps no block
    return true;
  }
  if (!block) {
    block = std::calloc(static_cast<std::size_t>(length), 1);
    if (!block) return false;
    gc_ext_malloced(length);
  }
  data = static_cast<unsigned char*>(block);
  this->length = length;
  ++fills;
  return true;
}

bool ZuDataBuffer::_Load(const String& path) {
  if (data || !ZuGame::_game) return false;
  int n = 0;
  unsigned char* block = ZuGame::_game->LoadData(path, &n);
  if (!block) return false;
  if (n <= 0) {
    std::free(block);
    return n == 0; // an empty file is an empty buffer; a negative length is the host's fault
  }
  data = block;
  length = n;
  ++fills;
  return true;
}

void ZuDataBuffer::Discard() {
  // A worker may still be reading or writing these bytes: they wait for the last operation.
  if (pins > 0 && data)
    setAside.push_back(data);
  else
    std::free(data);
  data = nullptr;
  length = 0;
  ++fills;
}

void ZuDataBuffer::Unpin() {
  if (pins > 0 && --pins == 0) {
    for (unsigned char* block : setAside) std::free(block);
    setAside.clear();
  }
}

// ============================================================================
// [SECTION] c_DataBuffer: creation
// ============================================================================

c_DataBuffer* c_DataBuffer::m_new(int length) {
  if (!_New(length)) zuError(String("Allocate DataBuffer failed"));
  return this;
}

c_DataBuffer* c_DataBuffer::m_Load(const String& path) {
  c_DataBuffer* buffer = new c_DataBuffer;
  return buffer->_Load(path) ? buffer : nullptr;
}

// ============================================================================
// [SECTION] Bytes and copies
// ============================================================================

void c_DataBuffer::p_PokeBytes(int address, Array<int> bytes, int offset, int count) {
  int n = clip(offset, bytes.Length(), clip(address, length, count));
  for (int i = 0; i < n; ++i) data[address + i] = static_cast<unsigned char>(bytes[offset + i] & 0xFF);
}

void c_DataBuffer::p_PeekBytes(int address, Array<int> bytes, int offset, int count) {
  int n = clip(offset, bytes.Length(), clip(address, length, count));
  for (int i = 0; i < n; ++i) bytes[offset + i] = signed_byte(data[address + i]);
}

Array<int> c_DataBuffer::p_PeekBytes2(int address, int count) {
  int n = clip(address, length, count);
  Array<int> bytes(n);
  for (int i = 0; i < n; ++i) bytes[i] = signed_byte(data[address + i]);
  return bytes;
}

void c_DataBuffer::p_CopyBytes(int address, c_DataBuffer* dst, int dstAddress, int count) {
  if (!dst) return;
  int n = clip(dstAddress, dst->length, clip(address, length, count));
  // memmove copies last-to-first when the source lies below the destination.
  if (n > 0) std::memmove(dst->data + dstAddress, data + address, static_cast<std::size_t>(n));
}

// ============================================================================
// [SECTION] Strings
// ============================================================================

int c_DataBuffer::p_PokeString(int address, const String& str, const String& encoding) {
  if (encoding_of(encoding) == Encoding::Utf8) {
    std::string bytes = str.ToUtf8();
    int full = bytes.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(bytes.size());
    int n = clip(address, length, full);
    if (n > 0) std::memcpy(data + address, bytes.data(), static_cast<std::size_t>(n));
    return full;
  }
  int n = clip(address, length, str.Length());
  for (int i = 0; i < n; ++i) data[address + i] = static_cast<unsigned char>(str[i] & 0xFF);
  return str.Length();
}

String c_DataBuffer::p_PeekString(int address, int count, const String& encoding) {
  Encoding e = encoding_of(encoding);
  int n = clip(address, length, count);
  if (n == 0) return String();
  const char* bytes = reinterpret_cast<const char*>(data + address);
  // Both fall back to / produce one character per byte, widened as unsigned 0..255.
  return e == Encoding::Utf8 ? String::FromUtf8(bytes, n) : String(bytes, n);
}

String c_DataBuffer::p_PeekString2(int address, const String& encoding) {
  int count = address >= 0 && address <= length ? length - address : 0;
  return p_PeekString(address, count, encoding);
}
