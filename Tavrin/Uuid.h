#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

class Uuid {
  public:
    // 122 random bits from the OS random source, version 4, variant 1.
    static Uuid random();
    // Canonical 8-4-4-4-12 form in either case; anything else gives nothing.
    static std::optional<Uuid> parse(std::string_view text);

    // Canonical form in upper case.
    std::string text() const;

    friend bool operator==(const Uuid&, const Uuid&) = default;

  private:
    std::array<std::uint8_t, 16> bytes_{};
};

} // namespace tavrin
