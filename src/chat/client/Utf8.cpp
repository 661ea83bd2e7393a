#include "chat/client/Utf8.h"

#include <cstdint>
#include <optional>

namespace pimlo::utf8 {
namespace {

// Decodes one code point at bytes[pos] and advances pos; no value on malformed input.
std::optional<char32_t> next(std::string_view bytes, std::size_t &pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (bytes.size() - pos < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return cp;
}

bool isSpace(char32_t cp)
{
    switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D: // tab and line breaks
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return cp >= 0x2000 && cp <= 0x200A;
    }
}

} // namespace

bool isValid(std::string_view bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!next(bytes, pos))
            return false;
    }
    return true;
}

bool isBlank(std::string_view bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto cp = next(bytes, pos);
        if (!cp || !isSpace(*cp))
            return false;
    }
    return true;
}

} // namespace pimlo::utf8
