#pragma once

#include <functional>

namespace store {
class StoreError;
}

namespace Module1 {

// The standard error report: a box with the error's number and description (caption
// "Kelvarn"), the notification icon removed, and the program ended with exit code 1.
void reportFatal(const store::StoreError& error);

// Ends the program at once with this exit code (the seam below, in tests).
void endProgram(int exitCode);

// Test seam: called instead of ending the process; an empty function restores.
void setProgramEnd(std::function<void(int exitCode)> end);

}  // namespace Module1
