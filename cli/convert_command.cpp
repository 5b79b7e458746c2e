#include <cstdio>

#include "cli/commands.h"

int runConvertCommand(int, char**) {
  std::fprintf(stderr, "zuctl: the convert command is not built yet\n");
  return 2;
}
