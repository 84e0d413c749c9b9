// tests/host/png_test.cpp — the host's image loader on PNG files made here: refusals, sizes, pixels, bombs.
#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "host/desktop_game.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

using Ints = std::vector<int>;
struct Temp : TempDir { // a fresh current folder
  Temp() : TempDir("png") {}
  InFolder cd{path};
};

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}
std::string Chunk(const char* type, const std::string& data) {
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  return BigEndian(static_cast<std::uint32_t>(data.size())) + body +
         BigEndian(static_cast<std::uint32_t>(crc));
}
std::string Deflate(const std::string& raw) {
  uLongf n = compressBound(raw.size());
  std::string z(n, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&z[0]), &n, reinterpret_cast<const Bytef*>(raw.data()),
                      raw.size(), 9),
            Z_OK);
  return z.substr(0, n);
}

// What a test image is made of: its header and the zlib stream of its image data.
struct Header {
  std::uint32_t w, h;
  int depth, colour, interlace;
};
std::string Png(const Header& hd, const std::string& zdata, const std::string& palette = "") {
  const std::string ihdr = BigEndian(hd.w) + BigEndian(hd.h) +
                           std::string{static_cast<char>(hd.depth), static_cast<char>(hd.colour), 0, 0,
                                       static_cast<char>(hd.interlace)};
  return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr) + (palette.empty() ? "" : Chunk("PLTE", palette)) +
         Chunk("IDAT", zdata) + Chunk("IEND", "");
}

int Channels(int colour) { return colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1; }
// The sample stored for channel c of pixel (x, y): it differs from its neighbours at every depth.
unsigned Sample(int x, int y, int c, int depth) {
  return (x * 37u + y * 101u + c * 59u + 11u) % (1u << depth);
}
// The palette of 16 colours: (3i, 5i + 1, 255 - i).
std::string Palette() {
  std::string p;
  for (int i = 0; i < 16; ++i)
    p += {static_cast<char>(3 * i), static_cast<char>(5 * i + 1), static_cast<char>(255 - i)};
  return p;
}
// The filtered image data (filter 0 on every row) of the pixels in the rectangle grid from
// (x0, y0) every (dx, dy): the whole image, or one Adam7 pass.
void AppendRows(const Header& hd, int x0, int y0, int dx, int dy, std::string* raw) {
  for (std::uint32_t y = y0; y < hd.h; y += dy) {
    if (x0 >= static_cast<int>(hd.w)) return;
    *raw += '\0';
    unsigned bits = 0, have = 0;
    for (std::uint32_t x = x0; x < hd.w; x += dx)
      for (int c = 0; c < Channels(hd.colour); ++c) {
        const unsigned s = Sample(x, y, c, hd.depth);
        if (hd.depth == 16) {
          *raw += {static_cast<char>(s >> 8), static_cast<char>(s)};
          continue;
        }
        bits = bits << hd.depth | s, have += hd.depth;
        if (have == 8) *raw += static_cast<char>(bits), bits = have = 0;
      }
    if (have) *raw += static_cast<char>(bits << (8 - have));
  }
}
std::string RawData(const Header& hd) {
  std::string raw;
  if (!hd.interlace) {
    AppendRows(hd, 0, 0, 1, 1, &raw);
    return raw;
  }
  const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
  const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  for (int p = 0; p < 7; ++p) AppendRows(hd, x0[p], y0[p], dx[p], dy[p], &raw);
  return raw;
}
// What the loader gives for a pixel's channel: 8 bits, the palette's colour for an index.
int Decoded(const Header& hd, int x, int y, int c) {
  if (hd.colour == 3) {
    const int i = static_cast<int>(Sample(x, y, 0, hd.depth));
    return c == 0 ? 3 * i : c == 1 ? 5 * i + 1 : 255 - i;
  }
  const unsigned s = Sample(x, y, c, hd.depth);
  if (hd.depth == 16) return static_cast<int>(s >> 8);
  return static_cast<int>(s * (255 / ((1u << hd.depth) - 1)));
}

// Only whole PNG files of 1..8192 pixels a side, of a kind the decoder knows, with whole image data
// reach the pixels; each refusal is one line, and a missing file is named as found on disk. What
// loads is counted to the collector, and image data split over many chunks loads too.
TEST(HostImages, RefusesAnythingButAWholePngFileOfAtMost8192PixelsASide) {
  Temp tmp;
  const Header rgb{3, 2, 8, 2, 0}, gray{4, 4, 8, 0, 0};
  const std::string good = Png(rgb, Deflate(RawData(rgb))), z = Deflate(RawData(gray));
  auto patched = [&](std::size_t at, const std::string& with) {
    return std::string(good).replace(at, with.size(), with);
  };
  const std::string sig = "\x89PNG\r\n\x1a\n",
                    ihdr = Chunk("IHDR", BigEndian(4) + BigEndian(4) + std::string{8, 0, 0, 0, 0});
  const std::string damaged = "damaged PNG file", range = "image size out of range",
                    missing = "image data missing or cut short",
                    kind = "unsupported bit depth, colour type or interlace";
  const std::tuple<const char*, std::string, std::string> bad[] = {
      {"short.png", "\x89PNG", "not a PNG file"},
      {"p.ppm", "P6 1 1 255\n\x01\x02\x03", "not a PNG file"},
      {"sig.png", good.substr(0, 8), damaged},
      {"cut.png", good.substr(0, good.size() - 1), damaged},
      {"len14.png", patched(11, "\x0E"), damaged},
      {"noihdr.png", patched(12, "X"), damaged},
      {"w0.png", patched(16, BigEndian(0)), range},
      {"h0.png", patched(20, BigEndian(0)), range},
      {"w8193.png", patched(16, BigEndian(8193)), range},
      {"h8193.png", patched(20, BigEndian(8193)), range},
      {"w65536.png", patched(16, BigEndian(65536)), range}, // every byte of the size counts
      {"cutdata.png", Png(gray, z.substr(0, z.size() / 2)), missing},
      {"nodata.png", sig + ihdr + Chunk("IEND", ""), missing},
      {"bits.png", Png(gray, std::string(2, 'x') + std::string(6, '\xff')), "damaged image data"},
      {"cgbi.png", sig + ihdr + Chunk("CgBI", "\x50\0\x20\x06") + Chunk("IDAT", z) + Chunk("IEND", ""),
       "unsupported PNG variant (CgBI)"},
      {"depth3.png", Png({4, 4, 3, 0, 0}, z), kind},
      {"colour5.png", Png({4, 4, 8, 5, 0}, z), kind},
      {"interlace2.png", Png({4, 4, 8, 0, 2}, z), kind}};
  ZuGlfwGame game;
  for (auto& [name, bytes, why] : bad) {
    WriteFile(tmp.path / name, bytes);
    const std::string out = StdoutOf(
        [&] { EXPECT_EQ(game.LoadImageData(String(name), nullptr, nullptr, nullptr), nullptr) << name; });
    EXPECT_EQ(out, "LoadImageData: cannot decode " + std::string(name) + ": " + why + "\n");
  }
  EXPECT_EQ(StdoutOf([&] { game.LoadImageData(String("quokka://data/no.png"), nullptr, nullptr, nullptr); }),
            "LoadImageData: cannot open " +
                std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/data/no.png\n");
  std::string split = sig + ihdr + Chunk("IDAT", ""); // some chunks empty, the stream's header split
  for (char c : z) split += Chunk("IDAT", std::string(1, c)) + Chunk("IDAT", "");
  const Header wide{8192, 1, 8, 0, 0}, tall{1, 8192, 8, 0, 0};
  const std::tuple<const char*, Header, std::string> loads[] = {
      {"rgb.png", rgb, good},
      {"wide.png", wide, Png(wide, Deflate(RawData(wide)))},
      {"tall.png", tall, Png(tall, Deflate(RawData(tall)))},
      {"split.png", gray, split + Chunk("IEND", "")}};
  for (const auto& [name, hd, file] : loads) {
    WriteFile(tmp.path / name, file);
    int w = 0, h = 0, d = 0, before = gc_ext_new_bytes.load();
    unsigned char* pixels = game.LoadImageData(String(name), &w, &h, &d);
    ASSERT_NE(pixels, nullptr) << name;
    const int bytes = int(hd.w * hd.h) * Channels(hd.colour);
    EXPECT_EQ((Ints{w, h, d}), (Ints{int(hd.w), int(hd.h), Channels(hd.colour)})) << name;
    EXPECT_EQ(gc_ext_new_bytes.load() - before, bytes) << name << ": bytes the collector was told of";
    EXPECT_EQ(pixels[bytes - 1], Decoded(hd, hd.w - 1, hd.h - 1, Channels(hd.colour) - 1))
        << name << ": last byte";
    std::free(pixels);
  }
}

// Odd sizes, every colour type, bit depths from 1 to 16, with and without interlacing: image
// data of exactly the size the header needs loads, pixel for pixel; one byte more is refused
// in one line. The sizes were worked out by hand: a row is a filter byte and its pixels' bits
// rounded up to bytes, pass by pass when interlaced (a pass without pixels has no rows).
TEST(HostImages, ImageDataLoadsAtTheSizeTheHeaderNeedsAndIsRefusedPastIt) {
  Temp tmp;
  const struct {
    Header hd;
    std::size_t rawBytes;
    int depth; // bytes a pixel as loaded
  } cases[] = {
      {{1, 1, 8, 0, 0}, 2, 1},    {{1, 1, 8, 2, 1}, 4, 3},  {{3, 2, 8, 2, 1}, 22, 3},
      {{5, 7, 8, 6, 1}, 154, 4},  {{9, 9, 1, 0, 1}, 42, 1}, {{17, 3, 8, 4, 0}, 105, 2},
      {{4, 5, 16, 2, 1}, 130, 3}, {{6, 3, 4, 3, 1}, 19, 3}, {{13, 11, 2, 0, 0}, 55, 1},
      {{8, 8, 8, 0, 1}, 79, 1},
  };
  ZuGlfwGame game;
  for (const auto& k : cases) {
    const Header& hd = k.hd;
    const std::string name = std::to_string(hd.w) + "x" + std::to_string(hd.h) + "-" +
                             std::to_string(hd.depth) + "-" + std::to_string(hd.colour) + "-" +
                             std::to_string(hd.interlace) + ".png";
    SCOPED_TRACE(name);
    const std::string raw = RawData(hd), palette = hd.colour == 3 ? Palette() : "";
    ASSERT_EQ(raw.size(), k.rawBytes) << "the test's own image data";
    WriteFile(tmp.path / name, Png(hd, Deflate(raw), palette));
    int w = 0, h = 0, d = 0;
    std::string out = StdoutOf([&] {
      unsigned char* pixels = game.LoadImageData(String(name.c_str()), &w, &h, &d);
      ASSERT_NE(pixels, nullptr);
      EXPECT_EQ((Ints{w, h, d}), (Ints{int(hd.w), int(hd.h), k.depth}));
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < d; ++c) wrong += pixels[(y * w + x) * d + c] != Decoded(hd, x, y, c);
      EXPECT_EQ(wrong, 0) << "channels that differ from the file's";
      std::free(pixels);
    });
    EXPECT_EQ(out, "");
    const std::string longer = "longer-" + name;
    WriteFile(tmp.path / longer, Png(hd, Deflate(raw + '\0'), palette));
    out = StdoutOf([&] { EXPECT_EQ(game.LoadImageData(String(longer.c_str()), &w, &h, &d), nullptr); });
    EXPECT_EQ(out, "LoadImageData: cannot decode " + longer + ": image data larger than its size needs\n");
  }
}

// A zlib stream of `megabytes` MiB of zeros, made without holding them: after a full flush
// every further MiB deflates to the same bytes.
std::string ZerosStream(int megabytes) {
  z_stream s{};
  EXPECT_EQ(deflateInit(&s, 9), Z_OK);
  const std::string mib(1 << 20, '\0');
  std::string out[3];
  for (std::string& o : out) {
    std::string buf(1 << 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(mib.data()));
    s.avail_in = static_cast<uInt>(mib.size());
    do {
      s.next_out = reinterpret_cast<Bytef*>(&buf[0]);
      s.avail_out = static_cast<uInt>(buf.size());
      deflate(&s, Z_FULL_FLUSH);
      o.append(buf, 0, buf.size() - s.avail_out);
    } while (s.avail_out == 0);
  }
  deflateEnd(&s);
  EXPECT_EQ(out[1], out[2]) << "a flushed MiB of zeros deflates the same every time";
  std::string z = out[0];
  for (int i = 1; i < megabytes; ++i) z += out[1];
  // An empty last block, then the Adler-32 of n zeros: the sum stays 1, the sum of sums is n.
  return z + std::string("\x03\x00", 2) + BigEndian((((megabytes << 20) % 65521u) << 16) | 1);
}

// The peak resident size of this process, in KiB.
long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// 600 MiB of zeros behind a 1 x 1 header (a file of about 600 KB) is refused in one line by a
// child that cannot take much memory: its address space is capped (where the sanitizers, which
// reserve terabytes, do not run), and its peak resident size must stay within 64 MiB of ours.
TEST(HostImages, ADecompressionBombIsRefusedWithoutTakingItsSize) {
  Temp tmp;
  const std::string z = ZerosStream(600);
  ASSERT_LT(z.size(), 1000u * 1000u);
  WriteFile(tmp.path / "bomb.png", Png({1, 1, 8, 0, 0}, z));
  ZuGlfwGame game;
  std::fflush(stdout);
  const long parentPeak = PeakKiB();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(3);
#if !defined(__SANITIZE_ADDRESS__)
    rlimit cap{};
    std::string status = ReadFile("/proc/self/status");
    const std::size_t at = status.find("VmSize:");
    if (at == std::string::npos) _exit(4);
    cap.rlim_cur = cap.rlim_max = (std::stoul(status.substr(at + 7)) + 64 * 1024) * 1024;
    if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(5);
#endif
    unsigned char* pixels = game.LoadImageData(String("bomb.png"), nullptr, nullptr, nullptr);
    std::fflush(stdout);
    _exit(pixels ? 1 : 0);
  }
  int status = 0;
  rusage used{};
  ASSERT_EQ(wait4(child, &status, 0, &used), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: loaded; 3 to 5: the child's set-up failed";
  EXPECT_EQ(ReadFile(tmp.path / "out.txt"),
            "LoadImageData: cannot decode bomb.png: image data larger than its size needs\n");
  EXPECT_LT(used.ru_maxrss, parentPeak + 64 * 1024) << "KiB at the child's peak";
}

} // namespace
