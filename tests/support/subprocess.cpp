// tests/support/subprocess.cpp — fork/exec with files for the child's streams.
#include "subprocess.h"
#include "temp_files.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

ProcessResult RunProcess(const std::vector<std::string>& argv, bool close_stdin, int timeout_s) {
  char dir[] = "/tmp/lexorm-proc-XXXXXX";
  ProcessResult result;
  if (!mkdtemp(dir)) return result;
  std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
  pid_t pid = fork();
  if (pid == 0) {
    if (close_stdin) {
      close(0);
    } else {
      int fd = open("/dev/null", O_RDONLY);
      dup2(fd, 0);
      close(fd);
    }
    int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fo, 1);
    dup2(fe, 2);
    close(fo);
    close(fe);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  for (int waited_ms = 0;; waited_ms += 10) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (waited_ms > timeout_s * 1000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(10000);
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  rmdir(dir);
  return result;
}

bool NoChildren() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}
