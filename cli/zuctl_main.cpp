// zuctl: the workflows of Zu without windows, for scripts and backups.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(int, char**);
};

const Command kCommands[] = {
    {"convert",
     "convert IN OUT [--kind phonebook|extensions|templates|restrictions|internal-history|external-history]\n"
     "      load IN into the tables as the menus load it, then save OUT as the menus save it",
     runConvertCommand},
    {"edit",
     "edit phonebook|restrictions|internal-history|external-history FILE... [--no-browser] [--duplicates-allowed] [--port N]\n"
     "      edit the files in the browser editor; a line on standard input ends the editor\n"
     "      (--port 0 takes any free port)",
     runEditCommand},
};

void printHelp(std::FILE* out) {
  std::fprintf(out, "usage: zuctl COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
  std::fprintf(out, "\n  --help  show this text\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printHelp(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    printHelp(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zuctl: unknown command '%s'\n\n", argv[1]);
  printHelp(stderr);
  return 2;
}
