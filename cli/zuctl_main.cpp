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
    {"read",
     "read phonebook|history|restrictions --out DIR --host H --password P [--port N] [--data-port N] [--no-pacing]\n"
     "      read from the main unit as the main dialog does and save into DIR (created when missing):\n"
     "      book.zud8 (book.zud3 below firmware 4.0), names.zud4, templates.zud9 (from 4.0);\n"
     "      internal.csv and external.csv; numbers.zud7\n"
     "  read phonebook|history|restrictions --sites FILE --out DIR [--port N] [--data-port N] [--no-pacing]\n"
     "      read every unit FILE lists (NAME HOST[:PORT] PASSWORD per line; PASSWORD may be file:PATH\n"
     "      or env:NAME) into DIR/NAME, one after another; a table of the results goes to standard\n"
     "      output; exit 0 when all were read, else the number that failed (at most 100), 125 bad\n"
     "      arguments or a bad sites file (nothing read)",
     runReadCommand},
    {"write",
     "write phonebook FILE... [--blocks LIST|all] [--extensions] [--templates] [--force] [--kind K]\n"
     "        [--changed-from OLD]... CONNECTION\n"
     "  write restrictions FILE CONNECTION   (CONNECTION as for read)\n"
     "      load the files as the menus do and write the chosen speed-dial blocks (0-19, 500 entries\n"
     "      each), the extension phonebook and the templates to the main unit; --force writes\n"
     "      extensions or templates that no loaded file filled; --kind names what a .csv holds.\n"
     "      --no-pacing leaves out the link's fixed waits (for the simulator); --data-port is the\n"
     "      first of the five ports the unit connects back to (default 9000). Progress goes to\n"
     "      standard error as percent lines; exit 0 success, 1 error message, 2 bad arguments.\n"
     "      --changed-from OLD (one file per kind, what the unit holds, e.g. the book.zud8,\n"
     "      names.zud4 and templates.zud9 of the last read) sends only the blocks, the extension\n"
     "      phonebook and the templates where FILE differs from OLD; nothing differs: nothing is sent",
     runWriteCommand},
    {"diff",
     "diff A B [--kind phonebook|extensions|templates]\n"
     "      list entry by entry what differs between two phonebook files of a kind; A or B may be\n"
     "      a folder a read saved into (book.zud8 or book.zud3, names.zud4, templates.zud9).\n"
     "      Exit 0 equal, 1 different, 2 trouble (bad arguments, a file that does not load)",
     runDiffCommand},
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
