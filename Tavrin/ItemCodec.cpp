#include "ItemCodec.h"

#include <nlohmann/json.hpp>

namespace tavrin::itemCodec {
namespace {

using nlohmann::json;

// Stored lists nest four levels deep; anything far deeper is hostile, refuse it before parsing.
constexpr int maximumNesting = 32;

bool nestsTooDeep(std::string_view bytes) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : bytes) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '[' || c == '{') {
            if (++depth > maximumNesting)
                return true;
        } else if (c == ']' || c == '}')
            --depth;
    }
    return false;
}

// A whole UTF-8 sequence check; the encoder refuses texts that are not valid UTF-8.
bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t minimum = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, codePoint = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, codePoint = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void appendString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0x0F];
                out += hex[c & 0x0F];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

const json& member(const json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end())
        throw DecodeFailure{};
    return *found;
}

const std::string& stringValue(const json& value) {
    if (!value.is_string())
        throw DecodeFailure{};
    return value.get_ref<const std::string&>();
}

PopupAction decodeAction(const json& action) {
    if (!action.is_object())
        throw DecodeFailure{};
    const bool hasText = action.contains("insertText");
    const bool hasKey = action.contains("pressKey");
    if (hasText == hasKey)
        throw DecodeFailure{};
    const json& payload = action.at(hasText ? "insertText" : "pressKey");
    if (!payload.is_object())
        throw DecodeFailure{};
    const std::string& value = stringValue(member(payload, "_0"));
    if (hasText)
        return PopupAction::insertText(value);
    const auto key = specialKey::fromRawValue(value);
    if (!key)
        throw DecodeFailure{};
    return PopupAction::pressKey(*key);
}

MenuItem decodeItem(const json& element) {
    if (!element.is_object())
        throw DecodeFailure{};
    const auto id = Uuid::parse(stringValue(member(element, "id")));
    if (!id)
        throw DecodeFailure{};
    std::string label = stringValue(member(element, "label"));
    return MenuItem{*id, std::move(label), decodeAction(member(element, "action"))};
}

} // namespace

std::optional<std::string> encode(const std::vector<MenuItem>& items) {
    std::string out = "[";
    for (const MenuItem& item : items) {
        if (out.size() > 1)
            out += ',';
        out += "{\"id\":";
        appendString(out, item.id.text());
        out += ",\"label\":";
        if (!isValidUtf8(item.label))
            return std::nullopt;
        appendString(out, item.label);
        out += ",\"action\":{";
        if (const auto* text = item.action.asInsertText()) {
            if (!isValidUtf8(text->text))
                return std::nullopt;
            out += "\"insertText\":{\"_0\":";
            appendString(out, text->text);
        } else {
            out += "\"pressKey\":{\"_0\":";
            appendString(out, specialKey::rawValue(item.action.asPressKey()->key));
        }
        out += "}}}";
    }
    out += ']';
    return out;
}

DecodeResult decode(std::string_view bytes) {
    if (nestsTooDeep(bytes))
        return DecodeFailure{};
    const json document = json::parse(bytes, nullptr, false);
    if (document.is_discarded() || !document.is_array())
        return DecodeFailure{};
    try {
        std::vector<MenuItem> items;
        items.reserve(document.size());
        for (const json& element : document)
            items.push_back(decodeItem(element));
        return items;
    } catch (const DecodeFailure& failure) {
        return failure;
    }
}

} // namespace tavrin::itemCodec
