#include "ConflictCopies.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <regex>
#include <string>
#include <utility>

#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"

namespace store {
namespace {

namespace fs = std::filesystem;

// What sync clients put between the store's base name and its extension; the digits make the
// time that sorts the copies (Dropbox's has a day only).
const std::regex& marks() {
  static const std::regex pattern(R"(\.sync-conflict-(\d{8})-(\d{6})-[A-Z0-9]{7})"
                                  R"(| \(conflicted copy (\d{4})-(\d{2})-(\d{2}) (\d{6})\))"
                                  R"(| \(.+'s conflicted copy (\d{4})-(\d{2})-(\d{2})\))");
  return pattern;
}

// The time in the name of a copy of the store whose base name and extension are given;
// nothing when the name is not one.
std::optional<std::string> stamp(const std::string& name, const std::string& base,
                                 const std::string& extension) {
  if (name.size() <= base.size() + extension.size() || !name.starts_with(base) ||
      !name.ends_with(extension))
    return std::nullopt;
  std::smatch found;
  const std::string middle = name.substr(base.size(), name.size() - base.size() - extension.size());
  if (!std::regex_match(middle, found, marks())) return std::nullopt;
  std::string time;
  for (std::size_t group = 1; group < found.size(); ++group) time += found.str(group);
  return time;
}

// A rename that fails where the target exists. Filesystems without that kind of rename get a
// check before a plain one.
int renameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  std::error_code taken;
  if (fs::exists(fs::symlink_status(to, taken))) return EEXIST;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::vector<fs::path> conflictCopies(const fs::path& store) {
  const std::string base = store.stem().string(), extension = store.extension().string();
  std::vector<std::pair<std::string, fs::path>> found;
  std::error_code unreadable;  // a folder that cannot be listed has no copies to offer
  for (const fs::directory_entry& entry : fs::directory_iterator(store.parent_path(), unreadable)) {
    std::error_code gone;
    if (!entry.is_regular_file(gone)) continue;
    if (auto time = stamp(entry.path().filename().string(), base, extension))
      found.emplace_back(std::move(*time), entry.path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> copies;
  for (auto& [time, path] : found) copies.push_back(std::move(path));
  return copies;
}

fs::path setAside(const fs::path& copy) {
  const fs::path folder = copy.parent_path() / texts::kMergedFolder;
  std::error_code made;
  fs::create_directory(folder, made);
  int error = made.value();
  for (int number = 1; error == 0; ++number) {
    const std::string suffix = number == 1 ? "" : " (" + std::to_string(number) + ")";
    const fs::path target = folder / (copy.stem().string() + suffix + copy.extension().string());
    error = renameNoReplace(copy, target);
    if (error == 0) return target;
    if (error == EEXIST) error = 0;  // the next number
  }
  throw StoreError(errnum::kCannotCreate,
                   fillText(texts::kMergedNotMoved, copy.string(), reason(error)));
}

}  // namespace store
