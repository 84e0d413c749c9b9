// tests/audio/decoders_test.cpp — LoadWAV and LoadOGG on files that sox and oggenc write at
// test time (some re-chunked here into layouts sox does not write), checked against what the
// tools read back; sizes the file cannot back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "audio/decoders.h"
#include "audio_support.h"
#include "host/desktop_game.h"

namespace {

using namespace audiotest;

class Decoders : public ::testing::Test {
protected:
  TempDir tmp;

  std::string Path(const std::string& name) const { return (tmp.path / name).string(); }
  // A 440 Hz tone of `frames` sample frames written by sox with the options given; its bytes.
  std::string Sox(const std::string& name, int rate, int channels, int frames,
                  const std::vector<std::string>& options) {
    std::vector<std::string> args = {"sox", "-r", std::to_string(rate), "-c", std::to_string(channels), "-n"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {Path(name), "synth", std::to_string(frames) + "s", "sine", "440", "vol", "0.5"});
    RunTool(args);
    return ReadFile(Path(name));
  }
  // The samples of a file as sox reads them, in the file's own encoding.
  std::string SoxRaw(const std::string& name) {
    RunTool({"sox", Path(name), "-t", "raw", Path(name + ".raw")});
    return ReadFile(Path(name + ".raw"));
  }
  std::string Oggenc(const std::string& wav, const std::string& name, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"oggenc", "-Q", "--serial", "1", "-o", Path(name)});
    options.push_back(Path(wav));
    RunTool(options);
    return ReadFile(Path(name));
  }
};

// [SECTION] WAV

TEST_F(Decoders, WavGivesTheSamplesSoxWroteInEveryLayoutOpenALPlays) {
  for (auto [channels, bits, rate, frames] :
       {std::tuple{1, 16, 22050, 5000}, {2, 16, 44100, 3001}, {1, 8, 11025, 777}, {2, 8, 8000, 1234}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bits");
    Decoded d = Decode(LoadWAV, Sox("t.wav", rate, channels, frames, {"-b", std::to_string(bits)}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(std::tuple(d.length, d.channels, d.format, d.hertz),
              std::tuple(frames, channels, bits / 8, rate));
    EXPECT_TRUE(d.pcm == SoxRaw("t.wav")) << "the samples differ from sox's";
  }
}

TEST_F(Decoders, WavChunksBetweenFmtAndDataAndFmtExtensionsAreSkipped) {
  const std::string wav = Sox("t.wav", 22050, 2, 400, {"-b", "16"});
  ASSERT_EQ(wav.compare(36, 4, "data"), 0) << "sox wrote another header";
  const std::string fmt = wav.substr(20, 16), data = wav.substr(36), raw = SoxRaw("t.wav");
  const std::string info = "INFO" + Chunk("ICMT", std::string("made by a test\0", 15)) + Chunk("ISFT", "sox");
  const std::pair<const char*, std::string> layouts[] = {
      {"fmt of 18 bytes", Chunk("fmt ", fmt + std::string(2, '\0'))},
      {"fact and LIST",
       Chunk("fmt ", fmt) + Chunk("fact", std::string("\x90\x01\0\0", 4)) + Chunk("LIST", info)},
      {"fmt of 17 bytes and its pad byte", Chunk("fmt ", fmt + 'x') + '\0' + Chunk("fact", "abcd")},
      {"a chunk of odd size and its pad byte", Chunk("fmt ", fmt) + Chunk("note", "odd") + '\0'},
  };
  for (const auto& [what, head] : layouts) {
    Decoded d = Decode(LoadWAV, Chunk("RIFF", "WAVE" + head + data));
    ASSERT_TRUE(d.ok) << what;
    EXPECT_EQ(std::tuple(d.length, d.channels), std::tuple(400, 2)) << what;
    EXPECT_TRUE(d.pcm == raw) << what;
  }
}

TEST_F(Decoders, WavEncodingsOtherThan8Or16BitPcmInOneOrTwoChannelsAreRefused) {
  // Floating point (18-byte fmt and a "fact" chunk), 24 and 32 bits (WAVE_FORMAT_EXTENSIBLE),
  // mu-law, three channels.
  const std::vector<std::string> options[] = {{"-e", "floating-point", "-b", "32"},
                                              {"-b", "24"},
                                              {"-e", "signed-integer", "-b", "32"},
                                              {"-e", "mu-law"}};
  std::vector<std::string> refused = {Sox("three.wav", 22050, 3, 300, {"-b", "16"})};
  for (const auto& o : options) refused.push_back(Sox("t.wav", 22050, 1, 300, o));
  // PCM fields that no tool writes: channels 0 and 3, bits 0, 12 and 24, rate 0.
  for (auto [channels, bits, rate] :
       {std::tuple{0, 16, 22050}, {3, 16, 22050}, {1, 0, 22050}, {1, 12, 22050}, {2, 24, 22050}, {1, 16, 0}})
    refused.push_back(PcmWav(channels, bits, rate, 100));
  for (std::size_t i = 0; i < refused.size(); ++i)
    EXPECT_FALSE(Decode(LoadWAV, refused[i]).ok) << "file " << i;
}

TEST_F(Decoders, WavSizesAreCheckedAgainstWhatTheFileHolds) {
  const std::string whole = Sox("t.wav", 22050, 1, 60, {"-b", "16"});
  ASSERT_TRUE(Decode(LoadWAV, whole).ok);
  for (std::size_t n = 0; n < whole.size(); ++n)
    ASSERT_FALSE(Decode(LoadWAV, whole.substr(0, n)).ok)
        << "cut to " << n << " of " << whole.size() << " bytes";

  const std::string wav = PcmWav(1, 16, 22050, 100, Chunk("junk", "abcd"));
  const std::size_t dataSize = wav.find("data") + 4, fmtSize = 16, junkSize = wav.find("junk") + 4;
  for (auto [at, value] : {std::pair{dataSize, 0xFFFFFFFFu},
                           {dataSize, 0x7FFFFFFFu},
                           {dataSize, 0x80000000u},
                           {dataSize, static_cast<std::uint32_t>(wav.size())}, // a little too long
                           {fmtSize, 0xFFFFFFF0u},
                           {fmtSize, 15u},
                           {junkSize, 0xFFFFFFF8u}}) { // no seek beyond the end
    std::string bad = wav;
    PutU32(bad, at, value);
    EXPECT_FALSE(Decode(LoadWAV, bad).ok) << "size " << value << " at " << at;
  }
  // Only whole sample frames are read: none of 3 bytes of stereo 16-bit, 10 of 21 bytes of mono.
  std::string none = PcmWav(2, 16, 22050, 1), ten = PcmWav(1, 16, 22050, 11);
  PutU32(none, none.find("data") + 4, 3);
  PutU32(ten, ten.find("data") + 4, 21);
  EXPECT_FALSE(Decode(LoadWAV, none).ok);
  EXPECT_EQ(Decode(LoadWAV, ten).length, 10);
}

// [SECTION] Ogg Vorbis

TEST_F(Decoders, OggLengthsRatesAndSamplesMatchWhatTheVorbisToolsWroteAndRead) {
  for (auto [channels, rate, frames] : {std::tuple{1, 22050, 5000}, {2, 44100, 7001}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels at " + std::to_string(rate));
    Sox("src.wav", rate, channels, frames, {"-b", "16"});
    Decoded d = Decode(LoadOGG, Oggenc("src.wav", "t.ogg"));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(std::tuple(d.length, d.channels, d.format, d.hertz), std::tuple(frames, channels, 2, rate));
    // The samples: oggdec's decoding of the same stream, to within rounding.
    RunTool({"oggdec", "-Q", "-R", "-o", Path("t.raw"), Path("t.ogg")});
    const std::vector<std::int16_t> a = Int16s(d.pcm), b = Int16s(ReadFile(Path("t.raw")));
    ASSERT_EQ(a.size(), b.size());
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, 2) << "largest difference from oggdec";
    // The game reads the file through the host, which has the reader by its extension.
    RegisterAudioReaders();
    int length = 0, c = 0, f = 0, hz = 0;
    std::free(ZuGlfwGame().LoadAudioData(String(Path("t.ogg").c_str()), &length, &c, &f, &hz));
    EXPECT_EQ(std::tuple(length, c, f, hz), std::tuple(frames, channels, 2, rate)) << "through the host";
  }
}

TEST_F(Decoders, OggThatIsEmptyCutOrNotOggIsRefusedAndACutStreamIsNeverLonger) {
  const std::string wav = Sox("src.wav", 22050, 1, 4000, {"-b", "16"}), ogg = Oggenc("src.wav", "t.ogg");
  EXPECT_FALSE(Decode(LoadOGG, "").ok);
  EXPECT_FALSE(Decode(LoadOGG, ogg.substr(0, 200)).ok) << "cut inside the headers";
  EXPECT_FALSE(Decode(LoadOGG, wav).ok) << "a WAV file";
  EXPECT_FALSE(Decode(LoadWAV, ogg).ok) << "an Ogg file";
  Decoded d = Decode(LoadOGG, ogg.substr(0, ogg.size() * 3 / 4));
  if (d.ok) {
    EXPECT_LT(d.length, 4000);
  }
}

// stb_vorbis trusts the lengths in a stream's comment header and writes outside its memory
// when they are wrong: the reader checks them first, over however many pages the header spans.
TEST_F(Decoders, OggCommentHeaderOfAnySizeIsReadButLengthsBeyondItAreRefused) {
  Sox("src.wav", 22050, 1, 3000, {"-b", "16"});
  const std::string ogg =
      Oggenc("src.wav", "c.ogg", {"-c", "TITLE=test", "-c", "LONG=" + std::string(70000, 'x'), "-c", "E="});
  Decoded d = Decode(LoadOGG, ogg);
  ASSERT_TRUE(d.ok) << "a sound comment header of several pages";
  EXPECT_EQ(d.length, 3000);

  const std::size_t vendorSize = ogg.find("\x03vorbis") + 7;
  ASSERT_LT(vendorSize, ogg.size());
  const std::size_t count = vendorSize + 4 + GetU32(ogg, vendorSize), firstComment = count + 4;
  ASSERT_EQ(GetU32(ogg, count), 3u);
  ASSERT_EQ(GetU32(ogg, firstComment), 10u);
  for (auto [at, value] : {std::pair{vendorSize, 0xFFFFFFFFu},
                           {vendorSize, 0x7FFFFFFFu},
                           {vendorSize, 80000u}, // beyond the packet
                           {count, 0x40000000u},
                           {firstComment, 0x7FFFFFFFu},
                           {firstComment, 0xFFFFFFFFu},
                           {firstComment, 70100u}}) {
    std::string bad = ogg;
    PutU32(bad, at, value);
    EXPECT_FALSE(Decode(LoadOGG, bad).ok) << "length " << value << " at " << at;
  }
}

} // namespace
