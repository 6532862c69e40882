#include <sodium.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "AccountWalk.h"
#include "Connection.h"
#include "Identity.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "export_format.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

using Row = store::WalkedAccount;

// An identity as export writes it: 32 hexadecimal digits; none where the account has none.
exporting::FieldView identityText(std::string_view identity, std::string& room) {
  if (identity.size() != store::kIdentitySize) return std::nullopt;
  room.resize(2 * identity.size() + 1);
  sodium_bin2hex(room.data(), room.size(), reinterpret_cast<const unsigned char*>(identity.data()),
                 identity.size());
  return std::string_view(room.data(), 2 * identity.size());
}

class Writer {
 public:
  virtual ~Writer() = default;
  virtual void start(std::string& out) = 0;
  virtual void row(std::string& out, const Row& row) = 0;
  virtual void end(std::string& out) = 0;
};

class CsvWriter : public Writer {
 public:
  void start(std::string& out) override {
    for (const char* field : store::kFields) (out += field) += ',';
    (out += store::kIdentity) += "\r\n";
  }
  void row(std::string& out, const Row& row) override {
    for (const auto& field : row.fields) exporting::appendCsv(out, field), out += ',';
    exporting::appendCsv(out, identityText(row.identity, room_));
    out += "\r\n";
  }
  void end(std::string&) override {}

 private:
  std::string room_;
};

class JsonWriter : public Writer {
 public:
  JsonWriter() {
    for (std::size_t i = 0; i < keys_.size(); ++i)
      exporting::appendJson(keys_[i] = i ? "," : "{",
                            i < store::kFieldCount ? store::kFields[i] : store::kIdentity),
          keys_[i] += ':';
  }
  void start(std::string& out) override { out += '['; }
  void row(std::string& out, const Row& row) override {
    out += first_ ? "\n" : ",\n";
    first_ = false;
    for (std::size_t i = 0; i < store::kFieldCount; ++i)
      exporting::appendJson(out += keys_[i], row.fields[i]);
    exporting::appendJson(out += keys_.back(), identityText(row.identity, room_));
    out += '}';
  }
  void end(std::string& out) override { out += first_ ? "]\n" : "\n]\n"; }

 private:
  bool first_ = true;
  std::array<std::string, store::kFieldCount + 1> keys_;  // {"账号名称": and the others
  std::string room_;
};

std::unique_ptr<Writer> writerFor(const std::string& format) {
  if (format == "csv") return std::make_unique<CsvWriter>();
  if (format == "json") return std::make_unique<JsonWriter>();
  return nullptr;
}

// The listing is made in a file in memory and goes to standard output only when it is whole,
// so that an export that fails part-way prints nothing.
class Listing {
 public:
  Listing() : fd_(memfd_create("kelvarn-export", MFD_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category());
  }
  ~Listing() { ::close(fd_); }
  std::string& text() { return text_; }
  // What was made so far goes into the file; false when it cannot.
  bool keep() {
    const bool kept =
        ::write(fd_, text_.data(), text_.size()) == static_cast<ssize_t>(text_.size());
    text_.clear();
    return kept;
  }
  bool print() {
    if (!keep()) return false;
    std::fflush(stdout);
    off_t at = 0;
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    while (at < size)
      if (::sendfile(STDOUT_FILENO, fd_, &at, static_cast<std::size_t>(size - at)) <= 0)
        return false;
    return true;
  }

 private:
  int fd_;
  std::string text_;
};

// Every account in store order. False when the output could not be written.
bool exportStore(const std::string& path, Writer& writer, PassphraseSource& passphrases) {
  store::Connection cn;
  openStore(cn, path, store::Connection::Access::ReadOnly);
  passphrases.unlock(cn);
  Listing listing;
  std::string& out = listing.text();
  bool kept = true;
  writer.start(out);
  store::walkAccounts(cn, [&](const Row& row) {
    writer.row(out, row);
    if (out.size() >= (1 << 20)) kept = listing.keep() && kept;
  });
  writer.end(out);
  return kept && listing.print();
}

}  // namespace

int runExport(int argc, char** argv) {
  std::string format = "csv";
  const char* path = nullptr;
  std::vector<char*> words(argv, argv + argc);
  PassphraseSource passphrases;
  if (!passphrases.takeOption(words)) words = {};
  argc = static_cast<int>(words.size());
  argv = words.data();
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc) {
      format = argv[++i];
    } else if (std::strncmp(argv[i], "--format=", 9) == 0) {
      format = argv[i] + 9;
    } else if (!path && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (!path) {
    say(texts::kExportUsage);
    return 2;
  }
  const std::unique_ptr<Writer> writer = writerFor(format);
  if (!writer) {
    say(store::fillText(texts::kExportBadFormat, format));
    return 2;
  }
  try {
    if (exportStore(path, *writer, passphrases)) return 0;
    say(texts::kExportWriteFailed);
  } catch (const PassphraseError& error) {
    say(error.what());
  } catch (const store::StoreError& error) {
    say(error.description());
  }
  return 1;
}
