// host/files.cpp — the host's file services: paths, files, data, images, audio, saved state, date, URLs.
// Depends on: game.h, desktop_game.h, platform.h, runtime, stb_image (libstb), zlib.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <stb_image.h>
#ifndef LEXORM_NO_ZLIB
#include <zlib.h>
#endif

#include "desktop_game.h"
#include "game.h"
#include "platform.h"

namespace {

const char* const kStateName = ".quokkastate";
// A save is about 2 KB; anything above this is not one and is never read into memory.
constexpr std::size_t kMaxStateBytes = 1 << 20;

// Heap bytes handed to the caller, reported to the collector (clamped to its int counter).
void ReportMalloced(long long bytes) {
  if (bytes <= 0) return;
  gc_ext_malloced(bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes));
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// True when the text starts with the ASCII prefix, letters compared case-insensitively.
bool StartsWithNoCase(const String& s, const char* prefix) {
  int n = static_cast<int>(std::strlen(prefix));
  if (s.Length() < n) return false;
  for (int i = 0; i < n; ++i) {
    if (AsciiLower(s[i]) != AsciiLower(static_cast<unsigned char>(prefix[i]))) return false;
  }
  return true;
}

} // namespace

// ============================================================================
// [SECTION] Files and data
// ============================================================================

std::FILE* ZuGame::OpenFile(const String& path, const String& mode) {
  String file = PathToFilePath(path);
  if (file.Length() == 0) return nullptr;
  return platform::OpenFile(platform::FileNameBytes(file), mode.ToUtf8().c_str());
}

String ZuGame::LoadString(const String& path) {
  std::FILE* f = OpenFile(path, String("rb"));
  if (!f) return String();
  String text = String::Load(f);
  std::fclose(f);
  return text;
}

// An empty file gives a valid 1-byte block with *length 0, so that "data came back" still
// tells a readable empty file from a missing one. A read error (such as a folder opened
// as a file) gives null, never a partial block.
unsigned char* ZuGame::LoadData(const String& path, int* length) {
  std::FILE* f = OpenFile(path, String("rb"));
  if (!f) return nullptr;
  std::vector<unsigned char> bytes;
  unsigned char block[4096];
  bool tooBig = false;
  for (;;) {
    std::size_t got = std::fread(block, 1, sizeof block, f);
    if (bytes.size() + got > static_cast<std::size_t>(INT_MAX)) {
      tooBig = true;
      break;
    }
    bytes.insert(bytes.end(), block, block + got);
    if (got < sizeof block) break;
  }
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError || tooBig) {
    zuPrint(String("LoadData: cannot read ") + path + (tooBig ? String(" (larger than 2 GB)") : String()));
    return nullptr;
  }
  std::size_t n = bytes.size();
  unsigned char* data = static_cast<unsigned char*>(std::malloc(n ? n : 1));
  if (!data) {
    zuPrint(String("LoadData: out of memory for ") + path);
    return nullptr;
  }
  if (n) std::memcpy(data, bytes.data(), n);
  if (length) *length = static_cast<int>(n);
  ReportMalloced(static_cast<long long>(n));
  return data;
}

int readInt(std::FILE* f) {
  unsigned char b[4];
  if (!f || std::fread(b, 1, 4, f) != 4) return -1;
  unsigned v = static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
               static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24;
  return static_cast<int>(v);
}

// ============================================================================
// [SECTION] Saved state and the date
// ============================================================================

// Read once, at start-up: the temporary files of saves killed before their rename go first. A
// state file that is no regular file, or too large to be a save, is passed over with one line:
// the game starts as on a first run, and the file stays as it is until the next save replaces it.
String ZuGame::LoadState() {
  platform::RemoveStaleTemporaries(kStateName);
  std::string bytes;
  const char* why = nullptr;
  switch (platform::ReadSmallFile(std::string("./") + kStateName, kMaxStateBytes, &bytes)) {
  case platform::ReadResult::kRead:
    return String::LoadBytes(bytes.data(), bytes.size());
  case platform::ReadResult::kCannotOpen:
    return String(); // none yet: a first run
  case platform::ReadResult::kNotRegular:
    why = "is not a regular file";
    break;
  case platform::ReadResult::kTooLarge:
    why = "is larger than 1 MiB";
    break;
  case platform::ReadResult::kReadError:
    why = "cannot be read";
    break;
  }
  zuPrint(String("LoadState: ") + String(kStateName) + String(" ") + String(why) +
          String("; starting without it"));
  return String();
}

int ZuGame::SaveState(const String& state) {
  std::string bytes = state.ToUtf8();
  platform::ReplaceResult r = platform::ReplaceFile(kStateName, bytes.data(), bytes.size());
  if (r == platform::ReplaceResult::kReplaced) return 0;
  zuPrint(String("SaveState: the state was not saved (") + String(platform::ReplaceResultText(r)) +
          String("); the previous one is kept"));
  return r == platform::ReplaceResult::kCannotOpen ? -1 : -2;
}

void ZuGame::GetDate(Array<int> date) {
  platform::LocalTime t;
  if (!platform::Now(&t)) {
    zuPrint(String("GetDate: the local time cannot be read"));
    return;
  }
  const int fields[7] = {t.year, t.month, t.day, t.hour, t.minute, t.second, 0};
  for (int i = 0; i < date.Length() && i < 7; ++i) date[i] = fields[i];
}

// ============================================================================
// [SECTION] Paths
// ============================================================================

String zu_data_FixDataPath(const String& path) {
  int scheme = path.Find(String(":/"));
  if (scheme != -1 && path.Find(String("/")) == scheme + 1) return path;
  if (path.StartsWith(String("./")) || path.StartsWith(String("/"))) return path;
  return String("quokka://data/") + path;
}

// The folder holding the program. Backslashes are kept: on Linux they are ordinary
// characters of a folder name, not separators.
String ZuGlfwGame::ProgramFolder() {
  String exe = platform::ExecutablePath();
  int slash = -1;
  for (int i = 0; i < exe.Length(); ++i)
    if (exe[i] == u'/') slash = i;
  if (slash < 0) {
    zuPrint(String("PathToFilePath: the program's folder is unknown; using the current folder"));
    return String(".");
  }
  return exe.Slice(0, slash);
}

String ZuGlfwGame::PathToFilePath(const String& path) {
  if (!path.StartsWith(String("quokka:"))) return path;
  if (_baseDir.Length() == 0) _baseDir = ProgramFolder();
  static const String data("quokka://data/"), internal("quokka://internal/"), external("quokka://external/");
  if (path.StartsWith(data)) return _baseDir + String("/data/") + path.Slice(data.Length());
  if (path.StartsWith(internal)) {
    if (_internalDir.Length() == 0) _internalDir = _baseDir + String("/internal");
    return _internalDir + String("/") + path.Slice(internal.Length());
  }
  if (path.StartsWith(external)) return _baseDir + String("/external/") + path.Slice(external.Length());
  return String();
}

// ============================================================================
// [SECTION] Images and audio
// ============================================================================

namespace {

constexpr std::uint32_t kMaxImageSide = 8192; // pixels; the game's largest sheets have 2048

std::uint32_t BigEndian32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The bytes the image data inflates to for the header's size (IHDR's 13 bytes): each row a
// filter byte and its pixels' bits rounded up to whole bytes, pass by pass for Adam7 (a pass
// without pixels has no rows). 0 for a bit depth, colour type or interlace the decoder refuses.
std::uint64_t RawImageBytes(const unsigned char* ihdr) {
  static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4}; // by colour type; 0: none such
  const std::uint64_t w = BigEndian32(ihdr), h = BigEndian32(ihdr + 4);
  const int depth = ihdr[8], colour = ihdr[9], interlace = ihdr[12];
  if ((depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) || colour > 6 ||
      kChannels[colour] == 0 || (colour == 3 && depth == 16) || interlace > 1)
    return 0;
  const std::uint64_t bits = static_cast<std::uint64_t>(kChannels[colour]) * depth; // a pixel
  auto rows = [bits](std::uint64_t pw, std::uint64_t ph) {
    return pw && ph ? ph * (1 + (pw * bits + 7) / 8) : 0;
  };
  if (interlace == 0) return rows(w, h);
  static const std::uint64_t kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kY0[7] = {0, 0, 4, 0, 2, 0, 1};
  static const std::uint64_t kDx[7] = {8, 8, 4, 4, 2, 2, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
  std::uint64_t sum = 0;
  for (int p = 0; p < 7; ++p)
    sum += rows(w > kX0[p] ? (w - kX0[p] + kDx[p] - 1) / kDx[p] : 0,
                h > kY0[p] ? (h - kY0[p] + kDy[p] - 1) / kDy[p] : 0);
  return sum;
}

#ifndef LEXORM_NO_ZLIB
// Inflates the image data as it comes, chunk by chunk, only to count it: stb_image inflates
// all of it into one block before it looks at the size, so a few hundred kilobytes of zeros
// would take gigabytes there. The output goes to a small scratch block and the count stops
// just past the bound. The two bytes of the zlib header are skipped (stb_image checks them)
// and the stream inflated raw, so a file is judged only on what its data inflates to.
class ImageDataMeter {
public:
  explicit ImageDataMeter(std::uint64_t bound) : bound_(bound) {
    ok_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
    started_ = ok_;
  }
  ~ImageDataMeter() {
    if (started_) inflateEnd(&z_);
  }
  ImageDataMeter(const ImageDataMeter&) = delete;
  ImageDataMeter& operator=(const ImageDataMeter&) = delete;

  // Feeds n more bytes of the stream; false once it is damaged or inflates past the bound.
  // Bytes after the stream's end are ignored, as stb_image ignores them.
  bool Feed(const unsigned char* p, std::size_t n) {
    for (; n > 0 && header_ < 2; ++p, --n) ++header_;
    z_.next_in = const_cast<unsigned char*>(p);
    z_.avail_in = static_cast<uInt>(n);
    // Until the input is used up and no output waits (a full scratch block may leave some);
    // Z_BUF_ERROR only says that nothing more can be done without more input.
    while (ok_ && !ended_) {
      unsigned char scratch[16384];
      z_.next_out = scratch;
      z_.avail_out = sizeof scratch;
      const int r = inflate(&z_, Z_NO_FLUSH);
      ended_ = r == Z_STREAM_END;
      if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) ok_ = false;
      if (z_.total_out > bound_) ok_ = false, tooMuch_ = true;
      if (r == Z_BUF_ERROR || (z_.avail_in == 0 && z_.avail_out > 0)) break;
    }
    return ok_;
  }
  bool Ended() const { return ok_ && ended_; }
  bool TooMuch() const { return tooMuch_; }

private:
  z_stream z_{};
  std::uint64_t bound_;
  int header_ = 0;
  bool ok_ = false, started_ = false, ended_ = false, tooMuch_ = false;
};

#else
// The browser build has no zlib: the image data is not counted before stb_image inflates it, so
// a file inflating far past its size fails in stb_image's allocation rather than here. That build
// loads only the data packed with it.
class ImageDataMeter {
public:
  explicit ImageDataMeter(std::uint64_t) {}
  bool Feed(const unsigned char*, std::size_t) { return true; }
  bool Ended() const { return true; }
  bool TooMuch() const { return false; }
};
#endif

// Copies the chunk's data from the file into the meter, a block at a time.
bool MeterChunk(std::FILE* f, std::uint32_t length, ImageDataMeter* meter) {
  unsigned char block[16384];
  while (length > 0) {
    const std::size_t n = length < sizeof block ? length : sizeof block;
    if (std::fread(block, 1, n, f) != n || !meter->Feed(block, n)) return false;
    length -= static_cast<std::uint32_t>(n);
  }
  return true;
}

// The game's images are PNG files, and nothing else reaches stb_image: its decoders of other
// formats are not needed (one gives an image of 0 x 0 for a bare PNM header). Its PNG decoder
// takes memory for the sizes a file states before it finds the data missing — a chunk's length,
// the width times the height, the image data inflated: up to gigabytes for a damaged file of a
// few bytes or a few hundred kilobytes. So the file must hold the signature, an IHDR chunk first
// with 1..kMaxImageSide pixels a side and a bit depth and colour type the decoder takes, every
// chunk up to IEND whole, and image data (its IDAT chunks, one zlib stream) that ends and
// inflates to no more than the header's size needs. Apple's variant (a CgBI chunk: data without
// the zlib header) is refused. `why` says what is wrong; the file is left at its start.
bool UsablePng(std::FILE* f, const char** why) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char head[8];
  const bool png = std::fread(head, 1, 8, f) == 8 && std::memcmp(head, kSignature, 8) == 0;
  long end = -1;
  if (png && std::fseek(f, 0, SEEK_END) == 0) end = std::ftell(f);
  bool ok = png && end >= 0 && std::fseek(f, 8, SEEK_SET) == 0;
  *why = png ? "damaged PNG file" : "not a PNG file";
  std::uint64_t bound = 0;
  std::unique_ptr<ImageDataMeter> meter;
  for (long at = 8; ok; at += 12 + static_cast<long>(BigEndian32(head))) {
    // Length and type, the data, the check sum: the whole chunk inside the file.
    if (end - at < 12 || std::fread(head, 1, 8, f) != 8 ||
        BigEndian32(head) > static_cast<std::uint32_t>(end - at - 12)) {
      ok = false;
    } else if (at == 8) {
      unsigned char ihdr[13];
      ok = std::memcmp(head + 4, "IHDR", 4) == 0 && BigEndian32(head) == 13 &&
           std::fread(ihdr, 1, 13, f) == 13;
      const std::uint32_t w = ok ? BigEndian32(ihdr) : 0, h = ok ? BigEndian32(ihdr + 4) : 0;
      if (ok && (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide)) {
        ok = false;
        *why = "image size out of range";
      } else if (ok && (bound = RawImageBytes(ihdr)) == 0) {
        ok = false;
        *why = "unsupported bit depth, colour type or interlace";
      }
      if (ok) meter = std::make_unique<ImageDataMeter>(bound);
    } else if (std::memcmp(head + 4, "IDAT", 4) == 0) {
      if (!MeterChunk(f, BigEndian32(head), meter.get())) {
        ok = false;
        *why = meter->TooMuch() ? "image data larger than its size needs" : "damaged image data";
      }
    } else if (std::memcmp(head + 4, "CgBI", 4) == 0) {
      ok = false;
      *why = "unsupported PNG variant (CgBI)";
    } else if (std::memcmp(head + 4, "IEND", 4) == 0) {
      if (!meter->Ended()) {
        ok = false;
        *why = "image data missing or cut short";
      }
      break;
    }
    if (ok) ok = std::fseek(f, at + 12 + static_cast<long>(BigEndian32(head)), SEEK_SET) == 0;
  }
  return std::fseek(f, 0, SEEK_SET) == 0 && ok;
}

} // namespace

// One line for a data file that cannot be used, naming it as found on disk ("who: what file",
// then ": detail"); said once per line, however often the game asks for the file again.
void ZuGlfwGame::SayCannotLoad(const char* who, const String& path, const char* what, const char* detail) {
  static std::set<std::string> said;
  String file = PathToFilePath(path);
  if (file.Length() == 0) file = path;
  std::string line = std::string(who) + ": " + what + " " + file.ToUtf8();
  if (detail) line += std::string(": ") + detail;
  if (said.insert(line).second) zuPrint(String::FromUtf8(line.data(), static_cast<int>(line.size())));
}

unsigned char* ZuGlfwGame::LoadImageData(const String& path, int* width, int* height, int* depth) {
  std::FILE* f = OpenFile(path, String("rb"));
  if (!f) {
    SayCannotLoad("LoadImageData", path, "cannot open");
    return nullptr;
  }
  int w = 0, h = 0, d = 0;
  const char* why = nullptr;
  unsigned char* pixels = nullptr;
  if (UsablePng(f, &why)) {
    pixels = stbi_load_from_file(f, &w, &h, &d, 0);
    why = stbi_failure_reason();
  }
  std::fclose(f);
  if (pixels && (w < 1 || h < 1 || d < 1 || d > 4)) { // never an image without pixels
    stbi_image_free(pixels);
    pixels = nullptr;
    why = "no pixels";
  }
  if (!pixels) {
    SayCannotLoad("LoadImageData", path, "cannot decode", why ? why : "unknown");
    return nullptr;
  }
  if (width) *width = w;
  if (height) *height = h;
  if (depth) *depth = d;
  ReportMalloced(static_cast<long long>(w) * h * d);
  return pixels;
}

namespace {

struct AudioReaderEntry {
  char extension[16]; // lower case, with the dot
  ZuAudioReader reader;
};
AudioReaderEntry g_audioReaders[8];

// The lower-case extension with its dot (".wav"), or false when it does not fit.
bool NormalizeExtension(const char* in, char (&out)[16]) {
  std::size_t n = in ? std::strlen(in) : 0;
  std::size_t dot = in && in[0] != '.' ? 1 : 0;
  if (n == 0 || n + dot >= sizeof out) return false;
  out[0] = '.';
  for (std::size_t i = 0; i < n; ++i) {
    char c = in[i];
    out[i + dot] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  out[n + dot] = '\0';
  return true;
}

ZuAudioReader FindAudioReader(const String& path) {
  int dot = -1;
  for (int i = 0; i < path.Length(); ++i) {
    if (path[i] == u'/') dot = -1;
    if (path[i] == u'.') dot = i;
  }
  if (dot < 0) return nullptr;
  std::string ext = path.Slice(dot).ToUtf8();
  char key[16];
  if (!NormalizeExtension(ext.c_str(), key)) return nullptr;
  for (const AudioReaderEntry& e : g_audioReaders)
    if (e.reader && std::strcmp(e.extension, key) == 0) return e.reader;
  return nullptr;
}

} // namespace

void ZuGlfwGame::SetAudioReader(const char* extension, ZuAudioReader reader) {
  char key[16];
  if (!NormalizeExtension(extension, key)) {
    zuPrint(String("SetAudioReader: unusable extension"));
    return;
  }
  AudioReaderEntry* slot = nullptr;
  for (AudioReaderEntry& e : g_audioReaders) {
    if (e.reader && std::strcmp(e.extension, key) == 0) {
      slot = &e;
      break;
    }
    if (!e.reader && !slot) slot = &e;
  }
  if (!slot) {
    zuPrint(String("SetAudioReader: too many readers"));
    return;
  }
  std::memcpy(slot->extension, key, sizeof key);
  slot->reader = reader; // null unregisters
}

unsigned char* ZuGlfwGame::LoadAudioData(const String& path, int* length, int* channels, int* format,
                                         int* hertz) {
  ZuAudioReader reader = FindAudioReader(path);
  if (!reader) {
    zuPrint(String("LoadAudioData: no reader for this kind of file: ") + path);
    return nullptr;
  }
  std::FILE* f = OpenFile(path, String("rb"));
  if (!f) {
    SayCannotLoad("LoadAudioData", path, "cannot open");
    return nullptr;
  }
  int n = 0, c = 0, fmt = 0, hz = 0;
  unsigned char* samples = reader(f, &n, &c, &fmt, &hz);
  std::fclose(f);
  if (!samples) {
    SayCannotLoad("LoadAudioData", path, "cannot decode");
    return nullptr;
  }
  if (length) *length = n;
  if (channels) *channels = c;
  if (format) *format = fmt;
  if (hertz) *hertz = hz;
  ReportMalloced(static_cast<long long>(n) * c * fmt);
  return samples;
}

// ============================================================================
// [SECTION] URLs
// ============================================================================

// UTF-8 for the browser: surrogate pairs become one 4-byte sequence. False for text that
// no browser should be handed: control characters or a lone surrogate.
static bool UrlToUtf8(const String& url, std::string* out) {
  for (int i = 0; i < url.Length(); ++i) {
    unsigned c = url[i];
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    if (c >= 0xD800 && c <= 0xDFFF) {
      unsigned lo = i + 1 < url.Length() ? url[i + 1] : 0;
      if (c > 0xDBFF || lo < 0xDC00 || lo > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      *out += static_cast<char>(c);
    } else if (c < 0x800) {
      *out += static_cast<char>(0xC0 | c >> 6);
      *out += static_cast<char>(0x80 | (c & 63));
    } else if (c < 0x10000) {
      *out += static_cast<char>(0xE0 | c >> 12);
      *out += static_cast<char>(0x80 | ((c >> 6) & 63));
      *out += static_cast<char>(0x80 | (c & 63));
    } else {
      *out += static_cast<char>(0xF0 | c >> 18);
      *out += static_cast<char>(0x80 | ((c >> 12) & 63));
      *out += static_cast<char>(0x80 | ((c >> 6) & 63));
      *out += static_cast<char>(0x80 | (c & 63));
    }
  }
  return true;
}

void ZuGlfwGame::OpenUrl(const String& url) {
  int scheme = StartsWithNoCase(url, "https://") ? 8 : StartsWithNoCase(url, "http://") ? 7 : 0;
  if (scheme == 0 || url.Length() == scheme) {
    zuPrint(String("OpenUrl: refused, only http:// and https:// addresses are opened"));
    return;
  }
  std::string text;
  if (!UrlToUtf8(url, &text)) {
    zuPrint(String("OpenUrl: refused, the address holds control characters or broken text"));
    return;
  }
  std::string error;
  if (!platform::OpenInBrowser(text, &error))
    zuPrint(String("OpenUrl: ") + String::FromUtf8(error.data(), static_cast<int>(error.size())));
}
