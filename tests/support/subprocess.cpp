// tests/support/subprocess.cpp — fork/exec with a file for the child's output.
#include "subprocess.h"
#include "temp_files.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

ProcessResult RunProcess(const std::vector<std::string>& argv, bool close_stdin, int timeout_s) {
  TempDir dir("proc");
  const std::string out = (dir.path / "out").string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC),
              fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    close_stdin ? close(0) : dup2(in, 0);
    dup2(fo, 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  for (int waited_ms = 0; waitpid(pid, &status, WNOHANG) != pid; waited_ms += 10) {
    if (waited_ms > timeout_s * 1000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(10000);
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out)};
}

bool NoChildren() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}
