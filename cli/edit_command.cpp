#include <cstdio>

#include "cli/commands.h"

int runEditCommand(int, char**) {
  std::fprintf(stderr, "zuctl: the edit command is not built yet\n");
  return 2;
}
