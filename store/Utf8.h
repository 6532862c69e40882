#pragma once

#include <cstddef>
#include <string_view>

namespace store {

// Length of the well-formed UTF-8 sequence at text[i], or 0 (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

bool isUtf8(std::string_view text);

}  // namespace store
