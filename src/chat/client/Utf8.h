#pragma once

#include <string_view>

// Small UTF-8 checks shared by the client and the credential store; no dependencies.
namespace pimlo::utf8 {

// True when the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValid(std::string_view bytes);

// True when the text holds only white space and line breaks: Unicode category Z, tab,
// U+000A to U+000D and U+0085. Malformed bytes count as visible text.
bool isBlank(std::string_view bytes);

} // namespace pimlo::utf8
