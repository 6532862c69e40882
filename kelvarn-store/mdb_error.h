#pragma once

#include <stdexcept>
#include <string>

namespace legacy {

// Why an Access file cannot be imported, as the Chinese message the user reads.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace legacy
