#include "SpecialKey.h"

namespace tavrin::specialKey {
namespace {

struct KeyFacts {
    std::string_view rawValue;
    std::string_view symbol;
};

constexpr std::array<KeyFacts, 6> facts{{
    {"Return", "\u23CE"},
    {"Escape", "\u238B"},
    {"Tab", "\u21E5"},
    {"Delete", "\u232B"},
    {"Forward Delete", "\u2326"},
    {"Space", "\u2423"},
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

std::optional<SpecialKey> fromRawValue(std::string_view text) {
    for (SpecialKey key : allCases) {
        if (rawValue(key) == text)
            return key;
    }
    return std::nullopt;
}

} // namespace tavrin::specialKey
