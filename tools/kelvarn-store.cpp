#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

void usage() {
  std::fputs(
      "用法：\n"
      "  kelvarn-store init STORE                       新建空的账号库\n"
      "  kelvarn-store import OLD.mdb STORE             从旧版 Access 文件导入账号\n"
      "  kelvarn-store export STORE [--format csv|json] 把全部账号写到标准输出\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage();
    return 2;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "init") == 0) return runInit(argc - 2, argv + 2);
  if (std::strcmp(command, "import") == 0) return runImport(argc - 2, argv + 2);
  if (std::strcmp(command, "export") == 0) return runExport(argc - 2, argv + 2);
  usage();
  return 2;
}
