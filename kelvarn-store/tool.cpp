#include "tool.h"

#include <cstdio>

#include "Protection.h"

void say(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

void openStore(store::Connection& cn, const std::string& path, store::Connection::Access access) {
  cn.Open(path, access);
  if (!cn.isProtected()) store::requireNothingSealed(cn);
}
