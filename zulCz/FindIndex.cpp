#include "FindIndex.h"

#include <QStringDecoder>
#include <algorithm>
#include <bit>
#include <thread>

#include "AccountTree.h"
#include "Readings.h"

namespace {

// An account's letter summary: which letters can begin a match (the letter itself, or the
// first letter of a reading), which digits it holds, and which letters occur at all.
constexpr std::uint64_t startBit(char16_t letter) {
  return std::uint64_t{1} << (letter - u'a');
}
constexpr std::uint64_t digitBit(char16_t digit) {
  return std::uint64_t{1} << (26 + digit - u'0');
}
constexpr std::uint64_t anyBit(char16_t letter) {
  return std::uint64_t{1} << (36 + letter - u'a');
}
bool isLetter(char16_t c) {
  return c >= u'a' && c <= u'z';
}
bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

const std::vector<std::uint64_t>& lettersBySet() {
  static const std::vector<std::uint64_t> bySet = [] {
    std::vector<std::uint64_t> out(readings::kSetCount);
    for (int set = 0; set < readings::kSetCount; ++set)
      for (std::uint32_t i = readings::kSetStart[set]; i < readings::kSetStart[set + 1]; ++i) {
        const char* syllable = readings::kSyllables[readings::kSetSyllables[i]];
        out[set] |= startBit(syllable[0]);
        for (; *syllable; ++syllable) out[set] |= anyBit(*syllable);
      }
    return out;
  }();
  return bySet;
}

bool isIdeograph(char16_t c) {
  return c >= readings::kFirst && c <= readings::kLast;
}

std::uint64_t lettersOf(char16_t c) {
  if (isLetter(c)) return startBit(c) | anyBit(c);
  if (isDigit(c)) return digitBit(c);
  return isIdeograph(c) ? lettersBySet()[readings::kSetOfCharacter[c - readings::kFirst]] : 0;
}

// Walks a name (or type) character by character, keeping the places in the part that the
// characters so far can have reached: a character takes itself, or one of its readings whole
// or by its first letter; the part's last character may also end inside a reading, so that a
// syllable being typed already finds its account.
class Walker {
 public:
  // From the first character only (anchored), or from any.
  bool matches(std::u16string_view text, std::u16string_view part, bool anchored) {
    const std::size_t end = part.size();
    reached_.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (!anchored || i == 0) reached_.push_back(0);
      if (reached_.empty()) return false;
      next_.clear();
      const char16_t c = text[i];
      for (const std::size_t at : reached_) {
        const char16_t wanted = part[at];
        if (wanted == c) add(at + 1);
        if (!isLetter(wanted)) continue;
        for (const std::uint16_t number : readings::of(c)) {
          const char* syllable = readings::kSyllables[number];
          if (syllable[0] != wanted) continue;
          std::size_t same = 1;
          while (syllable[same] && at + same < end && part[at + same] == syllable[same]) ++same;
          add(at + 1);
          if (!syllable[same] || at + same == end) add(at + same);
        }
      }
      if (std::find(next_.begin(), next_.end(), end) != next_.end()) return true;
      reached_.swap(next_);
    }
    return false;
  }

 private:
  void add(std::size_t at) {
    if (std::find(next_.begin(), next_.end(), at) == next_.end()) next_.push_back(at);
  }
  std::vector<std::size_t> reached_, next_;
};

bool bit(const std::vector<std::uint64_t>& bits, std::uint32_t i) {
  return (bits[i / 64] >> (i % 64)) & 1;
}

void setBit(std::vector<std::uint64_t>& bits, std::uint32_t i) {
  bits[i / 64] |= std::uint64_t{1} << (i % 64);
}

}  // namespace

char16_t foldCharacter(char16_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E)
    c = static_cast<char16_t>(c - 0xFF01 + 0x21);  // full-width forms of ASCII
  else if (c == 0x3000)
    c = u' ';
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  // No letter case from the CJK punctuation to the Yi syllables; surrogates stand for themselves.
  if ((c > 0x3000 && c < 0xA640) || QChar::isSurrogate(c)) return c;
  return static_cast<char16_t>(QChar::toCaseFolded(char32_t{c}));
}

FindQuery::FindQuery(const QString& typed) {
  std::u16string part;
  const auto endPart = [&] {
    if (part.empty()) return;
    if (!folded.empty()) folded += u' ';
    folded += part;
    if (std::none_of(parts.begin(), parts.end(), [&](const Part& p) { return p.text == part; })) {
      std::uint64_t needs = isLetter(part[0]) ? startBit(part[0]) : 0;
      for (const char16_t c : part) needs |= isLetter(c) ? anyBit(c) : lettersOf(c);
      parts.push_back({part, needs});
    }
    part.clear();
  };
  for (const QChar typedCharacter : typed) {
    const char16_t c = foldCharacter(typedCharacter.unicode());
    if (QChar::isSpace(c))
      endPart();
    else
      part += c;
  }
  endPart();
}

bool FindQuery::narrows(const FindQuery& wider) const {
  return !wider.folded.empty() && folded.starts_with(wider.folded);
}

std::vector<std::uint32_t> FindMatches::first(std::span<const std::uint32_t> treeOrder,
                                              std::size_t limit) const {
  std::vector<std::uint32_t> accounts;
  for (const auto* bits : {&leading, &all})
    for (const std::uint32_t account : treeOrder) {
      if (accounts.size() == limit || accounts.size() == count) return accounts;
      if (bit(*bits, account) && (bits == &leading || !bit(leading, account)))
        accounts.push_back(account);
    }
  return accounts;
}

FindIndex::FindIndex(const AccountTree& tree) {
  const std::uint32_t accounts = tree.accountCount();
  std::size_t bytes = 0;
  for (std::uint32_t account = 0; account < accounts; ++account)
    bytes += tree.accountName(account).size();
  for (int t = 0; t < tree.rowCount(); ++t) {
    std::u16string folded = tree.text(tree.index(t, 0)).toStdU16String();
    std::transform(folded.begin(), folded.end(), folded.begin(), foldCharacter);
    types_.push_back(std::move(folded));
  }
  // UTF-16 never takes more units than UTF-8 takes bytes; pages never written cost nothing.
  text_.reset(new char16_t[bytes]);
  nameEnd_.reserve(accounts);
  letters_.reserve(accounts);
  typeOf_.reserve(accounts);
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  const std::vector<std::uint64_t>& bySet = lettersBySet();
  char16_t* out = text_.get();
  for (std::uint32_t account = 0; account < accounts; ++account) {
    char16_t* const from = out;
    out = reinterpret_cast<char16_t*>(utf8.appendToBuffer(
        reinterpret_cast<QChar*>(out), QByteArrayView(tree.accountName(account))));
    std::uint64_t letters = 0;
    for (char16_t* c = from; c != out; ++c) {
      if (isIdeograph(*c)) {  // most of a name, and without case
        letters |= bySet[readings::kSetOfCharacter[*c - readings::kFirst]];
        continue;
      }
      *c = foldCharacter(*c);
      letters |= lettersOf(*c);
    }
    nameEnd_.push_back(static_cast<std::uint64_t>(out - text_.get()));
    letters_.push_back(letters);
    typeOf_.push_back(tree.accountType(account));
  }
}

std::optional<FindMatches> FindIndex::search(const FindQuery& query, const FindMatches* among,
                                             const std::function<bool()>& cancelled) const {
  const auto accounts = static_cast<std::uint32_t>(nameEnd_.size());
  FindMatches out;
  out.all.assign((accounts + 63) / 64, 0);
  out.leading.assign(out.all.size(), 0);
  if (query.parts.empty()) return out;
  // Types are few: each is tried once against every part.
  std::vector<char> typeMatches(types_.size() * query.parts.size());
  Walker walker;
  for (std::size_t t = 0; t < types_.size(); ++t)
    for (std::size_t k = 0; k < query.parts.size(); ++k)
      typeMatches[t * query.parts.size() + k] =
          walker.matches(types_[t], query.parts[k].text, false);
  // Two halves side by side, each in words of its own.
  const std::uint32_t half = accounts < (1u << 16) ? accounts : (accounts / 2) & ~63u;
  FindMatches second = out;
  std::thread helper;
  if (half < accounts)
    helper =
        std::thread([&] { scan(query, typeMatches, among, half, accounts, second, cancelled); });
  scan(query, typeMatches, among, 0, half, out, cancelled);
  if (helper.joinable()) helper.join();
  if (cancelled()) return std::nullopt;
  for (std::size_t word = half / 64; word < out.all.size(); ++word) {
    out.all[word] |= second.all[word];
    out.leading[word] |= second.leading[word];
  }
  out.count += second.count;
  return out;
}

void FindIndex::scan(const FindQuery& query, const std::vector<char>& typeMatches,
                     const FindMatches* among, std::uint32_t begin, std::uint32_t end,
                     FindMatches& out, const std::function<bool()>& cancelled) const {
  Walker walker;
  const std::size_t parts = query.parts.size();
  for (std::uint32_t account = begin; account < end; ++account) {
    if (account % 4096 == 0 && cancelled()) return;
    if (among && !bit(among->all, account)) continue;
    const std::u16string_view name = this->name(account);
    const char* const typeMatched = &typeMatches[typeOf_[account] * parts];
    bool matched = true;
    bool leads = false;
    for (std::size_t k = 0; k < parts && matched; ++k) {
      const FindQuery::Part& part = query.parts[k];
      const bool lettersThere = (letters_[account] & part.needs) == part.needs;
      if (lettersThere && walker.matches(name, part.text, true))
        leads = true;
      else if (!typeMatched[k])
        matched = lettersThere && walker.matches(name, part.text, false);
    }
    if (!matched) continue;
    setBit(out.all, account);
    if (leads) setBit(out.leading, account);
    ++out.count;
  }
}
