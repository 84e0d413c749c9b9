// tests/audio/decoders_test.cpp — LoadWAV and LoadOGG on files that sox and oggenc write at
// test time (some re-chunked by the test, for layouts sox does not write), checked against
// what the tools say the files hold; and the readers' registration with the host.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/decoders.h"
#include "audio_support.h"
#include "host/desktop_game.h"

namespace {

using namespace audiotest;

using Reader = unsigned char* (*)(std::FILE*, int*, int*, int*, int*);

// What a reader gave for a file.
struct Decoded {
  bool ok = false;
  int length = -1, channels = -1, format = -1, hertz = -1;
  std::string pcm; // length * channels * format bytes
};

Decoded Decode(Reader reader, const fs::path& file) {
  Decoded d;
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open " << file;
    return d;
  }
  unsigned char* data = reader(f, &d.length, &d.channels, &d.format, &d.hertz);
  EXPECT_EQ(std::fclose(f), 0) << "the file stays the caller's";
  if (data) {
    d.ok = true;
    d.pcm.assign(reinterpret_cast<char*>(data), static_cast<std::size_t>(d.length) * d.channels * d.format);
    std::free(data);
  }
  return d;
}

// A split RIFF file: its chunks in order (tag and body), the size fields rebuilt on joining.
struct RiffChunks {
  std::vector<std::pair<std::string, std::string>> chunks;
  static RiffChunks Split(const std::string& file) {
    RiffChunks r;
    EXPECT_EQ(file.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(file.compare(8, 4, "WAVE"), 0);
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
      std::uint32_t size = 0;
      for (int i = 0; i < 4; ++i)
        size |= static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + 4 + i])) << (8 * i);
      r.chunks.emplace_back(file.substr(at, 4), file.substr(at + 8, size));
      at += 8 + size;
    }
    return r;
  }
  std::string& Body(const std::string& tag) {
    for (auto& c : chunks)
      if (c.first == tag) return c.second;
    ADD_FAILURE() << "no chunk " << tag;
    static std::string none;
    return none;
  }
  std::string Join() const {
    std::string body = "WAVE";
    for (const auto& c : chunks) body += Chunk(c.first.c_str(), c.second);
    return Chunk("RIFF", body);
  }
};

class Decoders : public ::testing::Test {
protected:
  TempDir tmp;

  fs::path Path(const std::string& name) const { return tmp.path / name; }

  // A tone made by sox: `frames` sample frames at the rate, with the encoding options given.
  fs::path Sox(const std::string& name, int rate, int channels, int frames,
               std::vector<std::string> encoding) {
    std::vector<std::string> args = {"sox", "-r", std::to_string(rate), "-c", std::to_string(channels), "-n"};
    args.insert(args.end(), encoding.begin(), encoding.end());
    args.push_back(Path(name).string());
    args.insert(args.end(), {"synth", std::to_string(frames) + "s", "sine", "440", "vol", "0.5"});
    std::string why;
    EXPECT_TRUE(RunTool(args, &why)) << why;
    return Path(name);
  }

  // The samples of a file as sox reads them, as raw bytes in the file's own encoding.
  std::string SoxRaw(const fs::path& file) {
    fs::path raw = Path(file.filename().string() + ".raw");
    std::string why;
    EXPECT_TRUE(RunTool({"sox", file.string(), "-t", "raw", raw.string()}, &why)) << why;
    return ReadFile(raw);
  }

  fs::path Oggenc(const fs::path& wav, const std::string& name) {
    std::string why;
    EXPECT_TRUE(RunTool({"oggenc", "-Q", "--serial", "1", "-o", Path(name).string(), wav.string()}, &why))
        << why;
    return Path(name);
  }
};

// ============================================================================
// [SECTION] WAV files sox wrote
// ============================================================================

TEST_F(Decoders, WavMonoAndStereo8And16BitGiveTheSamplesSoxWrote) {
  struct Case {
    int channels, bits, rate, frames;
  } cases[] = {{1, 16, 22050, 5000}, {2, 16, 44100, 3001}, {1, 8, 11025, 777}, {2, 8, 8000, 1234}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.bits) + " bits");
    fs::path wav = Sox("t.wav", c.rate, c.channels, c.frames, {"-b", std::to_string(c.bits)});
    Decoded d = Decode(LoadWAV, wav);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.length, c.frames);
    EXPECT_EQ(d.channels, c.channels);
    EXPECT_EQ(d.format, c.bits / 8);
    EXPECT_EQ(d.hertz, c.rate);
    EXPECT_TRUE(d.pcm == SoxRaw(wav)) << "the samples differ from sox's";
  }
}

TEST_F(Decoders, WavFmtChunkOf18BytesHasItsExtraBytesSkipped) {
  fs::path wav = Sox("t.wav", 22050, 1, 500, {"-b", "16"});
  RiffChunks riff = RiffChunks::Split(ReadFile(wav));
  riff.Body("fmt ") += std::string("\0\0", 2); // cbSize 0, as many writers add
  WriteFile(Path("fmt18.wav"), riff.Join());
  Decoded d = Decode(LoadWAV, Path("fmt18.wav"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.length, 500);
  EXPECT_TRUE(d.pcm == SoxRaw(wav));
}

TEST_F(Decoders, WavListChunkBeforeDataIsSkipped) {
  fs::path wav = Sox("t.wav", 22050, 2, 400, {"-b", "16"});
  RiffChunks riff = RiffChunks::Split(ReadFile(wav));
  std::string info = "INFO" + Chunk("ICMT", std::string("made by a test\0", 15)) + Chunk("ISFT", "sox");
  riff.chunks.insert(riff.chunks.begin() + 1, {"LIST", info});
  riff.chunks.insert(riff.chunks.begin() + 1, {"fact", std::string("\x90\x01\0\0", 4)});
  WriteFile(Path("list.wav"), riff.Join());
  Decoded d = Decode(LoadWAV, Path("list.wav"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.length, 400);
  EXPECT_EQ(d.channels, 2);
  EXPECT_TRUE(d.pcm == SoxRaw(wav));
}

TEST_F(Decoders, WavOtherEncodingsAreRefused) {
  // Floating point (format 3, with sox's 18-byte fmt and "fact" chunk), 24 and 32 bits
  // (sox writes them as WAVE_FORMAT_EXTENSIBLE), 8-bit mu-law, and three channels.
  Sox("float.wav", 22050, 1, 300, {"-e", "floating-point", "-b", "32"});
  Sox("int24.wav", 22050, 2, 300, {"-b", "24"});
  Sox("int32.wav", 22050, 1, 300, {"-e", "signed-integer", "-b", "32"});
  Sox("ulaw.wav", 22050, 1, 300, {"-e", "mu-law"});
  Sox("three.wav", 22050, 3, 300, {"-b", "16"});
  for (const char* name : {"float.wav", "int24.wav", "int32.wav", "ulaw.wav", "three.wav"}) {
    Decoded d = Decode(LoadWAV, Path(name));
    EXPECT_FALSE(d.ok) << name;
    EXPECT_EQ(d.length + d.channels + d.format + d.hertz, -4) << name << ": out-values untouched";
  }
  // The same refusals for PCM fields that no tool writes: 0, 3 channels, 0, 12, 24 bits, rate 0.
  for (auto [channels, bits, rate] : {std::tuple{0, 16, 22050},
                                      {3, 16, 22050},
                                      {1, 0, 22050},
                                      {1, 12, 22050},
                                      {2, 24, 22050},
                                      {1, 16, 0}}) {
    WavLayout layout;
    layout.channels = channels;
    layout.bits = bits;
    layout.rate = rate;
    layout.frames = 100;
    WriteFile(Path("odd.wav"), MakeWav(layout));
    EXPECT_FALSE(Decode(LoadWAV, Path("odd.wav")).ok)
        << channels << " channels, " << bits << " bits, rate " << rate;
  }
}

TEST_F(Decoders, WavTruncatedAnywhereOrEmptyIsRefused) {
  fs::path wav = Sox("t.wav", 22050, 1, 60, {"-b", "16"});
  std::string whole = ReadFile(wav);
  ASSERT_TRUE(Decode(LoadWAV, wav).ok);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    WriteFile(Path("cut.wav"), whole.substr(0, n));
    ASSERT_FALSE(Decode(LoadWAV, Path("cut.wav")).ok) << "cut to " << n << " of " << whole.size() << " bytes";
  }
}

TEST_F(Decoders, WavSizesBeyondTheFileAreRefusedAtOnce) {
  std::string wav = MakeWav(WavLayout{});
  const std::size_t dataSize = wav.find("data") + 4, fmtSize = 16;
  struct Case {
    std::size_t at;
    std::uint32_t value;
    const char* what;
  } cases[] = {{dataSize, 0xFFFFFFFFu, "data of 4 GB"},
               {dataSize, 0x7FFFFFFFu, "data of 2 GB"},
               {dataSize, 0x80000000u, "data of 2 GB + 1"},
               {dataSize, static_cast<std::uint32_t>(wav.size()), "data a little too long"},
               {fmtSize, 0xFFFFFFF0u, "fmt of 4 GB"},
               {fmtSize, 15, "fmt too short"}};
  for (const Case& c : cases) {
    std::string bad = wav;
    PutU32(bad, c.at, c.value);
    WriteFile(Path("bad.wav"), bad);
    EXPECT_FALSE(Decode(LoadWAV, Path("bad.wav")).ok) << c.what;
  }
  // A chunk before "data" whose size runs past the end: no seek beyond the file.
  WavLayout layout;
  layout.chunksBefore = Chunk("junk", "abcd");
  std::string junk = MakeWav(layout);
  PutU32(junk, junk.find("junk") + 4, 0xFFFFFFF8u);
  WriteFile(Path("junk.wav"), junk);
  EXPECT_FALSE(Decode(LoadWAV, Path("junk.wav")).ok);
  // No whole sample frame in the data.
  layout = WavLayout{};
  layout.channels = 2;
  layout.frames = 0;
  std::string empty = MakeWav(layout) + "xyz";
  PutU32(empty, empty.find("data") + 4, 3);
  WriteFile(Path("noframe.wav"), empty);
  EXPECT_FALSE(Decode(LoadWAV, Path("noframe.wav")).ok);
}

TEST_F(Decoders, WavDataChunkWithAnOddSizeKeepsItsWholeFrames) {
  WavLayout layout;
  layout.frames = 10;
  std::string wav = MakeWav(layout) + "x"; // one byte more than 10 frames
  PutU32(wav, wav.find("data") + 4, 21);
  WriteFile(Path("odd.wav"), wav);
  Decoded d = Decode(LoadWAV, Path("odd.wav"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.length, 10);
}

// ============================================================================
// [SECTION] Ogg Vorbis files oggenc wrote
// ============================================================================

TEST_F(Decoders, OggMonoAndStereoLengthsAndRatesMatchWhatOggencWrote) {
  struct Case {
    int channels, rate, frames;
  } cases[] = {{1, 22050, 5000}, {2, 44100, 7001}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate));
    fs::path wav = Sox("src.wav", c.rate, c.channels, c.frames, {"-b", "16"});
    fs::path ogg = Oggenc(wav, "t.ogg");
    Decoded d = Decode(LoadOGG, ogg);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.length, c.frames);
    EXPECT_EQ(d.channels, c.channels);
    EXPECT_EQ(d.format, 2);
    EXPECT_EQ(d.hertz, c.rate);
    // The audio itself: oggdec's decoding of the same stream, to within rounding.
    std::string raw = Path("t.raw").string(), why;
    ASSERT_TRUE(RunTool({"oggdec", "-Q", "-R", "-o", raw, ogg.string()}, &why)) << why;
    std::string ref = ReadFile(raw);
    ASSERT_EQ(ref.size(), d.pcm.size());
    int worst = 0;
    for (std::size_t i = 0; i + 1 < ref.size(); i += 2) {
      auto at = [](const std::string& s, std::size_t i) {
        return static_cast<std::int16_t>(static_cast<unsigned char>(s[i]) |
                                         static_cast<unsigned char>(s[i + 1]) << 8);
      };
      worst = std::max(worst, std::abs(at(ref, i) - at(d.pcm, i)));
    }
    EXPECT_LE(worst, 2) << "largest difference from oggdec";
  }
}

TEST_F(Decoders, OggTruncatedEmptyOrNotOggIsRefusedOrShort) {
  fs::path ogg = Oggenc(Sox("src.wav", 22050, 1, 4000, {"-b", "16"}), "t.ogg");
  std::string whole = ReadFile(ogg);
  WriteFile(Path("empty.ogg"), "");
  EXPECT_FALSE(Decode(LoadOGG, Path("empty.ogg")).ok);
  WriteFile(Path("head.ogg"), whole.substr(0, 200)); // inside the headers
  EXPECT_FALSE(Decode(LoadOGG, Path("head.ogg")).ok);
  EXPECT_FALSE(Decode(LoadOGG, Sox("wav.ogg", 22050, 1, 100, {"-t", "wav"})).ok) << "a WAV named .ogg";
  EXPECT_FALSE(Decode(LoadWAV, ogg).ok) << "an Ogg named .wav";
  // Cut inside the audio: what is there decodes, never more than the whole.
  WriteFile(Path("half.ogg"), whole.substr(0, whole.size() * 3 / 4));
  Decoded d = Decode(LoadOGG, Path("half.ogg"));
  if (d.ok) {
    EXPECT_LT(d.length, 4000);
  }
}

TEST_F(Decoders, OggCommentHeadersAreReadWhateverTheirSizeButLengthsBeyondThemAreRefused) {
  // stb_vorbis 1.22 trusts these lengths and writes outside its memory when they are wrong.
  fs::path wav = Sox("src.wav", 22050, 1, 3000, {"-b", "16"});
  std::string why, longComment = "LONG=" + std::string(70000, 'x'); // spans pages
  fs::path ogg = Path("c.ogg");
  ASSERT_TRUE(RunTool({"oggenc", "-Q", "--serial", "1", "-c", "TITLE=test", "-c", longComment, "-c",
                       "E=", "-o", ogg.string(), wav.string()},
                      &why))
      << why;
  Decoded d = Decode(LoadOGG, ogg);
  ASSERT_TRUE(d.ok) << "a sound comment header of several pages";
  EXPECT_EQ(d.length, 3000);

  const std::string whole = ReadFile(ogg);
  const std::size_t packet = whole.find("\x03vorbis"), vendorSize = packet + 7;
  ASSERT_NE(packet, std::string::npos);
  auto u32 = [&whole](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<std::uint32_t>(static_cast<unsigned char>(whole[at + i])) << (8 * i);
    return v;
  };
  const std::size_t count = vendorSize + 4 + u32(vendorSize), firstComment = count + 4;
  ASSERT_EQ(u32(count), 3u);
  ASSERT_EQ(u32(firstComment), 10u);
  struct Case {
    std::size_t at;
    std::uint32_t value;
    const char* what;
  } cases[] = {
      {vendorSize, 0xFFFFFFFFu, "vendor length -1"},      {vendorSize, 0x7FFFFFFFu, "vendor length 2 GB"},
      {vendorSize, 80000, "vendor beyond the packet"},    {count, 0x40000000u, "a billion comments"},
      {firstComment, 0x7FFFFFFFu, "comment length 2 GB"}, {firstComment, 0xFFFFFFFFu, "comment length -1"},
      {firstComment, 70100, "comment beyond the packet"}};
  for (const Case& c : cases) {
    std::string bad = whole;
    PutU32(bad, c.at, c.value);
    WriteFile(Path("bad.ogg"), bad);
    EXPECT_FALSE(Decode(LoadOGG, Path("bad.ogg")).ok) << c.what;
  }
}

// ============================================================================
// [SECTION] Through the host
// ============================================================================

TEST_F(Decoders, RegisteredReadersServeTheHostsLoadAudioData) {
  fs::path wav = Sox("a.wav", 22050, 2, 321, {"-b", "8"});
  fs::path ogg = Oggenc(Sox("b.wav", 44100, 1, 999, {"-b", "16"}), "b.ogg");
  fs::path upper = Path("C.OGG");
  fs::copy_file(ogg, upper);
  RegisterAudioReaders();
  ZuGlfwGame host;
  for (auto [file, frames, channels, format, rate] :
       {std::tuple{wav, 321, 2, 1, 22050}, {ogg, 999, 1, 2, 44100}, {upper, 999, 1, 2, 44100}}) {
    int length = 0, c = 0, f = 0, hz = 0;
    unsigned char* data = host.LoadAudioData(String(file.c_str()), &length, &c, &f, &hz);
    ASSERT_NE(data, nullptr) << file;
    EXPECT_EQ(length, frames);
    EXPECT_EQ(c, channels);
    EXPECT_EQ(f, format);
    EXPECT_EQ(hz, rate);
    std::free(data);
  }
}

} // namespace
