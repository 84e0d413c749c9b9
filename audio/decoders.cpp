// audio/decoders.cpp — LoadWAV, LoadOGG and their registration with the host.
// Depends on: decoders.h, host (desktop_game.h), stb_vorbis (libstb: the implementation is in
// the library, only the declarations are included here).
#include "decoders.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>
#include <vector>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include "host/desktop_game.h"

namespace {

// ============================================================================
// [SECTION] Reading little-endian values
// ============================================================================

bool ReadU16(std::FILE* f, std::uint32_t* v) {
  unsigned char b[2];
  if (std::fread(b, 1, 2, f) != 2) return false;
  *v = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8;
  return true;
}

// Unsigned, so that no size turns negative; false only at the end of the file.
bool ReadU32(std::FILE* f, std::uint32_t* v) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  *v = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
       static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  return true;
}

bool ReadTag(std::FILE* f, char (&tag)[4]) { return std::fread(tag, 1, 4, f) == 4; }

bool IsTag(const char (&tag)[4], const char* want) { return std::memcmp(tag, want, 4) == 0; }

bool ExpectTag(std::FILE* f, const char* want) {
  char tag[4];
  return ReadTag(f, tag) && IsTag(tag, want);
}

// The file's end, so that every size can be checked against what is left; -1 when the
// file cannot be measured (not seekable).
off_t FileEnd(std::FILE* f) {
  off_t here = ftello(f);
  if (here < 0 || fseeko(f, 0, SEEK_END) != 0) return -1;
  off_t end = ftello(f);
  if (fseeko(f, here, SEEK_SET) != 0) return -1;
  return end;
}

off_t Remaining(std::FILE* f, off_t end) {
  off_t here = ftello(f);
  return here < 0 || here > end ? 0 : end - here;
}

// Skips n bytes that the file holds; false when fewer are left.
bool Skip(std::FILE* f, off_t end, std::uint64_t n) {
  if (static_cast<off_t>(n) > Remaining(f, end)) return false;
  return n == 0 || fseeko(f, static_cast<off_t>(n), SEEK_CUR) == 0;
}

} // namespace

// ============================================================================
// [SECTION] WAV
// ============================================================================

unsigned char* LoadWAV(std::FILE* f, int* length, int* channels, int* format, int* hertz) {
  if (!f) return nullptr;
  off_t end = FileEnd(f);
  if (end < 0) return nullptr;

  std::uint32_t riffSize = 0;
  if (!ExpectTag(f, "RIFF") || !ReadU32(f, &riffSize) || !ExpectTag(f, "WAVE") || !ExpectTag(f, "fmt "))
    return nullptr;

  std::uint32_t fmtSize = 0, audioFormat = 0, numChannels = 0, rate = 0, byteRate = 0, blockAlign = 0,
                bits = 0;
  if (!ReadU32(f, &fmtSize) || fmtSize < 16) return nullptr;
  if (!ReadU16(f, &audioFormat) || !ReadU16(f, &numChannels) || !ReadU32(f, &rate) ||
      !ReadU32(f, &byteRate) || !ReadU16(f, &blockAlign) || !ReadU16(f, &bits))
    return nullptr;
  if (audioFormat != 1) return nullptr; // PCM only: no float, no compressed formats
  if (numChannels != 1 && numChannels != 2) return nullptr;
  if (bits != 8 && bits != 16) return nullptr;
  if (rate == 0 || rate > static_cast<std::uint32_t>(INT_MAX)) return nullptr;
  // A chunk of odd size is followed by a pad byte.
  if (!Skip(f, end, fmtSize - 16 + (fmtSize & 1))) return nullptr;

  const std::uint32_t frameBytes = numChannels * (bits / 8);
  for (;;) {
    char tag[4];
    std::uint32_t size = 0;
    if (!ReadTag(f, tag) || !ReadU32(f, &size)) return nullptr; // ended before "data"
    if (!IsTag(tag, "data")) {
      if (!Skip(f, end, static_cast<std::uint64_t>(size) + (size & 1))) return nullptr; // past the end
      continue;
    }
    if (static_cast<off_t>(size) > Remaining(f, end)) return nullptr; // truncated data
    std::uint32_t frames = size / frameBytes;
    if (frames == 0) return nullptr;
    std::uint64_t bytes = static_cast<std::uint64_t>(frames) * frameBytes;
    if (bytes > static_cast<std::uint64_t>(INT_MAX)) return nullptr; // more than one OpenAL buffer holds
    unsigned char* data = static_cast<unsigned char*>(std::malloc(bytes));
    if (!data) return nullptr;
    if (std::fread(data, 1, bytes, f) != bytes) {
      std::free(data);
      return nullptr;
    }
    *length = static_cast<int>(frames);
    *channels = static_cast<int>(numChannels);
    *format = static_cast<int>(bits / 8);
    *hertz = static_cast<int>(rate);
    return data;
  }
}

// ============================================================================
// [SECTION] Ogg Vorbis
// ============================================================================

// stb_vorbis (1.22, as Debian ships it) trusts the lengths in a stream's comment header: a
// vendor or comment length beyond the packet makes it write outside its memory. So the
// comment header is read first, the way stb_vorbis reads it (the packet starts with the
// second page's first segment and runs over continued pages), and the stream is refused
// unless every length fits the packet. Pages without segments are refused too: for them
// stb_vorbis reads a stale segment length.
namespace {

struct OggPage {
  unsigned flags = 0;
  int segments = 0;
  unsigned char lacing[255];
};

bool ReadOggPage(std::FILE* f, OggPage* page) {
  unsigned char h[27];
  if (std::fread(h, 1, 27, f) != 27 || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0) return false;
  page->flags = h[5];
  page->segments = h[26];
  if (page->segments == 0) return false;
  return std::fread(page->lacing, 1, page->segments, f) == static_cast<std::size_t>(page->segments);
}

bool VorbisCommentsFit(std::FILE* f, off_t end) {
  OggPage page;
  // First page: the identification header, one packet of 30 bytes (stb_vorbis takes no other).
  if (!ReadOggPage(f, &page) || page.segments != 1 || page.lacing[0] != 30 || !Skip(f, end, 30)) return false;
  std::vector<unsigned char> packet;
  if (!ReadOggPage(f, &page)) return false;
  for (int seg = 0;;) {
    if (seg == page.segments) {
      if (!ReadOggPage(f, &page) || !(page.flags & 1)) return false; // must continue the packet
      seg = 0;
    }
    std::size_t len = page.lacing[seg++];
    std::size_t at = packet.size();
    packet.resize(at + len);
    if (len && std::fread(&packet[at], 1, len, f) != len) return false;
    if (len < 255) break;
  }
  std::size_t pos = 7;
  if (packet.size() < pos || packet[0] != 3 || std::memcmp(&packet[1], "vorbis", 6) != 0) return false;
  // A length field and then that many bytes, inside the packet.
  auto field = [&packet, &pos](std::uint32_t* value) {
    if (packet.size() - pos < 4) return false;
    *value = static_cast<std::uint32_t>(packet[pos]) | static_cast<std::uint32_t>(packet[pos + 1]) << 8 |
             static_cast<std::uint32_t>(packet[pos + 2]) << 16 |
             static_cast<std::uint32_t>(packet[pos + 3]) << 24;
    pos += 4;
    return true;
  };
  std::uint32_t vendor = 0, count = 0;
  if (!field(&vendor) || vendor > packet.size() - pos) return false;
  pos += vendor;
  if (!field(&count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t len = 0;
    if (!field(&len) || len > packet.size() - pos) return false;
    pos += len;
  }
  return pos < packet.size(); // the framing byte
}

} // namespace

// stb_vorbis takes all its memory from one zeroed block of ours rather than from malloc, so
// that whatever it does with its memory on a corrupted stream stays inside that block: its
// frees do nothing, nothing it takes can leak, and the block is released whole. A stream
// whose set-up needs more than the block holds is opened again with a larger one.
namespace {

struct VorbisArena {
  stb_vorbis_alloc alloc{nullptr, 0};
  ~VorbisArena() { std::free(alloc.alloc_buffer); }
};

stb_vorbis* OpenVorbis(std::FILE* f, VorbisArena* arena) {
  off_t start = ftello(f), end = FileEnd(f);
  if (start < 0 || end < 0) return nullptr;
  if (!VorbisCommentsFit(f, end)) return nullptr;
  for (int bytes = 256 * 1024; bytes <= 16 * 1024 * 1024; bytes *= 4) {
    std::free(arena->alloc.alloc_buffer);
    arena->alloc.alloc_buffer = static_cast<char*>(std::calloc(1, bytes));
    arena->alloc.alloc_buffer_length_in_bytes = bytes;
    if (!arena->alloc.alloc_buffer || fseeko(f, start, SEEK_SET) != 0) return nullptr;
    int error = 0;
    stb_vorbis* vorbis = stb_vorbis_open_file(f, 0, &error, &arena->alloc);
    if (vorbis || error != VORBIS_outofmem) return vorbis;
  }
  return nullptr;
}

} // namespace

unsigned char* LoadOGG(std::FILE* f, int* length, int* channels, int* format, int* hertz) {
  if (!f) return nullptr;
  VorbisArena arena;
  stb_vorbis* vorbis = OpenVorbis(f, &arena);
  if (!vorbis) return nullptr;
  stb_vorbis_info info = stb_vorbis_get_info(vorbis);
  const long long numChannels = info.channels;
  // Only what OpenAL plays is decoded at all: mono or stereo, at a sound's rate.
  if (numChannels < 1 || numChannels > kOggMaxChannels || info.sample_rate == 0 ||
      info.sample_rate > kOggMaxRate) {
    stb_vorbis_close(vorbis);
    return nullptr;
  }

  // Room for one whole frame (at most 4096 sample frames) is always kept free. A tune longer
  // than kOggMaxSeconds is refused once it passes that length.
  const long long frameRoom = numChannels * 4096;
  const long long maxValues = numChannels * static_cast<long long>(info.sample_rate) * kOggMaxSeconds;
  long long capacity = frameRoom, used = 0;
  short* values = static_cast<short*>(std::malloc(capacity * sizeof(short)));
  bool ok = values != nullptr;
  while (ok) {
    if (capacity - used < frameRoom) {
      long long grown = capacity * 2;
      if (grown > maxValues + frameRoom) grown = maxValues + frameRoom;
      if (grown - used < frameRoom) {
        ok = false; // longer than a tune may be
        break;
      }
      short* bigger = static_cast<short*>(std::realloc(values, grown * sizeof(short)));
      if (!bigger) {
        ok = false;
        break;
      }
      values = bigger;
      capacity = grown;
    }
    int frames = stb_vorbis_get_frame_short_interleaved(vorbis, static_cast<int>(numChannels), values + used,
                                                        static_cast<int>(capacity - used));
    if (frames <= 0) break;
    used += frames * numChannels;
    if (used > maxValues) ok = false;
  }
  stb_vorbis_close(vorbis);
  if (!ok || used == 0) {
    std::free(values);
    return nullptr;
  }
  if (used < capacity) {
    short* shrunk = static_cast<short*>(std::realloc(values, used * sizeof(short)));
    if (shrunk) values = shrunk;
  }
  *length = static_cast<int>(used / numChannels);
  *channels = static_cast<int>(numChannels);
  *format = 2;
  *hertz = static_cast<int>(info.sample_rate);
  return reinterpret_cast<unsigned char*>(values);
}

// ============================================================================
// [SECTION] Registration
// ============================================================================

void RegisterAudioReaders() {
  ZuGlfwGame::SetAudioReader(".wav", LoadWAV);
  ZuGlfwGame::SetAudioReader(".ogg", LoadOGG);
}
