#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Account.h"

namespace store {

class Connection;

// The record-set parameters the windows pass (they pass no others).
enum CursorTypeEnum { adOpenKeyset = 1 };
enum LockTypeEnum { adLockOptimistic = 3 };
enum AffectEnum { adAffectCurrent = 1 };

// A set of rows opened on one of the three statement texts, in store order (rowid order).
// Right after Open the current row is the first one. Counts and positions are 64-bit.
class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Any text other than the three statements of Statements.h throws StoreError.
  // Statement 2 reads nothing until a row is asked for; statement 1 is one scan.
  void Open(std::string_view source, Connection& cn, CursorTypeEnum cursor = adOpenKeyset,
            LockTypeEnum lock = adLockOptimistic);
  bool IsOpen() const;

  std::int64_t RecordCount();
  void MoveFirst();
  void MoveNext();
  // Past the last row. The windows' walks count rows instead; fast walks may use this.
  bool AtEnd();

  // Starts a new row; fields set afterwards belong to it until Update.
  void AddNew();
  // Writes the new row, or the fields set on the current row, in one durable transaction.
  // Returns false, writing nothing, when the current row no longer exists.
  bool Update();
  // Removes the current row at once, durably. Returns false when it no longer exists.
  bool Delete(AffectEnum affect = adAffectCurrent);
  void Close();

  // Field of the current row (or of the new row) by name; an unknown name throws.
  Value Field(std::string_view name);
  // The same without a copy, null as empty text; valid until the next move or Close.
  std::string_view FieldText(std::string_view name);
  void SetField(std::string_view name, std::string value);
  RowId CurrentRowId();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace store
