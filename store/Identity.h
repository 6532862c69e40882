#pragma once

// Every account keeps an identity of its own for as long as it exists, and the history of its
// versions; a deleted one leaves its identity and the time it was deleted, and nothing else.
// With them two copies of a book are merged account by account.
#include <string>
#include <string_view>

#include "Account.h"

namespace store {

class Connection;

inline constexpr char kIdentity[] = "标识";          // column of 账号集合: 16 random bytes
inline constexpr char kVersionTable[] = "账号版本";  // 标识, 版本: the versions, newest first
inline constexpr char kDeletedTable[] = "已删账号";  // 标识, 删除时间
inline constexpr std::size_t kIdentitySize = 16, kVersionSize = 8, kVersionsKept = 9;

std::string newIdentity();
// The versions of an account that was never changed since it got its identity: one, made from
// it, so that every copy of the book agrees on it without storing it.
std::string firstVersion(std::string_view identity);
// The identity of the copy kept of an account's version that lost in a merge: made from the
// account and that version, so that both copies of the book make the same.
std::string conflictIdentity(std::string_view identity, std::string_view version);
// A new version before `versions`, the oldest dropped beyond kVersionsKept.
std::string nextVersions(std::string_view versions);

// The identity the program gives an account of an older release: made from the row's number and
// its fields as stored (sealed or not), so that two copies of one file agree on it.
std::string madeIdentity(RowId row, const StoredRow& stored);

// Whether the store's accounts have identities (stores of older releases have none until they
// are written).
bool hasIdentities(const Connection& cn);

// The tables of versions and deletions, and the index that finds accounts without identity.
std::string identityTables();

// A store made or last written by a release without identities gets them before it is written:
// the column, the tables of versions and deletions, and an identity for every account that has
// none, made from the row as stored, so that two copies of one file give each account the same
// identity. Within the caller's transaction if there is one.
void prepareIdentities(const Connection& cn);

}  // namespace store
