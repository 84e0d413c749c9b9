// tests/host/files_child.cpp — a host in its own process for the file tests; does what argv[1] asks.
// Depends on: host (desktop_game.h), runtime.
//   save DIR TEXT [LIMIT]   in DIR, SaveState of TEXT's file contents with the file size
//                           limited to LIMIT bytes (SIGXFSZ ignored); prints the result.
//                           Runs without a superuser's right to ignore file permissions.
//   loop DIR A B [N]        in DIR, SaveState of A's then B's contents, over and over (N saves
//                           in all when given; B may be A)
//   load PATH               prints LoadString(PATH) as UTF-8 (paths beside this program)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/capability.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "host/desktop_game.h"

// The runtime's start-up is not used here, but the program that links it supplies these.
void zuInit() {}
int zuMain() { return 0; }

static String ReadText(const char* name) {
  std::FILE* f = std::fopen(name, "rb");
  if (!f) {
    std::fprintf(stderr, "files_child: cannot read %s\n", name);
    std::exit(2);
  }
  String text = String::Load(f);
  std::fclose(f);
  return text;
}

static void EnterFolder(const char* dir) {
  if (chdir(dir) != 0) {
    std::fprintf(stderr, "files_child: cannot enter %s\n", dir);
    std::exit(2);
  }
}

// Gives up every capability, so that a folder's permissions bind even a process run as root.
static void DropCapabilities() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  syscall(SYS_capset, &header, data);
}

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  ZuGlfwGame game;
  if (mode == "save" && argc >= 4) {
    EnterFolder(argv[2]);
    String state = ReadText(argv[3]);
    DropCapabilities();
    if (argc >= 5) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit limit;
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(std::atoll(argv[4]));
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    }
    int result = game.SaveState(state);
    std::printf("result %d\n", result);
    return 0;
  }
  if (mode == "loop" && argc >= 5) {
    EnterFolder(argv[2]);
    String a = ReadText(argv[3]), b = ReadText(argv[4]);
    const long saves = argc >= 6 ? std::atol(argv[5]) : -1;
    for (long i = 0; saves < 0 || i < saves; ++i) {
      if (game.SaveState(i % 2 ? b : a) != 0) return 4;
    }
    return 0;
  }
  if (mode == "load" && argc >= 3) {
    String text = game.LoadString(String::FromUtf8(argv[2], static_cast<int>(std::strlen(argv[2]))));
    std::string bytes = text.ToUtf8();
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return 0;
  }
  std::fprintf(stderr, "files_child: unknown request\n");
  return 2;
}
