#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Connection.h"
#include "Recordset.h"
#include "Statements.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "export_format.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

using Row = std::array<exporting::Field, std::size(store::kFields)>;

class Writer {
 public:
  virtual ~Writer() = default;
  virtual std::string start() = 0;
  virtual std::string row(const Row& row) = 0;
  virtual std::string end() = 0;
};

class CsvWriter : public Writer {
 public:
  std::string start() override {
    Row names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = store::kFields[i];
    return row(names);
  }
  std::string row(const Row& row) override {
    std::string line;
    for (const auto& field : row) line += exporting::csvField(field) + ",";
    line.back() = '\r';
    return line + "\n";
  }
  std::string end() override { return {}; }
};

class JsonWriter : public Writer {
 public:
  std::string start() override { return "["; }
  std::string row(const Row& row) override {
    std::string object = first_ ? "\n{" : ",\n{";
    first_ = false;
    for (std::size_t i = 0; i < row.size(); ++i)
      object += exporting::jsonValue(store::kFields[i]) + ":" + exporting::jsonValue(row[i]) +
                (i + 1 < row.size() ? "," : "}");
    return object;
  }
  std::string end() override { return first_ ? "]\n" : "\n]\n"; }

 private:
  bool first_ = true;
};

std::unique_ptr<Writer> writerFor(const std::string& format) {
  if (format == "csv") return std::make_unique<CsvWriter>();
  if (format == "json") return std::make_unique<JsonWriter>();
  return nullptr;
}

bool put(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Every row in store order, through the record set the windows read with. False when the
// output could not be written.
bool exportStore(const std::string& path, Writer& writer, PassphraseSource& passphrases) {
  store::Connection cn;
  openStore(cn, path, store::Connection::Access::ReadOnly);
  passphrases.unlock(cn);
  store::Recordset rs;
  rs.Open(store::kTableName, cn);
  if (!put(writer.start())) return false;
  for (; !rs.AtEnd(); rs.MoveNext()) {
    Row row;
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = rs.Field(store::kFields[i]);
    if (!put(writer.row(row))) return false;
  }
  return put(writer.end()) && std::fflush(stdout) == 0;
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
