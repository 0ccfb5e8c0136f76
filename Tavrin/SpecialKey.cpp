#include "SpecialKey.h"

namespace tavrin::specialKey {
namespace {

struct KeyFacts {
    std::string_view rawValue;
    std::string_view symbol;
    std::uint16_t keyCode;
};

constexpr std::array<KeyFacts, 6> facts{{
    {"Return", "\u23CE", 36},
    {"Escape", "\u238B", 53},
    {"Tab", "\u21E5", 48},
    {"Delete", "\u232B", 51},
    {"Forward Delete", "\u2326", 117},
    {"Space", "\u2423", 49},
}};

const KeyFacts& factsOf(SpecialKey key) {
    return facts.at(static_cast<std::size_t>(key));
}

} // namespace

std::string_view rawValue(SpecialKey key) {
    return factsOf(key).rawValue;
}
std::string_view symbol(SpecialKey key) {
    return factsOf(key).symbol;
}
std::uint16_t keyCode(SpecialKey key) {
    return factsOf(key).keyCode;
}

std::optional<SpecialKey> fromRawValue(std::string_view text) {
    for (SpecialKey key : allCases) {
        if (rawValue(key) == text)
            return key;
    }
    return std::nullopt;
}

} // namespace tavrin::specialKey
