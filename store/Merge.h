#pragma once

// Two copies of one book, changed apart (a sync client kept one and set the other aside as a
// conflict copy), brought together account by account through their identities and versions.
#include <cstddef>
#include <string>

namespace store {

class Connection;

struct MergeCounts {
  std::size_t added = 0, updated = 0, deleted = 0, copies = 0;
};

// Brings into `into` what `other` has that it lacks, within the caller's transaction; `other`
// is only read. For each identity: only in `other` → added, unless `into` deleted it after
// `other` last changed it; changed on one side since the two parted → that side's version;
// changed on both → the later 最后修改 wins and the other version is kept beside it as an extra
// account, its name marked as a conflicting copy; deleted on one side and not changed on the
// other since → deleted. Deletion records of both are kept. Merging A into B and B into A gives
// the same accounts; merging again changes nothing. Both must be unlocked when protected; the
// result keeps `into`'s form. An `other` that is doctored (identities twice, an account without
// identity, a deletion in the future, versions that are not versions) throws StoreError and
// nothing is written.
MergeCounts mergeStores(const Connection& into, const Connection& other);

}  // namespace store
