// The zuctl commands. Each takes the arguments after the command word (argv[0] is the command)
// and returns the process exit status.
#pragma once

int runConvertCommand(int argc, char** argv);
int runEditCommand(int argc, char** argv);
int runReadCommand(int argc, char** argv);
int runWriteCommand(int argc, char** argv);
int runDiffCommand(int argc, char** argv);
