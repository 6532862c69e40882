#include <cstdio>
#include <string>

#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"
#include "commands.h"
#include "tool.h"

int runInit(int argc, char** argv) {
  if (argc != 1) {
    say(texts::kInitUsage);
    return 2;
  }
  const std::string path = argv[0];
  try {
    store::createStore(path);
  } catch (const store::StoreError& error) {
    say(error.description());
    return 1;
  }
  say(store::fillText(texts::kInitDone, path));
  return 0;
}
