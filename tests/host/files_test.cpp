// tests/host/files_test.cpp — the host's file services: paths, data, audio, state, file names, the date,
// URLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "host/desktop_game.h"
#include "host/platform.h"
#include "tests/support/runtime_output.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_files.h"

namespace fs = std::filesystem;

int readInt(std::FILE* f); // the host's little-endian reader, declared by no header

namespace {

using Ints = std::vector<int>;
struct Temp : TempDir { // a fresh current folder
  Temp() : TempDir("files") {}
  InFolder cd{path};
};
std::string Bytes(const void* p, std::size_t n) { return std::string(static_cast<const char*>(p), n); }
std::string Pattern(std::size_t n) { // bytes that differ at every block size
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

// quokka://data/, internal/, external/ lead beside the program, other quokka: paths nowhere.
TEST(HostPaths, QuokkaFoldersAreBesideTheProgram) {
  BesideProgram beside;
  std::string data = beside.Put("data", "x", "d"), in = beside.Put("internal", "x", "i"),
              ex = beside.Put("external", "x", "e");
  Temp tmp;
  ZuGlfwGame game;
  WriteFile(tmp.path / data, "wrong");
  for (auto [p, want] : {std::pair{data, "d"}, {in, "i"}, {ex, "e"}})
    EXPECT_EQ(game.LoadString(String(("quokka://" + p).c_str())).ToUtf8(), want);
  for (const char* p : {"quokka://foo/x", "quokka://data", "quokka:///data/x", "quokka:data/x"})
    EXPECT_EQ(game.PathToFilePath(String(p)).ToUtf8(), "") << p;
  const char* cases[][2] = {{"img.png", "quokka://data/img.png"}, {"a/b:/c", "quokka://data/a/b:/c"},
                            {"c:x", "quokka://data/c:x"},         {"quokka://x", "quokka://x"},
                            {"http://a.com/", "http://a.com/"},   {"./img.png", "./img.png"},
                            {"/abs/img.png", "/abs/img.png"},     {"", "quokka://data/"}};
  for (auto& c : cases) EXPECT_EQ(zu_data_FixDataPath(String(c[0])).ToUtf8(), c[1]) << c[0];
}

// Names are UTF-8, a NUL opens nothing; data around the 4096-byte block comes back whole, counted.
TEST(HostFiles, NamesAndDataComeBackExactly) {
  Temp tmp;
  ZuGlfwGame game;
  std::fclose(game.OpenFile(String(u"naïve-€"), String("wb")));
  EXPECT_TRUE(fs::exists(tmp.path / "na\xC3\xAFve-\xE2\x82\xAC"));
  WriteFile(tmp.path / "a", "short name");
  const char16_t withNul[] = {u'a', 0, u'b'};
  EXPECT_EQ(game.OpenFile(String(withNul, 3), String("rb")), nullptr);
  EXPECT_EQ(game.OpenFile(String(), String("rb")), nullptr);
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 2 * 4096 + 17}) {
    WriteFile(tmp.path / "d", Pattern(size));
    int before = gc_ext_new_bytes.load(), length = -1;
    unsigned char* data = game.LoadData(String("d"), &length);
    ASSERT_NE(data, nullptr) << size; // an empty file too: data of length 0
    ASSERT_EQ((Ints{length, gc_ext_new_bytes.load() - before}), (Ints{int(size), int(size)}));
    EXPECT_EQ(Bytes(data, size), Pattern(size));
    std::free(data);
  }
  int length = -7;
  EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(game.LoadData(String("."), &length), nullptr); }),
            "LoadData: cannot read .\n");
  EXPECT_EQ(game.LoadData(String("missing"), &length), nullptr);
  EXPECT_EQ(length, -7) << "a missing file leaves the length alone";
}

// Audio readers by extension, letters in any case; 15 characters with the dot fit, 16 do not.
TEST(HostAudio, TheReaderIsChosenByExtensionIgnoringCase) {
  Temp tmp;
  ZuAudioReader reader = [](std::FILE*, int* n, int* c, int* f, int* hz) {
    return *n = 3, *c = *f = 2, *hz = 8000, static_cast<unsigned char*>(std::malloc(12));
  };
  // The file; the frames read and the bytes the collector was told of.
  const std::tuple<const char*, int, int> files[] = {{"x.a", 3, 12},
                                                     {".a", 3, 12}, // a name that is all extension
                                                     {"y.ZZ", 3, 12},
                                                     {"z.abcdefghijklmn", 3, 12},
                                                     {"w.abcdefghijklmno", 0, 0},
                                                     {"d.a/x", 0, 0}};
  std::string out = StdoutOf([&] {
    for (const char* ext : {".A", "zZ", "abcdefghijklmn", "abcdefghijklmno"})
      ZuGlfwGame::SetAudioReader(ext, reader);
    for (auto [name, frames, bytes] : files) {
      WriteFile(tmp.path / name, "pcm");
      int n = 0, before = gc_ext_new_bytes.load();
      std::free(ZuGlfwGame().LoadAudioData(String(name), &n, nullptr, nullptr, nullptr));
      EXPECT_EQ(n, frames) << name << ": frames";
      EXPECT_EQ(gc_ext_new_bytes.load() - before, bytes) << name << ": bytes the collector was told of";
    }
    for (const char* ext : {".a", ".zz", ".abcdefghijklmn"}) ZuGlfwGame::SetAudioReader(ext, nullptr);
  });
  EXPECT_EQ(out, "SetAudioReader: unusable extension\nLoadAudioData: no reader for this kind of file: "
                 "w.abcdefghijklmno\nLoadAudioData: no reader for this kind of file: d.a/x\n");
  std::FILE* f = std::tmpfile(); // four bytes, lowest first; -1 when four cannot be read
  std::fwrite("\x01\x02\x03\x84\x05", 1, 5, f), std::rewind(f);
  EXPECT_EQ((Ints{readInt(f), readInt(f), readInt(nullptr)}), (Ints{int(0x84030201), -1, -1}));
  std::fclose(f);
}

std::string NotSaved(const char* why) {
  return std::string("SaveState: the state was not saved (") + why + "); the previous one is kept\n";
}

// The state round-trips exactly through a chain of links that stays, keeping the file's mode. A
// failed save says why, returns -1 (nothing written) or -2 (write or rename failed), keeps the old.
TEST(HostState, SavesWholeOrNotAtAll) {
  Temp tmp;
  ZuGame game;
  const fs::path file = tmp.path / "real/state"; // .quokkastate -> first -> /.../real/second -> state
  EXPECT_EQ(game.LoadState().Length(), 0);       // no file yet
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  WriteFile(file, "old");
  fs::permissions(file, mode);
  fs::create_symlink("first", ".quokkastate");
  fs::create_symlink(tmp.path / "real/second", "first");
  fs::create_symlink("state", tmp.path / "real/second");
  String state(u"best=120;name=Zoé;prize=€ 5;line2\nend");
  EXPECT_EQ(game.SaveState(state), 0);
  EXPECT_EQ(ReadFile(file), "best=120;name=Zo\xC3\xA9;prize=\xE2\x82\xAC 5;line2\nend");
  EXPECT_EQ(game.LoadState(), state);
  for (const char* link : {".quokkastate", "first", "real/second"}) EXPECT_TRUE(fs::is_symlink(link)) << link;
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, mode);
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old), small = {65536, old.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  std::string out =
      StdoutOf([&] { EXPECT_EQ(game.SaveState(String(std::u16string(70000, u'a').data(), 70000)), -2); });
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(out, NotSaved("short write"));
  EXPECT_EQ(game.LoadState(), state);
  EXPECT_EQ(game.SaveState(String()), 0) << "an empty state";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  fs::remove_all("real");
  WriteFile(tmp.path / "real/second/keep", "x"); // a folder that is not empty: the rename fails
  EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(game.SaveState(String("new")), -2); }),
            NotSaved("rename over the old file failed"));
  EXPECT_EQ(ReadFile(tmp.path / "real/second/keep"), "x");
  EXPECT_EQ(std::distance(fs::directory_iterator("real"), fs::directory_iterator()), 1);
  fs::create_directory("gone");
  InFolder gone("gone");
  fs::remove(tmp.path / "gone");
  EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(game.SaveState(String("x")), -1); }),
            NotSaved("cannot open the temporary file"));
}

// The state file is read only when it is a regular file of at most 1 MiB: anything else gives one
// line and the start of a first run, and stays where it is. A FIFO is never waited on: with a
// writer ready to send a whole text, the text is not taken.
TEST(HostState, OnlyASmallRegularFileIsRead) {
  const std::string kMiB(1 << 20, 'a'), kOver = kMiB + "a";
  const std::string kSkipped = "LoadState: .quokkastate is not a regular file; starting without it\n";
  const struct {
    const char* what;
    std::function<void()> make;
    std::string loaded, said;
  } cases[] = {
      {"none", [] {}, "", ""},
      {"1 MiB", [&] { WriteFile(".quokkastate", kMiB); }, kMiB, ""},
      {"1 MiB and a byte", [&] { WriteFile(".quokkastate", kOver); }, "",
       "LoadState: .quokkastate is larger than 1 MiB; starting without it\n"},
      {"a device", [] { fs::create_symlink("/dev/null", ".quokkastate"); }, "", kSkipped},
      {"a folder", [] { fs::create_directory(".quokkastate"); }, "", kSkipped},
      {"a FIFO", [] { mkfifo(".quokkastate", 0600); }, "", kSkipped},
  };
  std::signal(SIGPIPE, SIG_IGN);
  for (const auto& c : cases) {
    Temp tmp;
    c.make();
    const bool fifo = fs::is_fifo(".quokkastate");
    const fs::file_type kind = fs::symlink_status(".quokkastate").type();
    std::thread writer([&] { // blocks until a reader opens the FIFO, then sends a whole save
      if (!fifo) return;
      const int fd = open(".quokkastate", O_WRONLY);
      if (fd >= 0 && write(fd, "a|b|", 4) < 0) {
      }
      if (fd >= 0) close(fd);
    });
    String got;
    EXPECT_EQ(StdoutOf([&] { got = ZuGame().LoadState(); }), c.said) << c.what;
    const int release = fifo ? open(".quokkastate", O_RDONLY | O_NONBLOCK) : -1; // should the writer wait
    writer.join();
    if (release >= 0) close(release);
    EXPECT_EQ(got.Length(), static_cast<int>(c.loaded.size())) << c.what;
    EXPECT_TRUE(got.ToUtf8() == c.loaded) << c.what << ": the text loaded"; // not printed: 1 MiB
    EXPECT_EQ(fs::symlink_status(".quokkastate").type(), kind) << c.what << ": left as it was";
  }
}

// A save keeps the old file's permission bits and nothing more: no set-user-ID, set-group-ID or
// sticky bit survives.
TEST(HostState, ASaveKeepsOnlyThePermissionBits) {
  const std::pair<fs::perms, fs::perms> modes[] = {{fs::perms(04755), fs::perms(0755)},
                                                   {fs::perms(02750), fs::perms(0750)},
                                                   {fs::perms(01644), fs::perms(0644)},
                                                   {fs::perms(07777), fs::perms(0777)},
                                                   {fs::perms(0600), fs::perms(0600)}};
  for (const auto& [before, after] : modes) {
    Temp tmp;
    WriteFile(".quokkastate", "old");
    fs::permissions(".quokkastate", before);
    ASSERT_EQ(fs::status(".quokkastate").permissions(), before) << "the mode could not be set";
    EXPECT_EQ(ZuGame().SaveState(String("new")), 0);
    EXPECT_EQ(fs::status(".quokkastate").permissions(), after) << std::oct << int(before);
    EXPECT_EQ(ReadFile(".quokkastate"), "new");
  }
}

// Loading the state first removes the temporary files that killed saves left beside the file the
// links lead to, but only regular files named as a save names them, of processes that are gone.
TEST(HostState, LoadingRemovesTheTemporariesOfDeadProcessesOnly) {
  Temp tmp;
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), self = std::to_string(getpid());
  fs::create_directory("real");
  fs::create_symlink("real/state", ".quokkastate");
  WriteFile("real/state", "saved");
  const std::pair<std::string, bool> files[] = {
      {"real/state.tmp." + dead + ".0", false},
      {"real/state.tmp." + dead + ".17", false},
      {"real/state.tmp." + self + ".3", true},
      {"real/state.tmp.1.0", true}, // init is always there
      {"real/state.tmp." + dead, true},
      {"real/state.tmp." + dead + ".x", true},
      {"real/state.tmp.0" + dead + ".1", true},
      {"real/state.tmp.9999999999.0", true},     // ten digits  {"real/other.tmp." + dead + ".0", true},
      {".quokkastate.tmp." + dead + ".0", true}, // beside the link, where no save writes
  };
  for (const auto& [name, kept] : files) WriteFile(name, "part");
  fs::create_directory("real/state.tmp." + dead + ".5"); // a folder is never removed
  EXPECT_EQ(ZuGame().LoadState().ToUtf8(), "saved");
  for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(name), kept) << name;
  EXPECT_TRUE(fs::is_directory("real/state.tmp." + dead + ".5"));
}

// Names read from the system keep their bytes: UTF-8 as text, any other byte set aside and given
// back as it was.
TEST(HostPaths, FileNamesKeepTheirBytes) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"caf\xE9", u"caf\xDCE9"},                         // Latin-1
      {"\xF0\x9F\x98\x80", u"\U0001F600"},               // four bytes: a pair
      {"\xF0\x90\x82\x80", u"\U00010080"},               // a pair whose low half looks set aside
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},           // an encoded surrogate
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                     // too long a form
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // above U+10FFFF
      {"a\xE2\x82", u"a\xDCE2\xDC82"},                   // cut short
      {"/opt/\xFF\xFE/lexorm", u"/opt/\xDCFF\xDCFE/lexorm"},
  };
  for (const auto& c : cases) {
    const String text = platform::FileNameText(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(std::u16string(text.Data(), text.Length()), c.text) << c.bytes;
    EXPECT_EQ(platform::FileNameBytes(text), c.bytes);
  }
  // A high surrogate is a pair only with a low one after it: before U+E000 it stands alone.
  EXPECT_EQ(platform::FileNameBytes(String(u"a\xD800\xE000", 3)), "a\xED\xA0\x80\xEE\x80\x80");
}

// The date the game is given is the local one, as date(1) tells it (asked before and after, should
// midnight pass in between); seven fields at most are filled.
TEST(HostClock, TheDateIsTheLocalDate) {
  auto today = [] { return RunProcess({"/bin/date", "+%Y-%m-%d"}, true, 10).out; };
  const std::string before = today();
  Array<int> date(8);
  date[6] = date[7] = 42;
  ZuGame().GetDate(date);
  const std::string after = today();
  char mine[40];
  std::snprintf(mine, sizeof mine, "%04d-%02d-%02d\n", date[0], date[1], date[2]);
  EXPECT_TRUE(mine == before || mine == after) << "the host said " << mine << "date(1) said " << before;
  EXPECT_EQ(date[6], 0) << "the seventh field";
  EXPECT_EQ(date[7], 42) << "past the seventh field";
}

// Only http(s):// addresses without control characters or broken surrogates; a refusal starts
// nothing. An address goes whole as one argument, no shell, as UTF-8; the child is reaped.
TEST(HostOpenUrl, OpensOnlyWebAddressesAsOneArgument) {
  Temp tmp;
  const std::string record = (tmp.path / "args").string(), oldPath = getenv("PATH");
  WriteFile(tmp.path / "bin/xdg-open", "#!/bin/sh\n{ printf '%s\\n' \"$#\"; printf '%s\\0' \"$@\"; } > '" +
                                           record + ".part'\nmv '" + record + ".part' '" + record + "'\n");
  fs::permissions(tmp.path / "bin/xdg-open", fs::perms::owner_all);
  setenv("PATH", ((tmp.path / "bin").string() + ":" + oldPath).c_str(), 1);
  ZuGlfwGame game;
  std::vector<std::pair<String, const char*>> urls;
  for (std::u16string bad :
       {u"\x1F", u"\x7F", u"\x9F", u"\xD800", u"\xD800x", u"\xD800\xE000", u"\xDBFF\xDBFF", u"\xDC00"})
    urls.push_back({String("https://a.com/") + String(bad.data(), static_cast<int>(bad.size())),
                    "the address holds control characters or broken text"});
  for (const char* url :
       {"file:///etc/passwd", "ftp://a.com/", " https://a.com/", "https://", "http://", "http:/x", ""})
    urls.push_back({String(url), "only http:// and https:// addresses are opened"});
  for (auto& [url, why] : urls) {
    EXPECT_EQ(StdoutOf([&] { game.OpenUrl(url); }), std::string("OpenUrl: refused, ") + why + "\n");
    EXPECT_TRUE(NoChildren()) << why; // a started xdg-open would still be running or unreaped
  }
  const String good(u"HtTp://a.com/ b;c'd\"e$(touch pwned)`touch "
                    u"pwned2`|&>x~\u00A0\u07FF\u0800\uFFFF\U00010000\U0010FFFF");
  EXPECT_EQ(StdoutOf([&] { game.OpenUrl(good); }), ""); // it ran: nothing to say
  EXPECT_TRUE(WaitFor([&] { return fs::exists(record); }, 5000)) << "xdg-open was not run";
  EXPECT_EQ(ReadFile(record),
            std::string("1\nHtTp://a.com/ b;c'd\"e$(touch pwned)`touch pwned2`|&>x~\xC2\xA0\xDF\xBF"
                        "\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF") +
                '\0');
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 2); // no shell at work
  EXPECT_TRUE(WaitFor(NoChildren, 3000)) << "a child was left unreaped";
  setenv("PATH", (tmp.path / "nowhere").c_str(), 1);
  EXPECT_EQ(StdoutOf([&] { game.OpenUrl(String("https://a.com/")); }),
            "OpenUrl: cannot run xdg-open (xdg-open: No such file or directory)\n");
  setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
