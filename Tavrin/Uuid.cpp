#include "Uuid.h"

#include <random>

namespace tavrin {
namespace {

constexpr std::array<int, 4> hyphenPositions{8, 13, 18, 23};

bool isHyphenPosition(std::size_t index) {
    for (int position : hyphenPositions) {
        if (static_cast<std::size_t>(position) == index)
            return true;
    }
    return false;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Uuid Uuid::random() {
    // libstdc++ reads getrandom()/urandom here, never a seeded pseudo-random engine.
    static std::random_device source;
    Uuid uuid;
    for (std::size_t i = 0; i < uuid.bytes_.size(); i += 4) {
        const auto word = source();
        for (std::size_t j = 0; j < 4; ++j)
            uuid.bytes_[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    uuid.bytes_[6] = static_cast<std::uint8_t>((uuid.bytes_[6] & 0x0F) | 0x40);
    uuid.bytes_[8] = static_cast<std::uint8_t>((uuid.bytes_[8] & 0x3F) | 0x80);
    return uuid;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36)
        return std::nullopt;
    Uuid uuid;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
        if (high < 0 || low < 0 || isHyphenPosition(i + 1))
            return std::nullopt;
        uuid.bytes_[byte++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return uuid;
}

std::string Uuid::text() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += digits[bytes_[i] >> 4];
        out += digits[bytes_[i] & 0x0F];
    }
    return out;
}

} // namespace tavrin
