#include "platform/x11/ClipboardLoan.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace tavrin {
namespace {

std::chrono::steady_clock::time_point after(std::chrono::milliseconds limit) {
    return std::chrono::steady_clock::now() + limit;
}

std::vector<xcb_atom_t> unsavedTargets(xcb_connection_t* connection) {
    std::vector<xcb_atom_t> atoms;
    for (const char* name : {"TARGETS", "MULTIPLE", "TIMESTAMP", "DELETE", "SAVE_TARGETS",
                             "INSERT_SELECTION", "INSERT_PROPERTY"})
        atoms.push_back(internAtom(connection, name));
    return atoms;
}

} // namespace

ClipboardLoan::ClipboardLoan(xcb_connection_t* connection, ClipboardKeeper& keeper,
                             OtherEvents others, Warn warn)
    : connection_(connection), keeper_(keeper), others_(std::move(others)), warn_(std::move(warn)),
      atoms_(connection), unsaved_(unsavedTargets(connection)),
      property_(internAtom(connection, "TAVRIN_CLIPBOARD")), incr_(internAtom(connection, "INCR")),
      window_(createSelectionWindow(connection)) {}

ClipboardLoan::~ClipboardLoan() {
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
}

bool ClipboardLoan::lend(std::u16string_view text, std::chrono::milliseconds limit) {
    const auto deadline = after(limit);
    time_ = serverTime(connection_, window_, deadline, others_);
    if (time_ == XCB_CURRENT_TIME || !save(deadline)) {
        warn_("the clipboard " + (failure_.empty() ? "gave no time" : failure_) +
              ": characters outside the BMP are typed as keys, which KTextEditor drops");
        return false;
    }
    lent_ = SelectionContents::forText(atoms_, text);
    pasted_ = false;
    xcb_set_selection_owner(connection_, window_, atoms_.clipboard, time_);
    if (selectionOwner(connection_, atoms_.clipboard) == window_)
        return true;
    lent_.reset();
    warn_("cannot take the clipboard: characters outside the BMP are typed as keys");
    return false;
}

// The owner is asked for each target it offers, one after the other; a target it refuses is
// refused again after.
bool ClipboardLoan::save(std::chrono::steady_clock::time_point deadline) {
    failure_.clear();
    saved_.reset();
    const auto owner = selectionOwner(connection_, atoms_.clipboard);
    if (!owner)
        return false;
    if (*owner == XCB_NONE)
        return true;
    const auto offered = convert(atoms_.targets, deadline);
    if (!offered || offered->format != 32) {
        failure_ = failure_.empty() ? "owner names no targets" : failure_;
        return false;
    }
    SelectionContents contents;
    contents.offered.resize(offered->bytes.size() / 4);
    std::memcpy(contents.offered.data(), offered->bytes.data(), contents.offered.size() * 4);
    for (xcb_atom_t target : contents.offered) {
        if (std::ranges::find(unsaved_, target) != unsaved_.end())
            continue;
        if (auto data = convert(target, deadline))
            contents.targets.push_back(std::move(*data));
        else if (!failure_.empty())
            return false;
    }
    saved_ = std::move(contents);
    return true;
}

std::optional<SelectionContents::Target>
ClipboardLoan::convert(xcb_atom_t target, std::chrono::steady_clock::time_point deadline) {
    xcb_convert_selection(connection_, window_, atoms_.clipboard, target, property_, time_);
    xcb_flush(connection_);
    while (const auto event = nextEvent(connection_, deadline)) {
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
        if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY || notify->requestor != window_ ||
            notify->target != target) {
            others_(*event);
            continue;
        }
        if (notify->property == XCB_NONE)
            return std::nullopt;
        const auto property = takeProperty();
        if (!property) {
            failure_ = "owner's data cannot be read";
            return std::nullopt;
        }
        if (property->type == incr_)
            return receiveIncrementally(target, deadline);
        const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(property.get()));
        return SelectionContents::Target{
            target,
            property->type,
            property->format,
            {data, data + xcb_get_property_value_length(property.get())}};
    }
    failure_ = "owner did not answer in time";
    return std::nullopt;
}

// Taking the property, which holds the size, asks the owner for the first part; each part is
// taken in turn, and an empty one ends the data.
std::optional<SelectionContents::Target>
ClipboardLoan::receiveIncrementally(xcb_atom_t target,
                                    std::chrono::steady_clock::time_point deadline) {
    SelectionContents::Target data{target, XCB_NONE, 8, {}};
    while (const auto event = nextEvent(connection_, deadline)) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY || notify->window != window_ ||
            notify->atom != property_ || notify->state != XCB_PROPERTY_NEW_VALUE) {
            others_(*event);
            continue;
        }
        const auto part = takeProperty();
        if (!part)
            break;
        const auto length = static_cast<std::size_t>(xcb_get_property_value_length(part.get()));
        if (length == 0)
            return data;
        if (data.bytes.size() + length > largestProperty(connection_)) {
            failure_ = "holds data too large to hand out again";
            return std::nullopt;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(xcb_get_property_value(part.get()));
        data.type = part->type;
        data.format = part->format;
        data.bytes.insert(data.bytes.end(), bytes, bytes + length);
    }
    failure_ = "owner did not hand out its data in time";
    return std::nullopt;
}

XcbReply<xcb_get_property_reply_t> ClipboardLoan::takeProperty() {
    return XcbReply<xcb_get_property_reply_t>(
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 1, window_, property_,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
                               nullptr));
}

bool ClipboardLoan::awaitPaste(std::uint32_t clientBase, std::chrono::milliseconds limit) {
    pasteClient_ = clientBase;
    xcb_flush(connection_);
    const auto deadline = after(limit);
    while (!pasted_) {
        const auto event = nextEvent(connection_, deadline);
        if (!event)
            return false;
        if (!notice(*event))
            others_(*event);
    }
    return true;
}

bool ClipboardLoan::isRequest(const xcb_generic_event_t& event) const {
    const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(event);
    return lent_ && (event.response_type & 0x7f) == XCB_SELECTION_REQUEST &&
           request.owner == window_ && request.selection == atoms_.clipboard;
}

bool ClipboardLoan::notice(const xcb_generic_event_t& event) {
    if (!isRequest(event))
        return false;
    const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(event);
    const bool answered = lent_->answer(connection_, atoms_, request, time_);
    const std::uint32_t mask = xcb_get_setup(connection_)->resource_id_mask;
    // Qt asks for the targets first, and any Qt client does when the owner changes.
    if (answered && (request.requestor & ~mask) == pasteClient_ &&
        std::ranges::find(lent_->targets, request.target, &SelectionContents::Target::target) !=
            lent_->targets.end())
        pasted_ = true;
    return true;
}

void ClipboardLoan::giveBack(std::chrono::milliseconds limit) {
    if (!lent_)
        return;
    if (selectionOwner(connection_, atoms_.clipboard) != window_) {
        // Taken by someone else meanwhile.
    } else if (!saved_) {
        // At the time it was taken: should someone have taken it since, this changes nothing.
        xcb_set_selection_owner(connection_, XCB_NONE, atoms_.clipboard, time_);
        xcb_flush(connection_);
    } else if (!keeper_.keep(std::move(*saved_), limit)) {
        warn_("cannot give the clipboard back: it holds the pasted text");
    }
    saved_.reset();
    // Requests sent before the owner changed are still to be answered.
    roundTrip(connection_);
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        if (!notice(*event))
            others_(*event);
    }
    lent_.reset();
}

} // namespace tavrin
