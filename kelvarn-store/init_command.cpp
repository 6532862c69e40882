#include <cstdio>
#include <string>

#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"
#include "commands.h"

int runInit(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "%s\n", texts::kInitUsage);
    return 2;
  }
  const std::string path = argv[0];
  try {
    store::createStore(path);
  } catch (const store::StoreError& error) {
    std::fprintf(stderr, "%s\n", error.description().c_str());
    return 1;
  }
  std::fprintf(stderr, "%s\n", store::fillText(texts::kInitDone, path).c_str());
  return 0;
}
