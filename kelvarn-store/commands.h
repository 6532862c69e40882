#pragma once

// The sub-commands of kelvarn-store. Each takes the words after its own name and returns
// the process exit code; messages go to stderr in Chinese, data to stdout.
#include <string>

#include "Connection.h"

int runInit(int argc, char** argv);
int runImport(int argc, char** argv);
int runExport(int argc, char** argv);
int runProtect(int argc, char** argv);
int runUnprotect(int argc, char** argv);
int runPassphrase(int argc, char** argv);

// One message line on stderr.
void say(const std::string& text);

// Opens a store for a command. One that is not protected must hold nothing sealed: its key
// table was removed or the file damaged, and nothing of it may be shown or copied.
void openStore(store::Connection& cn, const std::string& path,
               store::Connection::Access access = store::Connection::Access::ReadWrite);
