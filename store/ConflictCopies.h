#pragma once

// When two computers changed the book before their sync client ran, the client keeps one file
// at the store's path and sets the other beside it under a name of its own making. Those copies
// are found here, and put away once merged.
#include <filesystem>
#include <vector>

namespace store {

// The conflict copies of the store at `store` beside it, as Syncthing, Nextcloud and Dropbox
// name them (for zuld.mdb: zuld.sync-conflict-20240131-080509-ABCDEFG.mdb,
// zuld (conflicted copy 2024-01-31 080509).mdb, zuld (NAME's conflicted copy 2024-01-31).mdb);
// oldest first by the time in the name. Temporary files of the clients are not copies.
std::vector<std::filesystem::path> conflictCopies(const std::filesystem::path& store);

// Moves `copy` by renaming into the folder 已合并 beside it, made if needed; a name already
// taken there gets " (2)", " (3)", ... before the extension, nothing is overwritten. The path
// it has now; StoreError when it cannot be moved.
std::filesystem::path setAside(const std::filesystem::path& copy);

}  // namespace store
