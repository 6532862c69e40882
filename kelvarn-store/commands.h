#pragma once

// The sub-commands of kelvarn-store. Each takes the words after its own name and returns
// the process exit code; messages go to stderr in Chinese, data to stdout.
int runInit(int argc, char** argv);
int runImport(int argc, char** argv);
int runExport(int argc, char** argv);
int runProtect(int argc, char** argv);
int runUnprotect(int argc, char** argv);
int runPassphrase(int argc, char** argv);
int runMerge(int argc, char** argv);
