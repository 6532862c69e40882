#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Connection.h"
#include "SealedScan.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "export_format.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

using Row = store::AccountView;

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
    Row names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = store::kFields[i];
    row(out, names);
  }
  void row(std::string& out, const Row& row) override {
    for (const auto& field : row) (out += exporting::csvField(field)) += ',';
    out.back() = '\r';
    out += '\n';
  }
  void end(std::string&) override {}
};

class JsonWriter : public Writer {
 public:
  void start(std::string& out) override { out += '['; }
  void row(std::string& out, const Row& row) override {
    out += first_ ? "\n{" : ",\n{";
    first_ = false;
    for (std::size_t i = 0; i < row.size(); ++i)
      out += exporting::jsonValue(store::kFields[i]) + ":" + exporting::jsonValue(row[i]) +
             (i + 1 < row.size() ? "," : "}");
  }
  void end(std::string& out) override { out += first_ ? "]\n" : "\n]\n"; }

 private:
  bool first_ = true;
};

std::unique_ptr<Writer> writerFor(const std::string& format) {
  if (format == "csv") return std::make_unique<CsvWriter>();
  if (format == "json") return std::make_unique<JsonWriter>();
  return nullptr;
}

// Every account in store order. The listing is made whole before any of it is written, so that
// an export that fails part-way prints nothing. False when the output could not be written.
bool exportStore(const std::string& path, Writer& writer, PassphraseSource& passphrases) {
  store::Connection cn;
  openStore(cn, path, store::Connection::Access::ReadOnly);
  passphrases.unlock(cn);
  std::string out;
  writer.start(out);
  store::walkAccounts(cn, [&](const Row& row) { writer.row(out, row); });
  writer.end(out);
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
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
