// kelvarn-bench-diverge STORE SEED CHANGES DELETIONS [PASSPHRASE]: one copy of a book changed
// apart from its twin, as a week on another machine would: CHANGES accounts modified and
// DELETIONS deleted, picked by SEED (copies given seeds that differ change partly the same
// accounts, so that a merge meets conflicts too), in one transaction.
#include <cstdio>
#include <random>
#include <string>

#include "Connection.h"
#include "RowWriter.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoredRow.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fputs("usage: kelvarn-bench-diverge STORE SEED CHANGES DELETIONS [PASSPHRASE]\n", stderr);
    return 2;
  }
  try {
    store::Connection cn;
    cn.Open(argv[1]);
    if (argc > 5 && !cn.unlock(store::Secret(argv[5]))) throw store::StoreError(1, "passphrase");
    cn.prepareIdentities();
    const store::RowId rows =
        std::stoll(store::firstColumn(cn, "SELECT max(rowid) FROM 账号集合")[0]);
    std::mt19937_64 pick(std::stoull(argv[2]));
    std::uniform_int_distribution<store::RowId> row(1, rows);
    const std::string seed = argv[2];
    store::inTransaction(cn, [&] {
      store::RowWriter writer(cn);
      for (long changed = 0; changed < std::stol(argv[3]);) {
        const store::RowId at = row(pick);
        const std::optional<store::RowCopy> copy = store::readRow(cn, at);
        if (!copy) continue;
        store::Account account;
        for (std::size_t i = 0; i < store::kFieldCount; ++i)
          account[i] = store::openStored(cn, copy->view(), i);
        account[store::kContentAt] = "第 " + seed + " 份改过的内容";
        account[store::kModifiedAt] = "2026/12/0" + seed + " 12:00:00";
        changed += writer.update(at, account);
      }
      for (long deleted = 0; deleted < std::stol(argv[4]);) deleted += writer.remove(row(pick));
      return true;
    });
  } catch (const store::StoreError& error) {
    std::fprintf(stderr, "kelvarn-bench-diverge: %s\n", error.what());
    return 1;
  }
  return 0;
}
