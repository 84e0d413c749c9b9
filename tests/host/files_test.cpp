// tests/host/files_test.cpp — the host's file services: paths, names, data, images, audio, state, date, URLs.
// Depends on: host (game.h, desktop_game.h), runtime, libstb (writing PNGs), tests/support, files_child.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <stb_image_write.h>

#include "host/desktop_game.h"
#include "tests/support/subprocess.h"

namespace fs = std::filesystem;

namespace {

// ============================================================================
// [SECTION] Helpers
// ============================================================================

std::string ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << bytes;
}

String Utf8(const std::string& s) { return String::FromUtf8(s.data(), static_cast<int>(s.size())); }

fs::path ProgramFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// A fresh folder under /tmp, removed with everything in it at the end.
struct TempDir {
  fs::path path;
  TempDir() {
    char name[] = "/tmp/lexorm-files-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// Works in another folder for a while.
struct InFolder {
  fs::path old = fs::current_path();
  explicit InFolder(const fs::path& p) { fs::current_path(p); }
  ~InFolder() { fs::current_path(old); }
};

// Files created beside the test program and removed again, with the folders made for them;
// the shared top folders stay, as other test processes may be using them at the same time.
struct BesideProgram {
  std::vector<fs::path> created;
  fs::path Put(const std::string& relative, const std::string& bytes) {
    fs::path p = ProgramFolder() / fs::u8path(relative);
    for (fs::path d = p.parent_path(); d.parent_path() != ProgramFolder() && !fs::exists(d);
         d = d.parent_path())
      created.push_back(d);
    WriteBytes(p, bytes);
    created.push_back(p);
    return p;
  }
  ~BesideProgram() {
    // Longest paths first: each file and folder goes before the folder holding it.
    std::sort(created.begin(), created.end(),
              [](const fs::path& a, const fs::path& b) { return a.string().size() > b.string().size(); });
    std::error_code ec;
    for (const fs::path& p : created) fs::remove(p, ec); // folders only if empty
  }
};

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// Children of this process that have not been reaped (zombies included).
int ChildCount() {
  int count = 0;
  std::string me = std::to_string(getpid());
  for (const fs::directory_entry& e : fs::directory_iterator("/proc")) {
    std::string name = e.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat = ReadBytes(e.path() / "stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state, ppid;
    rest >> state >> ppid;
    if (ppid == me) ++count;
  }
  return count;
}

template <class Pred> bool WaitFor(Pred pred, int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

// ============================================================================
// [SECTION] Paths
// ============================================================================

TEST(HostPaths, DataFolderIsBesideTheProgramWhateverTheCurrentFolder) {
  BesideProgram beside;
  std::string content = "beside the program " + std::to_string(getpid());
  beside.Put("data/images/x.png", content);
  TempDir elsewhere;
  WriteBytes(elsewhere.path / "data/images/x.png", "in the current folder"); // must not be chosen
  InFolder cd(elsewhere.path);

  ZuGlfwGame game;
  EXPECT_EQ(game.PathToFilePath(String("quokka://data/images/x.png")).ToUtf8(),
            (ProgramFolder() / "data/images/x.png").string());
  std::FILE* f = game.OpenFile(String("quokka://data/images/x.png"), String("rb"));
  ASSERT_NE(f, nullptr);
  std::string got(content.size() + 8, '\0');
  got.resize(std::fread(&got[0], 1, got.size(), f));
  std::fclose(f);
  EXPECT_EQ(got, content);
  EXPECT_EQ(game.LoadString(String("quokka://data/images/x.png")).ToUtf8(), content);
}

TEST(HostPaths, InternalAndExternalFoldersAndPlainPaths) {
  ZuGlfwGame game;
  std::string base = ProgramFolder().string();
  EXPECT_EQ(game.PathToFilePath(String("quokka://internal/a/b.txt")).ToUtf8(), base + "/internal/a/b.txt");
  EXPECT_EQ(game.PathToFilePath(String("quokka://external/c.txt")).ToUtf8(), base + "/external/c.txt");
  for (const char* plain : {"./x.txt", "/etc/hostname", "rel/x.txt", "http://example.com/a", ""})
    EXPECT_EQ(game.PathToFilePath(String(plain)).ToUtf8(), plain);

  BesideProgram beside;
  std::string tag = std::to_string(getpid());
  beside.Put("internal/in-" + tag + ".txt", "inside " + tag);
  beside.Put("external/ex-" + tag + ".txt", "outside " + tag);
  EXPECT_EQ(game.LoadString(Utf8("quokka://internal/in-" + tag + ".txt")).ToUtf8(), "inside " + tag);
  EXPECT_EQ(game.LoadString(Utf8("quokka://external/ex-" + tag + ".txt")).ToUtf8(), "outside " + tag);
}

TEST(HostPaths, UnknownQuokkaFoldersOpenNothing) {
  BesideProgram beside;
  std::string tag = std::to_string(getpid());
  fs::path foo = beside.Put("foo/x-" + tag, "present but not reachable").parent_path();
  ZuGlfwGame game;
  for (const std::string& path : std::vector<std::string>{"quokka://foo/x-" + tag, "quokka://data",
                                                          "quokka:x", "quokka:///foo/x-" + tag}) {
    EXPECT_EQ(game.PathToFilePath(Utf8(path)).Length(), 0) << path;
    EXPECT_EQ(game.OpenFile(Utf8(path), String("rb")), nullptr) << path;
    int length = -7;
    EXPECT_EQ(game.LoadData(Utf8(path), &length), nullptr) << path;
    EXPECT_EQ(length, -7);
  }
  fs::remove(foo / ("x-" + tag));
  std::error_code ec;
  fs::remove(foo, ec); // when no other test process uses it
}

TEST(HostPaths, FixDataPathPrefixesOnlyPlainRelativePaths) {
  const char* cases[][2] = {
      {"img.png", "quokka://data/img.png"},
      {"sub/img.png", "quokka://data/sub/img.png"},
      {"a/b:/c", "quokka://data/a/b:/c"}, // the first '/' is not right after the ':'
      {"c:x", "quokka://data/c:x"},
      {"", "quokka://data/"},
      {"quokka://x", "quokka://x"},
      {"http://example.com/", "http://example.com/"},
      {"quokka://data/img.png", "quokka://data/img.png"},
      {"./img.png", "./img.png"},
      {"/abs/img.png", "/abs/img.png"},
  };
  for (auto& c : cases) EXPECT_EQ(zu_data_FixDataPath(String(c[0])).ToUtf8(), c[1]) << c[0];
}

// The program copied into a folder whose name holds a backslash and a non-ASCII letter:
// the folder is decoded from UTF-8 and the backslash is kept as part of its name.
TEST(HostPaths, ProgramFolderNameIsTakenAsItIs) {
  TempDir tmp;
  fs::path dir = tmp.path / fs::u8path("prog\\é");
  fs::create_directories(dir);
  fs::copy_file(FILES_CHILD, dir / "child");
  fs::permissions(dir / "child", fs::perms::owner_all);
  WriteBytes(dir / "data/probe.txt", "found beside the copy");
  ProcessResult r = RunProcess({(dir / "child").string(), "load", "quokka://data/probe.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "found beside the copy");
}

// ============================================================================
// [SECTION] File names and data
// ============================================================================

TEST(HostFileNames, NonAsciiNamesRoundTrip) {
  ZuGlfwGame game;
  BesideProgram beside;
  std::string text = "contenu: d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC";
  beside.Put("data/caf\xC3\xA9-\xE2\x82\xAC.txt", text);
  EXPECT_EQ(game.LoadString(String(u"quokka://data/café-€.txt")).ToUtf8(), text);

  TempDir tmp;
  InFolder cd(tmp.path);
  String name(u"naïve-€-ß.txt");
  std::FILE* f = game.OpenFile(name, String("wb"));
  ASSERT_NE(f, nullptr);
  std::fputs("written", f);
  std::fclose(f);
  EXPECT_EQ(ReadBytes(tmp.path / "na\xC3\xAFve-\xE2\x82\xAC-\xC3\x9F.txt"), "written"); // UTF-8 on disk
  EXPECT_EQ(game.LoadString(name).ToUtf8(), "written");
}

TEST(HostFileNames, NamesWithNulOrNothingOpenNothing) {
  TempDir tmp;
  InFolder cd(tmp.path);
  WriteBytes(tmp.path / "a", "short name");
  ZuGame game;
  const char16_t withNul[] = {u'a', 0, u'b'};
  EXPECT_EQ(game.OpenFile(String(withNul, 3), String("rb")), nullptr);
  EXPECT_EQ(game.OpenFile(String(), String("rb")), nullptr);
  EXPECT_EQ(game.LoadString(String("missing.txt")).Length(), 0);
}

TEST(HostLoadData, ExactBytesAndLengthAcrossBlocks) {
  TempDir tmp;
  ZuGame game;
  for (std::size_t size : {std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
                           std::size_t{8192}, std::size_t{3 * 4096 + 17}}) {
    std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    fs::path p = tmp.path / ("d" + std::to_string(size));
    WriteBytes(p, bytes);
    int before = gc_ext_new_bytes.load();
    int length = -1;
    unsigned char* data = game.LoadData(Utf8(p.string()), &length);
    ASSERT_NE(data, nullptr) << size;
    EXPECT_EQ(gc_ext_new_bytes.load() - before, static_cast<int>(size));
    ASSERT_EQ(length, static_cast<int>(size));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), bytes) << size;
    std::free(data);
  }
}

TEST(HostLoadData, EmptyMissingAndUnreadableFiles) {
  TempDir tmp;
  ZuGame game;
  WriteBytes(tmp.path / "empty", "");
  int length = -1;
  unsigned char* data = game.LoadData(Utf8((tmp.path / "empty").string()), &length);
  ASSERT_NE(data, nullptr); // a readable empty file is data of length 0
  EXPECT_EQ(length, 0);
  std::free(data);

  length = -7;
  EXPECT_EQ(game.LoadData(Utf8((tmp.path / "missing").string()), &length), nullptr);
  EXPECT_EQ(length, -7);
  // A folder opens as a file on Linux but cannot be read: no data, not an empty block.
  testing::internal::CaptureStdout();
  EXPECT_EQ(game.LoadData(Utf8(tmp.path.string()), &length), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("LoadData: cannot read"), std::string::npos);
  EXPECT_EQ(length, -7);
}

TEST(HostLoadData, ReadIntIsLittleEndianAndMinusOneAtAShortRead) {
  TempDir tmp;
  fs::path p = tmp.path / "ints";
  WriteBytes(p, std::string("\x78\x56\x34\x12\xFF\xFF\xFF\x7F\x00\x00\x00\x80\xFE\xFF\xFF\xFF\x01\x02", 18));
  std::FILE* f = std::fopen(p.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(readInt(f), 0x12345678);
  EXPECT_EQ(readInt(f), INT_MAX);
  EXPECT_EQ(readInt(f), INT_MIN);
  EXPECT_EQ(readInt(f), -2);
  EXPECT_EQ(readInt(f), -1); // only two bytes left
  EXPECT_EQ(readInt(f), -1);
  std::fclose(f);
  EXPECT_EQ(readInt(nullptr), -1);
}

// ============================================================================
// [SECTION] Images and audio
// ============================================================================

TEST(HostImages, LoadsAPngWithItsSizeDepthAndPixels) {
  TempDir tmp;
  InFolder cd(tmp.path);
  const int w = 3, h = 2;
  std::string rgb = RandomBytes(w * h * 3, 7), rgba = RandomBytes(2 * 2 * 4, 8);
  ASSERT_NE(stbi_write_png("rgb.png", w, h, 3, rgb.data(), w * 3), 0);
  ASSERT_NE(stbi_write_png("rgba.png", 2, 2, 4, rgba.data(), 2 * 4), 0);

  ZuGlfwGame game;
  int width = 0, height = 0, depth = 0;
  int before = gc_ext_new_bytes.load();
  unsigned char* pixels = game.LoadImageData(String("rgb.png"), &width, &height, &depth);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(width, w);
  EXPECT_EQ(height, h);
  EXPECT_EQ(depth, 3);
  EXPECT_EQ(gc_ext_new_bytes.load() - before, w * h * 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), rgb.size()), rgb);
  std::free(pixels);

  pixels = game.LoadImageData(String("./rgba.png"), &width, &height, &depth);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(width * 100 + height * 10 + depth, 224);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), rgba.size()), rgba);
  std::free(pixels);

  EXPECT_EQ(game.LoadImageData(String("missing.png"), &width, &height, &depth), nullptr);
  WriteBytes(tmp.path / "bad.png", "\x89PNG not really");
  testing::internal::CaptureStdout();
  EXPECT_EQ(game.LoadImageData(String("bad.png"), &width, &height, &depth), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("LoadImageData: cannot decode bad.png"),
            std::string::npos);
}

int g_readerCalls;
std::string g_readerSaw;

// Reads the whole file and hands back its bytes as one channel of 8-bit samples.
unsigned char* FakeReader(std::FILE* f, int* length, int* channels, int* format, int* hertz) {
  ++g_readerCalls;
  char buf[64];
  g_readerSaw.assign(buf, std::fread(buf, 1, sizeof buf, f));
  if (g_readerSaw == "undecodable") return nullptr;
  unsigned char* out = static_cast<unsigned char*>(std::malloc(g_readerSaw.size()));
  std::memcpy(out, g_readerSaw.data(), g_readerSaw.size());
  *length = static_cast<int>(g_readerSaw.size()) / 2;
  *channels = 2;
  *format = 1;
  *hertz = 22050;
  return out;
}

TEST(HostAudio, ReaderChosenByExtensionIgnoringCase) {
  TempDir tmp;
  InFolder cd(tmp.path);
  for (const char* name : {"a.wav", "b.WAV", "c.mp3", "d.Ogg", "noext", "bad.wav"})
    WriteBytes(tmp.path / name,
               std::string(name) == "bad.wav" ? "undecodable" : std::string("samples ") + name);
  fs::create_directories(tmp.path / "dir.wav");
  WriteBytes(tmp.path / "dir.wav/inner", "samples inner");
  ZuGlfwGame::SetAudioReader(".wav", FakeReader);
  ZuGlfwGame::SetAudioReader("OGG", FakeReader); // stored lower case, dot added

  ZuGlfwGame game;
  for (const char* name : {"a.wav", "b.WAV", "d.Ogg"}) {
    g_readerCalls = 0;
    int length = 0, channels = 0, format = 0, hertz = 0;
    int before = gc_ext_new_bytes.load();
    unsigned char* samples = game.LoadAudioData(String(name), &length, &channels, &format, &hertz);
    ASSERT_NE(samples, nullptr) << name;
    std::string expected = std::string("samples ") + name;
    EXPECT_EQ(g_readerCalls, 1);
    EXPECT_EQ(g_readerSaw, expected);
    EXPECT_EQ(length, static_cast<int>(expected.size()) / 2);
    EXPECT_EQ(channels * 100000 + format * 10000 + hertz, 200000 + 10000 + 22050);
    EXPECT_EQ(gc_ext_new_bytes.load() - before, length * channels * format);
    std::free(samples);
  }
  g_readerCalls = 0;
  int length = -5, channels = -5, format = -5, hertz = -5;
  testing::internal::CaptureStdout();
  for (const char* name : {"c.mp3", "noext", "dir.wav/inner", "missing.wav", "bad.wav"})
    EXPECT_EQ(game.LoadAudioData(String(name), &length, &channels, &format, &hertz), nullptr) << name;
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no reader for this kind of file: c.mp3"),
            std::string::npos);
  EXPECT_EQ(g_readerCalls, 1); // only bad.wav reached the reader
  EXPECT_EQ(length + channels + format + hertz, -20);

  ZuGlfwGame::SetAudioReader(".wav", nullptr);
  ZuGlfwGame::SetAudioReader(".ogg", nullptr);
  EXPECT_EQ(game.LoadAudioData(String("a.wav"), &length, &channels, &format, &hertz), nullptr);
}

// ============================================================================
// [SECTION] Saved state
// ============================================================================

class HostState : public testing::Test {
protected:
  TempDir tmp;
  InFolder cd{tmp.path};
  ZuGame game;
  fs::path file = tmp.path / ".quokkastate";
  fs::path temp = tmp.path / ".quokkastate.tmp";
};

TEST_F(HostState, RoundTripKeepsNonAsciiTextExactly) {
  String state(u"best=120;name=Zoé;prize=€ 5;line2\nend");
  EXPECT_EQ(game.SaveState(state), 0);
  EXPECT_EQ(ReadBytes(file), "best=120;name=Zo\xC3\xA9;prize=\xE2\x82\xAC 5;line2\nend"); // no newline added
  EXPECT_EQ(game.LoadState(), state);
  EXPECT_FALSE(fs::exists(temp));

  EXPECT_EQ(game.SaveState(String("short")), 0); // a shorter state leaves no tail behind
  EXPECT_EQ(ReadBytes(file), "short");
}

TEST_F(HostState, EmptyStateGivesAnEmptyFileAndNoFileGivesNothing) {
  EXPECT_EQ(game.LoadState().Length(), 0);
  ASSERT_EQ(game.SaveState(String("something")), 0);
  EXPECT_EQ(game.SaveState(String()), 0);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_EQ(game.LoadState().Length(), 0);
}

TEST_F(HostState, UnopenableTemporaryFileReturnsMinusOneAndKeepsTheOld) {
  WriteBytes(file, "old state \xC3\xA9");
  fs::create_directory(temp); // the temporary name is taken by a folder
  WriteBytes(temp / "keep", "x");
  testing::internal::CaptureStdout();
  EXPECT_EQ(game.SaveState(String("new")), -1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("SaveState:"), std::string::npos);
  EXPECT_EQ(ReadBytes(file), "old state \xC3\xA9");
  EXPECT_TRUE(fs::exists(temp / "keep")); // someone else's folder is not touched

  // The current folder itself is gone.
  TempDir doomed;
  InFolder inside(doomed.path);
  fs::remove(doomed.path);
  testing::internal::CaptureStdout();
  EXPECT_EQ(game.SaveState(String("new")), -1);
  testing::internal::GetCapturedStdout();
}

TEST_F(HostState, FailedRenameReturnsMinusTwoAndRemovesTheTemporaryFile) {
  fs::create_directory(file); // the state's name is taken by a folder that is not empty
  WriteBytes(file / "keep", "x");
  testing::internal::CaptureStdout();
  EXPECT_EQ(game.SaveState(String("new")), -2);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(ReadBytes(file / "keep"), "x");
}

TEST_F(HostState, ShortWriteReturnsMinusTwoAndKeepsTheOldFileByteForByte) {
  std::string old = RandomBytes(1000, 3);
  WriteBytes(file, old);
  WriteBytes(tmp.path / "big.txt", std::string(300000, 'a') + "\xE2\x82\xAC");
  WriteBytes(tmp.path / "small.txt", "fits \xE2\x82\xAC");
  ProcessResult r = RunProcess({FILES_CHILD, "save", tmp.path.string(), "big.txt", "65536"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("result -2"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_FALSE(fs::exists(temp));

  // The same child under the same limit saves a state that fits.
  r = RunProcess({FILES_CHILD, "save", tmp.path.string(), "small.txt", "65536"});
  EXPECT_EQ(r.out, "result 0\n");
  EXPECT_EQ(ReadBytes(file), "fits \xE2\x82\xAC");
}

TEST_F(HostState, KilledWhileSavingNeverLeavesATornFile) {
  // Two states of different sizes and contents: a torn file matches neither.
  std::string a, b;
  for (int i = 0; i < 60000; ++i) a += "A\xC3\xA9" + std::to_string(i % 10);
  for (int i = 0; i < 50000; ++i) b += "\xE2\x82\xAC!";
  WriteBytes(tmp.path / "a.txt", a);
  WriteBytes(tmp.path / "b.txt", b);
  std::mt19937 rng(static_cast<unsigned>(getpid()));
  for (int round = 0; round < 5; ++round) {
    WriteBytes(file, "initial");
    pid_t pid = fork();
    if (pid == 0) {
      execl(FILES_CHILD, FILES_CHILD, "loop", tmp.path.c_str(), "a.txt", "b.txt",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Kill it a little while after saving has begun.
    bool saving = WaitFor([&] { return ReadBytes(file) != "initial"; }, 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 30));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(saving) << "the child never saved";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped saving by itself";
    std::string now = ReadBytes(file);
    EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
  }
}

// ============================================================================
// [SECTION] Date
// ============================================================================

// GetDate between two readings of the clock; the first n fields must match one of them.
bool GetDateMatchesClock(ZuGame& game, Array<int> date, int n) {
  std::time_t before = std::time(nullptr);
  game.GetDate(date);
  std::time_t after = std::time(nullptr);
  for (std::time_t t : {before, after}) {
    std::tm tm;
    localtime_r(&t, &tm);
    const int want[7] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
    if (std::equal(want, want + n, date.begin())) return true;
  }
  return false;
}

TEST(HostDate, FillsAsFarAsTheArrayReaches) {
  ZuGame game;
  const int kUntouched = 424242;
  Array<int> date(9);
  for (int& v : date) v = kUntouched;
  date.rep->length = 3; // the same body seen as 3 long: only year, month and day may change
  EXPECT_TRUE(GetDateMatchesClock(game, date, 3));
  date.rep->length = 9;
  for (int i = 3; i < 9; ++i) EXPECT_EQ(date[i], kUntouched) << i;
  EXPECT_TRUE(date[0] >= 1000 && date[0] <= 9999) << date[0];

  EXPECT_TRUE(GetDateMatchesClock(game, date, 7)); // [6] is 0
  EXPECT_EQ(date[7], kUntouched);
  EXPECT_EQ(date[8], kUntouched);
  EXPECT_TRUE(GetDateMatchesClock(game, Array<int>(3), 3));
  game.GetDate(Array<int>()); // nothing to fill
}

// ============================================================================
// [SECTION] Opening URLs
// ============================================================================

// A fake xdg-open first on PATH that records its arguments, NUL-separated after a count.
class HostOpenUrl : public testing::Test {
protected:
  TempDir tmp;
  InFolder cd{tmp.path};
  fs::path record = tmp.path / "args";
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  ZuGlfwGame game;

  void SetUp() override {
    fs::create_directory(tmp.path / "bin");
    fs::path script = tmp.path / "bin/xdg-open";
    WriteBytes(script,
               "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > '" +
                   record.string() + ".part'\nmv '" + record.string() + ".part' '" + record.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    setenv("PATH", ((tmp.path / "bin").string() + ":" + oldPath).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

  std::string Recorded() {
    EXPECT_TRUE(WaitFor([&] { return fs::exists(record); }, 5000)) << "xdg-open was not run";
    std::string r = ReadBytes(record);
    fs::remove(record);
    return r;
  }
};

TEST_F(HostOpenUrl, RefusesAnythingButWebAddresses) {
  for (const char* url : {"file:///etc/passwd", "javascript:x", "https://example.com/\nrm -rf", "http://a\tb",
                          "https://example.com/\x7f", "ftp://example.com/", " https://example.com/",
                          "https://", "-https://example.com/", ""}) {
    testing::internal::CaptureStdout();
    game.OpenUrl(String(url));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find("OpenUrl: refused"), std::string::npos) << out;
  }
  const char16_t lone[] = {0xD800, u'x'}; // half of a surrogate pair
  testing::internal::CaptureStdout();
  game.OpenUrl(String(u"https://example.com/") + String(lone, 2));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("OpenUrl: refused"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(record));
  EXPECT_EQ(ChildCount(), 0);
}

TEST_F(HostOpenUrl, PassesTheAddressAsOneArgumentWithNoShellAndReapsIt) {
  std::string url = "https://example.com/a b;c'd\"e$(touch pwned)`touch pwned2`|&>x é€";
  game.OpenUrl(Utf8(url));
  EXPECT_EQ(Recorded(), "1\n" + url + std::string(1, '\0'));
  EXPECT_FALSE(fs::exists(tmp.path / "pwned"));
  EXPECT_FALSE(fs::exists(tmp.path / "pwned2"));
  EXPECT_FALSE(fs::exists(tmp.path / "x"));

  // The scheme in any case; a character beyond 16 bits arrives as one 4-byte sequence.
  const char16_t upper[] = u"HtTp://Example.com/\U0001F600";
  game.OpenUrl(String(upper));
  EXPECT_EQ(Recorded(), std::string("1\nHtTp://Example.com/\xF0\x9F\x98\x80") + '\0');
  EXPECT_TRUE(WaitFor([] { return ChildCount() == 0; }, 3000)) << "a child was left unreaped";
}

TEST_F(HostOpenUrl, MissingProgramIsReportedNotFatal) {
  setenv("PATH", (tmp.path / "nowhere").c_str(), 1);
  testing::internal::CaptureStdout();
  game.OpenUrl(String("https://example.com/"));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("OpenUrl: cannot run xdg-open"), std::string::npos);
  EXPECT_EQ(ChildCount(), 0);
}

} // namespace
