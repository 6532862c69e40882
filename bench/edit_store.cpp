// kelvarn-bench-edit STORE NAME [PASSPHRASE]: an add, a modify and a delete of one account as the
// windows make them (the record set on the three statements), 50 times on a store of many
// accounts. Each round's three are timed, the durable writes' syncing left out; prints the
// median of a round's mean as "NAME VALUE ms".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Connection.h"
#include "Protection.h"
#include "Recordset.h"
#include "Sql.h"
#include "Statements.h"
#include "StoreError.h"

namespace {

using store::Recordset;

// The rows of a name as the windows open them, moved to the one with this identity.
Recordset& openRow(Recordset& rs, store::Connection& cn, const std::string& name, store::RowId id) {
  rs.Open(store::findByName(name), cn);
  while (!rs.AtEnd() && rs.CurrentRowId() != id) rs.MoveNext();
  return rs;
}

double milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: kelvarn-bench-edit STORE NAME [PASSPHRASE]\n", stderr);
    return 2;
  }
  try {
    store::Connection cn;
    cn.Open(argv[1]);
    if (argc > 3 && !cn.unlock(store::Secret(argv[3]))) throw store::StoreError(1, "passphrase");
    store::exec(cn, "PRAGMA synchronous=OFF");
    Recordset all;  // the tree's walk, as after start-up
    all.Open(store::kTableName, cn);
    for (; !all.AtEnd(); all.MoveNext()) all.FieldText(store::kType), all.FieldText(store::kName);
    all.Close();

    std::vector<double> rounds;
    for (int round = 0; round < 50; ++round) {
      const std::string name = "基准测试" + std::to_string(round);
      const auto start = std::chrono::steady_clock::now();
      Recordset rs;
      rs.Open(store::kSelectAll, cn);
      rs.AddNew();
      for (const char* field : store::kFields) rs.SetField(field, name);
      rs.Update();
      const store::RowId id = rs.CurrentRowId();
      rs.Close();
      openRow(rs, cn, name, id).SetField(store::kContent, name + " 改");
      rs.SetField(store::kModified, "2026/12/07 12:00:00");
      rs.Update();
      rs.Close();
      openRow(rs, cn, name, id).Delete();
      rs.Close();
      rounds.push_back(milliseconds(std::chrono::steady_clock::now() - start) / 3);
    }
    std::sort(rounds.begin(), rounds.end());
    std::printf("%s %.2f ms\n", argv[2], rounds[rounds.size() / 2]);
  } catch (const store::StoreError& error) {
    std::fprintf(stderr, "kelvarn-bench-edit: %s\n", error.what());
    return 1;
  }
  return 0;
}
