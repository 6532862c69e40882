#include <cstdio>
#include <cstring>

#include "ProcessGuard.h"
#include "Texts.h"
#include "commands.h"
#include "version.h"

int main(int argc, char** argv) {
  store::guardProcessMemory();
  const char* command = argc > 1 ? argv[1] : "";
  if (argc == 2 && (!std::strcmp(command, "--help") || !std::strcmp(command, "-h"))) {
    std::fputs(texts::kStoreToolUsage, stdout);
    return 0;
  }
  if (argc == 2 && !std::strcmp(command, "--version")) {
    std::printf("kelvarn-store %d.%d.%d\n", version::kMajor, version::kMinor, version::kRevision);
    return 0;
  }
  if (!std::strcmp(command, "init")) return runInit(argc - 2, argv + 2);
  if (!std::strcmp(command, "import")) return runImport(argc - 2, argv + 2);
  if (!std::strcmp(command, "export")) return runExport(argc - 2, argv + 2);
  if (!std::strcmp(command, "protect")) return runProtect(argc - 2, argv + 2);
  if (!std::strcmp(command, "unprotect")) return runUnprotect(argc - 2, argv + 2);
  if (!std::strcmp(command, "passphrase")) return runPassphrase(argc - 2, argv + 2);
  if (!std::strcmp(command, "merge")) return runMerge(argc - 2, argv + 2);
  std::fputs(texts::kStoreToolUsage, stderr);
  return 2;
}
