#pragma once

// What every command of kelvarn-store shares.
#include <string>

#include "Connection.h"

// One message line on stderr.
void say(const std::string& text);

// Opens a store for a command. One that is not protected must hold nothing sealed: its key
// table was removed or the file damaged, and nothing of it may be shown or copied.
void openStore(store::Connection& cn, const std::string& path,
               store::Connection::Access access = store::Connection::Access::ReadWrite);
