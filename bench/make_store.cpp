// kelvarn-bench-store PATH ROWS TYPES SEED: a new store of ROWS generated accounts in TYPES
// types. The same arguments always give the same rows, in the same order.
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "StoreError.h"
#include "StoreFile.h"

namespace {

// splitmix64: a fixed generator, so the stores do not depend on the library's <random>.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

const char* const kSites[] = {"邮箱", "网银", "论坛", "游戏", "QQ", "微信", "淘宝", "支付宝"};
const char* const kWords[] = {"工作用", "家里的", "备用", "旧的", "常用", "公司", "学校"};

std::string timestamp(Random& r) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", 2005 + r.below(20),
                1 + r.below(12), 1 + r.below(28), r.below(24), r.below(60), r.below(60));
  return text;
}

struct Account {
  std::string name, type, content, created, modified;
};

Account account(Random& r, int types) {
  Account a;
  a.name = std::string(kSites[r.below(8)]) + kWords[r.below(7)] + std::to_string(r.below(1000000));
  a.type = "类型" + std::to_string(1 + r.below(types));
  a.content = "用户名：user" + std::to_string(r.next() % 100000000) + "\r\n密码：" +
              std::to_string(r.next()) + "\r\n备注：" + kWords[r.below(7)] + kSites[r.below(8)];
  a.created = timestamp(r);
  a.modified = timestamp(r);
  return a;
}

void check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    std::fprintf(stderr, "kelvarn-bench-store: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: kelvarn-bench-store PATH ROWS TYPES SEED\n", stderr);
    return 2;
  }
  const std::string path = argv[1];
  const long long rows = std::atoll(argv[2]);
  const int types = std::atoi(argv[3]);
  Random random(std::strtoull(argv[4], nullptr, 10));
  try {
    store::createStore(path);
  } catch (const store::StoreError& e) {
    std::fprintf(stderr, "kelvarn-bench-store: %s\n", e.description().c_str());
    return 1;
  }

  sqlite3* db = nullptr;
  check(db, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr));
  // A throw-away file: no journal, no syncing, and the name index kept in memory while it grows.
  check(db, sqlite3_exec(db,
                         "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; "
                         "PRAGMA cache_size=-400000; BEGIN",
                         nullptr, nullptr, nullptr));
  sqlite3_stmt* insert = nullptr;
  check(db, sqlite3_prepare_v2(db,
                               "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改,"
                               "标识) VALUES(?,?,?,?,?,randomblob(16))",
                               -1, &insert, nullptr));
  for (long long i = 0; i < rows; ++i) {
    const Account a = account(random, types);
    const std::string* fields[] = {&a.name, &a.type, &a.content, &a.created, &a.modified};
    for (int f = 0; f < 5; ++f)
      sqlite3_bind_text(insert, f + 1, fields[f]->data(), static_cast<int>(fields[f]->size()),
                        SQLITE_STATIC);
    check(db, sqlite3_step(insert));
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
  sqlite3_close(db);
  return 0;
}
