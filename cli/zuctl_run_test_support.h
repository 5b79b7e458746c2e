// Test support (header only, for the cli tests): runs the zuctl program of the build with its
// standard output and standard error caught, in a state folder of the test's own.
#pragma once

#include <string>
#include <vector>

#include "base/files_test_support.h"
#include "cli/command_test_support.h"

using ZuctlRun = ProgramRun;

// Runs `bin/zuctl args...` with XDG_STATE_HOME=`dir/state`, its output caught in files of `dir`.
inline ZuctlRun runZuctl(const std::vector<std::string>& args, const TempDir& dir) {
  return runProgram(std::string(ZU_BINARY_DIR) + "/bin/zuctl", args,
                    {"XDG_STATE_HOME=" + dir.file("state")}, dir.path());
}
