// The zuctl commands. Each takes the arguments after the command word (argv[0] is the command)
// and returns the process exit status.
#pragma once

#include <vector>

struct MessageBoxRecord;

int runConvertCommand(int argc, char** argv);
int runEditCommand(int argc, char** argv);
// With --sites among the arguments, the read of a list of units (runSitesCommand).
int runReadCommand(int argc, char** argv);
// The same; `shown`, when given, gets every message box the read showed.
int runReadCommand(int argc, char** argv, std::vector<MessageBoxRecord>* shown);
int runWriteCommand(int argc, char** argv);
// zuctl read ... --sites FILE: every unit of the sites file read into a folder of its own.
int runSitesCommand(int argc, char** argv);
// zuctl diff A B: what differs between two phonebook files, entry by entry.
int runDiffCommand(int argc, char** argv);
