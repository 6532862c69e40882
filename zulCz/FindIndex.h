#pragma once

// What the find window searches: the names and types the account tree holds (never the
// contents), folded once when the window needs them, so that a keystroke only compares.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class AccountTree;

// Case and width folded: "ＡＢＣ", "ABC" and "abc" are one text.
char16_t foldCharacter(char16_t c);

// The text typed, split at spaces into parts that must all match.
struct FindQuery {
  struct Part {
    std::u16string text;  // folded
    std::uint64_t needs;  // letters and digits an account must have (FindIndex's summary)
  };
  explicit FindQuery(const QString& typed);
  // Every account this query finds is found by `wider` too, so it may search among those.
  bool narrows(const FindQuery& wider) const;

  std::u16string folded;  // the parts joined by single spaces
  std::vector<Part> parts;
};

// The accounts a search found: bit i stands for the account numbered i (in store order).
struct FindMatches {
  std::vector<std::uint64_t> all, leading;  // leading: the name begins with a match
  std::size_t count = 0;
  // The first `limit` accounts: those whose name begins with a match, then the rest, each in
  // tree order.
  std::vector<std::uint32_t> first(std::span<const std::uint32_t> treeOrder,
                                   std::size_t limit) const;
};

class FindIndex {
 public:
  explicit FindIndex(const AccountTree& tree);

  // The matches of `query` among `among` (every account when null); nothing once
  // `cancelled` says a newer search has made this one useless.
  std::optional<FindMatches> search(const FindQuery& query, const FindMatches* among,
                                    const std::function<bool()>& cancelled) const;

 private:
  void scan(const FindQuery& query, const std::vector<char>& typeMatches, const FindMatches* among,
            std::uint32_t begin, std::uint32_t end, FindMatches& out,
            const std::function<bool()>& cancelled) const;
  std::u16string_view name(std::uint32_t account) const {
    const std::uint64_t from = account == 0 ? 0 : nameEnd_[account - 1];
    return {text_.get() + from, nameEnd_[account] - from};
  }

  // Copies, not views of the tree: searches run while the tree may be rebuilt.
  std::unique_ptr<char16_t[]> text_;  // folded names back to back, in store order
  std::vector<std::uint64_t> nameEnd_;
  std::vector<std::uint64_t> letters_;  // per account: which letters and digits it offers
  std::vector<std::uint32_t> typeOf_;
  std::vector<std::u16string> types_;  // folded
};
