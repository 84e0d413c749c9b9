// tests/host/files_test.cpp — the host's file services: paths, names, data, images, audio, state, date, URLs.
// Depends on: host (game.h, desktop_game.h), runtime, libstb (writing PNGs), tests/support, files_child.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <stb_image_write.h>

#include "host/desktop_game.h"
#include "host/platform.h"
#include "tests/support/runtime_output.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_files.h"

namespace fs = std::filesystem;

namespace {

String Utf8(const std::string& s) { return String::FromUtf8(s.data(), static_cast<int>(s.size())); }

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

TEST(HostPaths, QuokkaFoldersAreBesideTheProgramWhateverTheCurrentFolder) {
  BesideProgram beside;
  std::string data = beside.Put("data", "x", "data"), in = beside.Put("internal", "x", "in"),
              ex = beside.Put("external", "x", "ex"), foo = beside.Put("foo", "x", "foo");
  TempDir elsewhere("files");
  WriteFile(elsewhere.path / data, "in the current folder"); // never chosen
  InFolder cd(elsewhere.path);

  ZuGlfwGame game;
  for (auto [path, text] : {std::pair{data, "data"}, {in, "in"}, {ex, "ex"}})
    EXPECT_EQ(game.LoadString(Utf8("quokka://" + path)).ToUtf8(), text);
  for (const char* plain : {"./x.txt", "rel/x.txt", "http://example.com/a"})
    EXPECT_EQ(game.PathToFilePath(String(plain)).ToUtf8(), plain);
  // Any other folder opens nothing, although "foo" exists beside the program.
  for (std::string path : {"quokka://" + foo, std::string("quokka://data"), "quokka:///" + foo}) {
    EXPECT_EQ(game.PathToFilePath(Utf8(path)).Length(), 0) << path;
    EXPECT_EQ(game.LoadString(Utf8(path)).Length(), 0) << path;
  }
  std::error_code ec;
  fs::remove_all((ProgramFolder() / foo).parent_path(), ec);
  fs::remove(ProgramFolder() / "foo", ec); // when no other test process uses it
}

TEST(HostPaths, FixDataPathPrefixesOnlyPlainRelativePaths) {
  // In "a/b:/c" the first '/' is not right after the ':'.
  const char* cases[][2] = {{"img.png", "quokka://data/img.png"}, {"a/b:/c", "quokka://data/a/b:/c"},
                            {"c:x", "quokka://data/c:x"},         {"quokka://x", "quokka://x"},
                            {"http://a.com/", "http://a.com/"},   {"./img.png", "./img.png"},
                            {"/abs/img.png", "/abs/img.png"}};
  for (auto& c : cases) EXPECT_EQ(zu_data_FixDataPath(String(c[0])).ToUtf8(), c[1]) << c[0];
}

// The program copied into a folder whose name holds a backslash and a non-ASCII letter:
// the folder is decoded from UTF-8 and the backslash is kept as part of its name.
TEST(HostPaths, ProgramFolderNameIsTakenAsItIs) {
  TempDir tmp("files");
  fs::path dir = tmp.path / fs::u8path("prog\\é");
  WriteFile(dir / "data/probe.txt", "found beside the copy");
  fs::copy_file(FILES_CHILD, dir / "child");
  fs::permissions(dir / "child", fs::perms::owner_all);
  ProcessResult r = RunProcess({(dir / "child").string(), "load", "quokka://data/probe.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "found beside the copy");
}

TEST(HostFiles, NonAsciiNamesRoundTripAndNamesWithNulOrNothingOpenNothing) {
  TempDir tmp("files");
  InFolder cd(tmp.path);
  ZuGlfwGame game;
  String name(u"naïve-€-ß.txt");
  std::FILE* f = game.OpenFile(name, String("wb"));
  ASSERT_NE(f, nullptr);
  std::fputs("written", f);
  std::fclose(f);
  EXPECT_EQ(ReadFile(tmp.path / "na\xC3\xAFve-\xE2\x82\xAC-\xC3\x9F.txt"), "written"); // UTF-8 on disk
  EXPECT_EQ(game.LoadString(name).ToUtf8(), "written");

  WriteFile(tmp.path / "a", "short name");
  const char16_t withNul[] = {u'a', 0, u'b'}; // must not open "a"
  EXPECT_EQ(game.OpenFile(String(withNul, 3), String("rb")), nullptr);
  EXPECT_EQ(game.OpenFile(String(), String("rb")), nullptr);
}

TEST(HostFiles, LoadDataGivesExactBytesAcrossBlocksAndNothingForWhatCannotBeRead) {
  TempDir tmp("files");
  ZuGame game;
  for (std::size_t size : {0, 4097, 3 * 4096 + 17}) {
    std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    WriteFile(tmp.path / "d", bytes);
    int before = gc_ext_new_bytes.load(), length = -1;
    unsigned char* data = game.LoadData(Utf8((tmp.path / "d").string()), &length);
    ASSERT_NE(data, nullptr) << size; // a readable empty file too is data, of length 0
    EXPECT_EQ(gc_ext_new_bytes.load() - before, static_cast<int>(size));
    ASSERT_EQ(length, static_cast<int>(size));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), bytes) << size;
    std::free(data);
  }
  int length = -7;
  EXPECT_EQ(game.LoadData(Utf8((tmp.path / "missing").string()), &length), nullptr);
  // A folder opens as a file on Linux but cannot be read: no data, not an empty block.
  std::string out = StdoutOf([&] { EXPECT_EQ(game.LoadData(Utf8(tmp.path.string()), &length), nullptr); });
  EXPECT_NE(out.find("LoadData: cannot read"), std::string::npos);
  EXPECT_EQ(length, -7);

  // readInt: little-endian, and -1 at a short read.
  WriteFile(tmp.path / "d", std::string("\x78\x56\x34\x12\x00\x00\x00\x80\xFE\xFF\xFF\xFF\x01\x02", 14));
  std::FILE* f = std::fopen((tmp.path / "d").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ((std::vector<int>{readInt(f), readInt(f), readInt(f), readInt(f)}),
            (std::vector<int>{0x12345678, INT_MIN, -2, -1})); // only two bytes for the last
  std::fclose(f);
  EXPECT_EQ(readInt(nullptr), -1);
}

TEST(HostImages, LoadsAPngWithItsSizeDepthAndPixels) {
  TempDir tmp("files");
  InFolder cd(tmp.path);
  std::string rgb = RandomBytes(3 * 2 * 3, 7);
  ASSERT_NE(stbi_write_png("rgb.png", 3, 2, 3, rgb.data(), 3 * 3), 0);
  WriteFile(tmp.path / "bad.png", "\x89PNG not really");

  ZuGlfwGame game;
  int w = 0, h = 0, d = 0, before = gc_ext_new_bytes.load();
  unsigned char* pixels = game.LoadImageData(String("rgb.png"), &w, &h, &d);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ((std::vector<int>{w, h, d}), (std::vector<int>{3, 2, 3})); // the file's own depth
  EXPECT_EQ(gc_ext_new_bytes.load() - before, 3 * 2 * 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), rgb.size()), rgb);
  std::free(pixels);
  std::string out = StdoutOf([&] { EXPECT_EQ(game.LoadImageData(String("bad.png"), &w, &h, &d), nullptr); });
  EXPECT_NE(out.find("LoadImageData: cannot decode bad.png"), std::string::npos);

  // Only PNG files of at most 8192 pixels a side reach the decoder: not a PPM, not 8193 x 1.
  WriteFile(tmp.path / "p.ppm", std::string("P6 1 1 255\n\x01\x02\x03", 14));
  const std::vector<unsigned char> row(8193 * 3);
  ASSERT_NE(stbi_write_png("wide.png", 8193, 1, 3, row.data(), 8193 * 3), 0);
  out = StdoutOf([&] {
    for (const char* name : {"p.ppm", "wide.png"})
      EXPECT_EQ(game.LoadImageData(String(name), &w, &h, &d), nullptr);
  });
  EXPECT_NE(out.find("p.ppm: not a PNG file"), std::string::npos) << out;
  EXPECT_NE(out.find("wide.png: image size out of range"), std::string::npos) << out;
}

// Hands back the file's bytes as frames of 16-bit stereo at 8000 Hz; nothing for "undecodable".
unsigned char* FakeReader(std::FILE* f, int* length, int* channels, int* format, int* hertz) {
  static char buf[64];
  int n = static_cast<int>(std::fread(buf, 1, sizeof buf, f));
  if (std::string(buf, n) == "undecodable") return nullptr;
  *length = n / 4;
  *channels = *format = 2;
  *hertz = 8000;
  return static_cast<unsigned char*>(std::memcpy(std::malloc(n), buf, n));
}

TEST(HostAudio, TheReaderIsChosenByExtensionIgnoringCase) {
  TempDir tmp("files");
  InFolder cd(tmp.path);
  for (const char* name : {"a-file.wav", "b-file.WAV", "c.mp3", "d-file.Ogg", "noext", "dir.wav/inner"})
    WriteFile(tmp.path / name, name);
  WriteFile(tmp.path / "bad.wav", "undecodable");
  ZuGlfwGame::SetAudioReader(".wav", FakeReader);
  ZuGlfwGame::SetAudioReader("OGG", FakeReader); // stored lower case, dot added

  ZuGlfwGame game;
  for (const char* name : {"a-file.wav", "b-file.WAV", "d-file.Ogg"}) { // 10 bytes: 2 frames
    int length = 0, channels = 0, format = 0, hertz = 0, before = gc_ext_new_bytes.load();
    unsigned char* samples = game.LoadAudioData(String(name), &length, &channels, &format, &hertz);
    ASSERT_NE(samples, nullptr) << name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(samples), 8), std::string(name, 8)); // this very file
    EXPECT_EQ((std::vector<int>{length, channels, format, hertz}), (std::vector<int>{2, 2, 2, 8000}));
    EXPECT_EQ(gc_ext_new_bytes.load() - before, 8);
    std::free(samples);
  }
  int length = -5;
  std::string out = StdoutOf([&] {
    for (const char* name : {"c.mp3", "noext", "dir.wav/inner", "missing.wav", "bad.wav"})
      EXPECT_EQ(game.LoadAudioData(String(name), &length, nullptr, nullptr, nullptr), nullptr) << name;
  });
  EXPECT_NE(out.find("no reader for this kind of file: c.mp3"), std::string::npos);
  EXPECT_NE(out.find("LoadAudioData: cannot open missing.wav\n"), std::string::npos) << out;
  EXPECT_NE(out.find("LoadAudioData: cannot decode bad.wav\n"), std::string::npos) << out;
  EXPECT_EQ(length, -5);
  // Asked again (every reload asks), a file is not named again.
  out = StdoutOf([&] { game.LoadAudioData(String("bad.wav"), &length, nullptr, nullptr, nullptr); });
  EXPECT_EQ(out, "");

  ZuGlfwGame::SetAudioReader(".wav", nullptr);
  ZuGlfwGame::SetAudioReader(".ogg", nullptr);
}

// The file-size limit of a child makes the write short; kill -9 interrupts one mid-way.
class HostState : public testing::Test {
protected:
  TempDir tmp{"files"};
  InFolder cd{tmp.path};
  ZuGame game;
  fs::path file = tmp.path / ".quokkastate";
  // Temporary files of saves left in the folder.
  int Leftovers() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(tmp.path))
      n += e.path().filename().string().find(".tmp") != std::string::npos;
    return n;
  }
};

TEST_F(HostState, RoundTripKeepsTextExactlyAndAnEmptyStateIsAnEmptyFile) {
  EXPECT_EQ(game.LoadState().Length(), 0); // no file yet
  String state(u"best=120;name=Zoé;prize=€ 5;line2\nend");
  EXPECT_EQ(game.SaveState(state), 0);
  EXPECT_EQ(ReadFile(file), "best=120;name=Zo\xC3\xA9;prize=\xE2\x82\xAC 5;line2\nend"); // no newline added
  EXPECT_EQ(game.LoadState(), state);
  EXPECT_EQ(Leftovers(), 0);
  EXPECT_EQ(game.SaveState(String("short")), 0); // a shorter state leaves no tail behind
  EXPECT_EQ(ReadFile(file), "short");
  EXPECT_EQ(game.SaveState(String()), 0);
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(HostState, FailuresReturnMinusOneOrTwoAndKeepTheOldFile) {
  // A folder that cannot be written: -1, and the old file is untouched.
  WriteFile(file, "old state \xC3\xA9");
  WriteFile(tmp.path / "new.txt", "new");
  fs::permissions(tmp.path, fs::perms::owner_read | fs::perms::owner_exec);
  ProcessResult r = RunProcess({FILES_CHILD, "save", tmp.path.string(), "new.txt"});
  fs::permissions(tmp.path, fs::perms::owner_all);
  EXPECT_NE(r.out.find("result -1\n"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(ReadFile(file), "old state \xC3\xA9");

  // The state's name is a folder that is not empty: the rename fails, -2, no temporary file.
  fs::remove(file);
  WriteFile(file / "keep", "x");
  StdoutOf([&] { EXPECT_EQ(game.SaveState(String("new")), -2); });
  EXPECT_EQ(Leftovers(), 0);
  EXPECT_EQ(ReadFile(file / "keep"), "x");
}

TEST_F(HostState, ALinkStaysALinkAndPermissionsStay) {
  fs::create_directory(tmp.path / "real");
  WriteFile(tmp.path / "real" / "state.txt", "old");
  fs::permissions(tmp.path / "real" / "state.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real/state.txt", file);
  EXPECT_EQ(game.SaveState(String("saved")), 0);
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(tmp.path / "real" / "state.txt"), "saved");
  EXPECT_EQ(fs::status(tmp.path / "real" / "state.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(game.LoadState(), String("saved"));
}

// Two copies of the program saving into one folder: whatever a third one reads at any moment is
// one whole save, never a mix.
TEST_F(HostState, TwoProcessesSavingIntoOneFolderNeverTearTheFile) {
  std::string a, b;
  for (int i = 0; i < 3000; ++i) a += "A" + std::to_string(i % 10);
  for (int i = 0; i < 2500; ++i) b += "\xE2\x82\xAC!";
  WriteFile(tmp.path / "a.txt", a);
  WriteFile(tmp.path / "b.txt", b);
  WriteFile(file, a);
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    const char* text = w == 0 ? "a.txt" : "b.txt";
    writers[w] = fork();
    if (writers[w] == 0) {
      execl(FILES_CHILD, FILES_CHILD, "loop", tmp.path.c_str(), text, text, "500",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(writers[w], 0);
  }
  int reads = 0, torn = 0, statuses[2] = {0, 0};
  bool done[2] = {false, false};
  while (!done[0] || !done[1]) {
    const std::string now = ReadFile(file);
    ++reads;
    torn += now != a && now != b;
    for (int w = 0; w < 2; ++w)
      if (!done[w] && waitpid(writers[w], &statuses[w], WNOHANG) == writers[w]) done[w] = true;
  }
  for (int w = 0; w < 2; ++w) EXPECT_TRUE(WIFEXITED(statuses[w]) && WEXITSTATUS(statuses[w]) == 0) << w;
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_GT(reads, 10);
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(HostState, ShortWriteReturnsMinusTwoAndKeepsTheOldFileByteForByte) {
  std::string old = RandomBytes(1000, 3);
  WriteFile(file, old);
  WriteFile(tmp.path / "big.txt", std::string(300000, 'a') + "\xE2\x82\xAC");
  ProcessResult r = RunProcess({FILES_CHILD, "save", tmp.path.string(), "big.txt", "65536"});
  EXPECT_NE(r.out.find("result -2\n"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(ReadFile(file), old);
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(HostState, KilledWhileSavingNeverLeavesATornFile) {
  // Two states of different sizes and contents: a torn file matches neither.
  std::string a, b;
  for (int i = 0; i < 60000; ++i) a += "A\xC3\xA9" + std::to_string(i % 10);
  for (int i = 0; i < 50000; ++i) b += "\xE2\x82\xAC!";
  WriteFile(tmp.path / "a.txt", a);
  WriteFile(tmp.path / "b.txt", b);
  std::mt19937 rng(static_cast<unsigned>(getpid()));
  for (int round = 0; round < 5; ++round) {
    WriteFile(file, "initial");
    pid_t pid = fork();
    if (pid == 0) {
      execl(FILES_CHILD, FILES_CHILD, "loop", tmp.path.c_str(), "a.txt", "b.txt",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Kill it a little while after saving has begun.
    bool saving = WaitFor([&] { return ReadFile(file) != "initial"; }, 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 30));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(saving) << "the child never saved";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped saving by itself";
    std::string now = ReadFile(file);
    EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
  }
}

// A wait that is no positive finite number returns at once (none of them may spin or block);
// a signal in the middle of a sleep does not cut it short.
TEST(HostSleep, NoWaitReturnsAtOnceAndSignalsDoNotShortenASleep) {
  using Clock = std::chrono::steady_clock;
  for (double wait : {0.0, -1.0, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    const auto start = Clock::now();
    platform::SleepSeconds(wait);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << wait;
  }
  struct sigaction sa {
  }, old{};
  sa.sa_handler = [](int) {};
  sigaction(SIGUSR1, &sa, &old); // no SA_RESTART: the sleep is interrupted
  const pthread_t sleeper = pthread_self();
  std::thread poke([sleeper] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      pthread_kill(sleeper, SIGUSR1);
    }
  });
  const auto start = Clock::now();
  platform::SleepSeconds(0.3);
  const auto slept = Clock::now() - start;
  poke.join();
  sigaction(SIGUSR1, &old, nullptr);
  EXPECT_GE(slept, std::chrono::milliseconds(295));
}

TEST(HostDate, FillsAsFarAsTheArrayReaches) {
  ZuGame game;
  Array<int> date(9);
  for (int n : {3, 9}) { // the same body seen as n long: only the first min(n, 7) may change
    std::fill(date.begin(), date.end(), -1);
    date.rep->length = n;
    std::time_t readings[2] = {std::time(nullptr), 0};
    game.GetDate(date);
    readings[1] = std::time(nullptr);
    date.rep->length = 9;
    bool matched = false;
    for (std::time_t t : readings) { // the clock may tick between the readings
      std::tm tm;
      localtime_r(&t, &tm);
      int want[9] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
      std::fill(want + std::min(n, 7), want + 9, -1);
      matched = matched || std::equal(want, want + 9, date.begin());
    }
    EXPECT_TRUE(matched) << n << ": " << date[0] << "-" << date[1] << "-" << date[2] << " [6] " << date[6];
  }
  game.GetDate(Array<int>()); // nothing to fill
}

// A fake xdg-open first on PATH that records its arguments, NUL-separated after a count.
class HostOpenUrl : public testing::Test {
protected:
  TempDir tmp{"files"};
  std::string record = (tmp.path / "args").string();
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  ZuGlfwGame game;

  void SetUp() override {
    WriteFile(tmp.path / "bin/xdg-open",
              "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > '" +
                  record + ".part'\nmv '" + record + ".part' '" + record + "'\n");
    fs::permissions(tmp.path / "bin/xdg-open", fs::perms::owner_all);
    setenv("PATH", ((tmp.path / "bin").string() + ":" + oldPath).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

  std::string Recorded() {
    EXPECT_TRUE(WaitFor([&] { return fs::exists(record); }, 5000)) << "xdg-open was not run";
    std::string r = ReadFile(record);
    fs::remove(record);
    return r;
  }
};

TEST_F(HostOpenUrl, RefusesAnythingButWebAddressesAndStartsNothing) {
  const char16_t lone[] = {0xD800, u'x'}; // half of a surrogate pair
  std::vector<String> urls = {String(u"https://example.com/") + String(lone, 2)};
  for (const char* url : {"file:///etc/passwd", "javascript:x", "https://example.com/\nrm -rf", "http://a\tb",
                          "https://example.com/\x7f", "ftp://example.com/", " https://example.com/",
                          "https://", "-https://example.com/", ""})
    urls.push_back(String(url));
  for (const String& url : urls) {
    std::string out = StdoutOf([&] { game.OpenUrl(url); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find("OpenUrl: refused"), std::string::npos) << out;
    EXPECT_TRUE(NoChildren()) << out; // a started xdg-open would still be running or unreaped
  }
}

TEST_F(HostOpenUrl, PassesTheAddressAsOneArgumentWithNoShellAndReapsIt) {
  InFolder cd(tmp.path);
  std::string url = "https://example.com/a b;c'd\"e$(touch pwned)`touch pwned2`|&>x é€";
  game.OpenUrl(Utf8(url));
  EXPECT_EQ(Recorded(), "1\n" + url + std::string(1, '\0'));
  for (const char* made : {"pwned", "pwned2", "x"}) EXPECT_FALSE(fs::exists(tmp.path / made)) << made;

  // The scheme in any case; a character beyond 16 bits arrives as one 4-byte sequence.
  game.OpenUrl(String(u"HtTp://Example.com/\U0001F600"));
  EXPECT_EQ(Recorded(), std::string("1\nHtTp://Example.com/\xF0\x9F\x98\x80") + '\0');
  EXPECT_TRUE(WaitFor(NoChildren, 3000)) << "a child was left unreaped";

  // Without the program: a report, not a failure of the game.
  setenv("PATH", (tmp.path / "nowhere").c_str(), 1);
  std::string out = StdoutOf([&] { game.OpenUrl(String("https://example.com/")); });
  EXPECT_NE(out.find("OpenUrl: cannot run xdg-open"), std::string::npos);
  EXPECT_TRUE(NoChildren());
}

} // namespace
