#pragma once

#include "StoreError.h"

namespace testsupport {

// The StoreError that call throws; number 0 when it throws none.
template <typename Call>
store::StoreError storeErrorOf(Call&& call) {
  try {
    call();
  } catch (const store::StoreError& error) {
    return error;
  }
  return store::StoreError(0, "no error");
}

}  // namespace testsupport
