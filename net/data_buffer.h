// net/data_buffer.h — ZuDataBuffer and c_DataBuffer: a byte block filled once, with clipped access.
// Depends on: host (ZuGame::LoadData), runtime (Object, Array, String, zuError, the collector).
//
// A buffer holds `length` bytes at `data` (from malloc; null and 0 when empty). It is filled
// at most once: by allocation, by adopting a block or by loading a file through the host;
// Discard empties it again. Every access clips its range to the buffer and to the array,
// so no address, offset or count, however wild, touches memory outside them: an
// out-of-range start moves nothing. Byte reads give signed values -128..127; byte writes
// keep the low 8 bits. String encodings are "utf8" and "ascii"; any other name is a
// run-time error.
#pragma once

#include <vector>

#include "runtime/array.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class ZuDataBuffer : public Object {
public:
  unsigned char* data = nullptr; // malloc'd; null when empty
  int length = 0;                // 0 when empty

  ZuDataBuffer() = default;
  ~ZuDataBuffer() override;

  // Fills an empty buffer: adopts `block` (which must come from malloc and hold `length`
  // bytes), or allocates `length` zeroed bytes when `block` is null. False, leaving the
  // buffer and the block untouched, when the buffer already holds data, when the length is
  // negative or when memory runs out. A length of 0 gives an empty buffer (an adopted
  // block is then freed).
  bool _New(int length, void* block = nullptr);
  // Fills an empty buffer with the whole file the host reads for `path`. False when the
  // buffer already holds data, there is no host or the file cannot be read. An empty file
  // gives an empty buffer and true.
  bool _Load(const String& path);
  // Frees the bytes; the buffer is empty and may be filled again. While an operation holds
  // the buffer (Pin) the block is only set aside: it is freed when the last one lets go.
  void Discard();

  // An operation in flight holds the bytes it was given (main thread only). `fills` changes
  // whenever the buffer is filled or discarded, so an operation can tell that its bytes are
  // no longer the buffer's.
  void Pin() { ++pins; }
  void Unpin();
  int Fills() const { return fills; }

private:
  int pins = 0;
  int fills = 0;
  std::vector<unsigned char*> setAside; // discarded while pinned
};

class c_DataBuffer : public ZuDataBuffer {
public:
  // Allocates `length` zeroed bytes. A run-time error "Allocate DataBuffer failed" when the
  // buffer already holds data, the length is negative or memory runs out.
  c_DataBuffer* m_new(int length);
  // A new buffer filled with the host's LoadData(path); null when it cannot be read.
  static c_DataBuffer* m_Load(const String& path);

  // Writes bytes[offset .. offset+count) at `address`, each one's low 8 bits.
  void p_PokeBytes(int address, Array<int> bytes, int offset, int count);
  // Reads `count` bytes at `address` into bytes[offset ..] as signed values.
  void p_PeekBytes(int address, Array<int> bytes, int offset, int count);
  // Reads `count` bytes at `address` into a new array of signed values.
  Array<int> p_PeekBytes2(int address, int count);
  // Copies `count` bytes at `address` to `dst` at `dstAddress`; overlapping ranges in one
  // buffer copy as if through a temporary. A null `dst` copies nothing.
  void p_CopyBytes(int address, c_DataBuffer* dst, int dstAddress, int count);
  // Writes the encoded string at `address`, as much of it as fits. Returns the full
  // encoded length ("utf8": bytes; "ascii": the string's length) even when less fitted.
  int p_PokeString(int address, const String& str, const String& encoding);
  // Decodes `count` bytes at `address`. "utf8" falls back to one character per byte
  // (0..255) when the bytes are not valid 1..3-byte UTF-8; "ascii" maps each byte to
  // the character 0..255.
  String p_PeekString(int address, int count, const String& encoding);
  // Decodes from `address` to the end of the buffer.
  String p_PeekString2(int address, const String& encoding);
};
