// Test support for the zuctl command tests (header only, included by tests alone): runs a
// program to its end with its standard output and standard error caught.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/files_test_support.h"

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit
  std::string out;
  std::string err;
};

// Runs `program` with `args` and this process's environment, in which `env` ("NAME=value")
// replaces or adds variables; its output goes through files in `scratch` (an existing folder).
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& env, const std::string& scratch) {
  // Everything is made before fork: simulator threads may run in this process, so the child only
  // calls what is safe after fork.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> environment = env;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    bool replaced = false;
    for (const std::string& own : env)
      replaced = replaced || entry.starts_with(own.substr(0, own.find('=') + 1));
    if (!replaced) environment.emplace_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string outFile = scratch + "/program-stdout.txt";
  const std::string errFile = scratch + "/program-stderr.txt";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) _exit(127);
    ::execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return {};
  ProgramRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(outFile),
                 readFile(errFile)};
  ::unlink(outFile.c_str());
  ::unlink(errFile.c_str());
  return run;
}
