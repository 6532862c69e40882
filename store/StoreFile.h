#pragma once

#include <string>

namespace store {

// Creates a new, empty store at path: the table 账号集合 with its five TEXT fields and an
// index on 账号名称, file mode 0600. Refuses (throws StoreError) when path exists.
void createStore(const std::string& path);

// What the first bytes of a file say it is.
enum class FileKind { Missing, SQLite, Access, Other };
FileKind fileKind(const std::string& path);

// The system's reason for `error` (an errno), in the user's language where the user can mend
// the cause.
std::string reason(int error);

// The file name to hand to sqlite3_open_v2 for path, never taken as a "file:" URI.
std::string sqliteFileName(const std::string& path);

}  // namespace store
