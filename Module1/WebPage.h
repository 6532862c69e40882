#pragma once

#include <QString>
#include <functional>

namespace Module1 {

// Opens the address in the default browser and returns at once.
void openWebPage(const QString& url);

// Test seam: records addresses instead of opening them; an empty function restores.
void setWebOpener(std::function<void(const QString&)> opener);

}  // namespace Module1
