#pragma once

#include "MenuItem.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tavrin::itemCodec {

struct DecodeFailure {};

using DecodeResult = std::variant<std::vector<MenuItem>, DecodeFailure>;

// Compact JSON, members in the order id, label, action, every slash escaped, upper-case ids.
// Nothing when a text is not valid UTF-8.
std::optional<std::string> encode(const std::vector<MenuItem>& items);

// The whole list or a failure; never a partial list.
DecodeResult decode(std::string_view bytes);

} // namespace tavrin::itemCodec
