// Test support (header only, for the cli tests): runs the zuctl program of the build with its
// standard output and standard error caught, in a state folder of the test's own.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/files_test_support.h"

struct ZuctlRun {
  int status = -1;  // exit status; -1 when it did not exit
  std::string out;
  std::string err;
};

// Runs `bin/zuctl args...` with XDG_STATE_HOME=`dir/state`, its output caught in files of `dir`.
// Everything the child needs is made before fork: simulator threads may run in this process.
inline ZuctlRun runZuctl(const std::vector<std::string>& args, const TempDir& dir) {
  const std::string program = std::string(ZU_BINARY_DIR) + "/bin/zuctl";
  const std::string outFile = dir.file("zuctl-out.txt");
  const std::string errFile = dir.file("zuctl-err.txt");
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env = {"XDG_STATE_HOME=" + dir.file("state")};
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("XDG_STATE_HOME=")) env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) _exit(127);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(outFile), readFile(errFile)};
}
