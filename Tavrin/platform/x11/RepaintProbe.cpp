#include "platform/x11/RepaintProbe.h"

#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <array>
#include <ranges>
#include <span>
#include <string_view>
#include <vector>
#include <xcb/damage.h>

namespace tavrin {
namespace {

bool isContentWindow(xcb_connection_t* connection, xcb_window_t window) {
    constexpr std::string_view name = "Content window";
    const XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 16),
        nullptr));
    if (!property || property->format != 8)
        return false;
    return std::string_view(
               static_cast<const char*>(xcb_get_property_value(property.get())),
               static_cast<std::size_t>(xcb_get_property_value_length(property.get()))) == name;
}

XcbReply<xcb_get_geometry_reply_t> geometry(xcb_connection_t* connection, xcb_window_t window) {
    return XcbReply<xcb_get_geometry_reply_t>(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
}

} // namespace

RepaintProbe::RepaintProbe(xcb_connection_t* connection, xcb_window_t focus)
    : connection_(connection) {
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!damage || !damage->present)
        return;
    window_ = findContentWindow(focus);
    if (window_ == XCB_NONE || !findSpot())
        return;
    const XcbReply<xcb_damage_query_version_reply_t> version(xcb_damage_query_version_reply(
        connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
    if (!version)
        return;
    damageNotify_ = static_cast<std::uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
    damage_ = xcb_generate_id(connection_);
    // Each rectangle drawn is told as it is, so the copy asked for is told apart from the caret's
    // blinking and the text's repainting over the same pixel. The report of the whole window
    // that follows the creation is no answer either.
    xcb_damage_create(connection_, damage_, window_, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
}

RepaintProbe::~RepaintProbe() {
    if (damage_ != XCB_NONE) {
        xcb_damage_destroy(connection_, damage_);
        xcb_flush(connection_);
    }
}

// Java gives keys to a focus proxy inside its top-level window and draws in a sibling of it.
xcb_window_t RepaintProbe::findContentWindow(xcb_window_t focus) const {
    for (xcb_window_t window = focus; window != XCB_NONE;) {
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (!tree || window == tree->root)
            return XCB_NONE;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < count; ++i) {
            if (isContentWindow(connection_, children[i]))
                return children[i];
        }
        window = tree->parent;
    }
    return XCB_NONE;
}

// The content window starts above and left of its top-level window by the frame's size, and
// only what the top-level window shows of it, and no window over it hides, is drawn to: a copy to
// a hidden pixel makes no damage. The four pixels asked for in turn lie side by side.
bool RepaintProbe::findSpot() {
    const auto content = geometry(connection_, window_);
    const XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window_), nullptr));
    if (!content || !tree)
        return false;
    const auto topLevel = geometry(connection_, tree->parent);
    const XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window_, tree->root, 0, 0), nullptr));
    if (!topLevel || !origin)
        return false;
    const int left = std::max(0, -content->x);
    const int top = std::max(0, -content->y);
    const int right = std::min<int>(content->width, topLevel->width - content->x);
    const int bottom = std::min<int>(content->height, topLevel->height - content->y);
    const std::vector<Box> covers = coveringBoxes(tree->root, origin->dst_x, origin->dst_y);
    // From the middle out, where no frame or scroll bar is drawn.
    constexpr std::array eighths{4, 3, 5, 2, 6, 1, 7};
    for (int row : eighths) {
        for (int column : eighths) {
            const int x = left + (right - left - 4) * column / 8;
            const int y = top + (bottom - top) * row / 8;
            const Box spot{x, y, x + 4, y + 1};
            if (x < left || x + 4 > right || y < top || y >= bottom ||
                std::ranges::any_of(covers, [&](const Box& box) { return box.meets(spot); }))
                continue;
            spot_ = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
            return true;
        }
    }
    return false;
}

// The viewable windows stacked over the one holding the content window, in the content window's
// coordinates, which start at x, y on the root window.
std::vector<RepaintProbe::Box> RepaintProbe::coveringBoxes(xcb_window_t root, int x, int y) const {
    xcb_window_t frame = window_;
    for (;;) {
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, frame), nullptr));
        if (!tree || tree->parent == XCB_NONE)
            return {};
        if (tree->parent == root)
            break;
        frame = tree->parent;
    }
    const XcbReply<xcb_query_tree_reply_t> stack(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr));
    if (!stack)
        return {};
    const std::span<const xcb_window_t> children(
        xcb_query_tree_children(stack.get()),
        static_cast<std::size_t>(xcb_query_tree_children_length(stack.get())));
    auto above = std::ranges::find(children, frame);
    if (above != children.end())
        ++above;
    std::vector<Box> boxes;
    for (const xcb_window_t window : std::ranges::subrange(above, children.end())) {
        const XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, window), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        if (const auto box = geometry(connection_, window)) {
            const int outer = 2 * box->border_width;
            boxes.push_back({box->x - x, box->y - y, box->x - x + box->width + outer,
                             box->y - y + box->height + outer});
        }
    }
    return boxes;
}

void RepaintProbe::ask() {
    ++round_;
    asked_ = {static_cast<std::int16_t>(spot_.x + round_ % 4), spot_.y, 1, 1};
    askAgain();
}

void RepaintProbe::askAgain() {
    xcb_expose_event_t expose{};
    expose.response_type = XCB_EXPOSE;
    expose.window = window_;
    expose.x = static_cast<std::uint16_t>(asked_.x);
    expose.y = static_cast<std::uint16_t>(asked_.y);
    expose.width = asked_.width;
    expose.height = asked_.height;
    xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_EXPOSURE,
                   reinterpret_cast<const char*>(&expose));
    xcb_flush(connection_);
}

bool RepaintProbe::isAnswer(const xcb_generic_event_t& event) const {
    if (damage_ == XCB_NONE || (event.response_type & 0x7f) != damageNotify_)
        return false;
    const auto& notify = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
    return notify.damage == damage_ && notify.area.x == asked_.x && notify.area.y == asked_.y &&
           notify.area.width == asked_.width && notify.area.height == asked_.height;
}

} // namespace tavrin
