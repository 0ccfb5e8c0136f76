#include "platform/x11/TypingRecord.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using nlohmann::json;
using KeyMap = TypingRecord::KeyMap;

std::optional<std::uint32_t> number(const json& value, std::uint32_t max) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max)
        return std::nullopt;
    return value.get<std::uint32_t>();
}

std::optional<std::uint32_t> member(const json& object, const char* name, std::uint32_t max) {
    const auto found = object.find(name);
    return found == object.end() ? std::nullopt : number(*found, max);
}

json encodeKeyMap(const KeyMap& map) {
    return {{"types", map.typeIndexes},
            {"groupInfo", map.groupInfo},
            {"width", map.width},
            {"keysyms", map.keysyms}};
}

// The server takes a key's map only with a keysym for every level of every group.
std::optional<KeyMap> decodeKeyMap(const json& object) {
    constexpr std::uint32_t byteMax = std::numeric_limits<std::uint8_t>::max();
    if (!object.is_object())
        return std::nullopt;
    const auto types = object.find("types");
    const auto keysyms = object.find("keysyms");
    const auto groupInfo = member(object, "groupInfo", byteMax);
    const auto width = member(object, "width", byteMax);
    if (types == object.end() || !types->is_array() || types->size() != 4 ||
        keysyms == object.end() || !keysyms->is_array() || !groupInfo || !width ||
        keysyms->size() != std::size_t{*width} * (*groupInfo & 0x0f))
        return std::nullopt;
    KeyMap map{{}, static_cast<std::uint8_t>(*groupInfo), static_cast<std::uint8_t>(*width), {}};
    for (std::size_t i = 0; i < map.typeIndexes.size(); ++i) {
        const auto type = number((*types)[i], byteMax);
        if (!type)
            return std::nullopt;
        map.typeIndexes[i] = static_cast<std::uint8_t>(*type);
    }
    for (const json& keysym : *keysyms) {
        const auto value = number(keysym, std::numeric_limits<std::uint32_t>::max());
        if (!value)
            return std::nullopt;
        map.keysyms.push_back(*value);
    }
    return map;
}

std::optional<KeyMap> keyMapMember(const json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? std::nullopt : decodeKeyMap(*found);
}

} // namespace

std::string TypingRecord::encode() const {
    json encodedBindings = json::array();
    for (const Binding& binding : bindings)
        encodedBindings.push_back({{"keycode", binding.keycode},
                                   {"original", encodeKeyMap(binding.original)},
                                   {"bound", encodeKeyMap(binding.bound)}});
    return json{{"lockedModifiers", lockedModifiers},
                {"lockedGroup", lockedGroup},
                {"typingGroup", typingGroup},
                {"bindings", encodedBindings}}
        .dump();
}

std::optional<TypingRecord> TypingRecord::decode(std::string_view text) {
    const json object = json::parse(text, nullptr, false);
    if (!object.is_object())
        return std::nullopt;
    const auto lockedModifiers = member(object, "lockedModifiers", 0xff);
    // XKB has four groups.
    const auto lockedGroup = member(object, "lockedGroup", 3);
    const auto typingGroup = member(object, "typingGroup", 3);
    const auto bindings = object.find("bindings");
    if (!lockedModifiers || !lockedGroup || !typingGroup || bindings == object.end() ||
        !bindings->is_array())
        return std::nullopt;
    TypingRecord record{static_cast<std::uint8_t>(*lockedModifiers),
                        static_cast<std::uint8_t>(*lockedGroup),
                        static_cast<std::uint8_t>(*typingGroup),
                        {}};
    for (const json& binding : *bindings) {
        if (!binding.is_object())
            return std::nullopt;
        const auto keycode = member(binding, "keycode", 255);
        const auto original = keyMapMember(binding, "original");
        const auto bound = keyMapMember(binding, "bound");
        // X keycodes start at 8.
        if (!keycode || *keycode < 8 || !original || !bound)
            return std::nullopt;
        record.bindings.push_back({*keycode, *original, *bound});
    }
    return record;
}

} // namespace tavrin
