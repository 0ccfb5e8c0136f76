#pragma once

#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/SelectionContents.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// CLIPBOARD lent to a paste on the typer's connection: what it holds is saved, the text is put
// there, and afterwards the saved contents go back, served by the keeper, or no owner when it
// had none. Targets such as MULTIPLE or DELETE that act on the owner are not kept.
class ClipboardLoan {
  public:
    using OtherEvents = std::function<void(const xcb_generic_event_t&)>;
    using Warn = std::function<void(const std::string&)>;

    // Other events read while waiting go to others; what goes wrong to warn.
    ClipboardLoan(xcb_connection_t* connection, ClipboardKeeper& keeper, OtherEvents others,
                  Warn warn);
    ~ClipboardLoan();
    ClipboardLoan(const ClipboardLoan&) = delete;
    ClipboardLoan& operator=(const ClipboardLoan&) = delete;

    // Saves what CLIPBOARD holds and takes it with the text. False, the clipboard untouched,
    // when what it holds cannot be kept exactly or its owner does not answer in time.
    bool lend(std::u16string_view text, std::chrono::milliseconds limit);
    // Serves requests until the client whose windows share the resource base has asked for the
    // text itself, not only for its targets. False when it has not within the limit.
    bool awaitPaste(std::uint32_t clientBase, std::chrono::milliseconds limit);
    // Takes in an event read by someone else; true when it was a request answered here.
    bool notice(const xcb_generic_event_t& event);
    // Puts back what the clipboard held, unless someone else has taken it since.
    void giveBack(std::chrono::milliseconds limit);

  private:
    bool save(std::chrono::steady_clock::time_point deadline);
    std::optional<SelectionContents::Target>
    convert(xcb_atom_t target, std::chrono::steady_clock::time_point deadline);
    std::optional<SelectionContents::Target>
    receiveIncrementally(xcb_atom_t target, std::chrono::steady_clock::time_point deadline);
    XcbReply<xcb_get_property_reply_t> takeProperty();
    bool isRequest(const xcb_generic_event_t& event) const;

    xcb_connection_t* connection_;
    ClipboardKeeper& keeper_;
    OtherEvents others_;
    Warn warn_;
    const SelectionAtoms atoms_;
    // Targets that act on the owner or stand for others: asking for them saves nothing.
    const std::vector<xcb_atom_t> unsaved_;
    xcb_atom_t property_;
    xcb_atom_t incr_;
    xcb_window_t window_;
    xcb_timestamp_t time_ = XCB_CURRENT_TIME;
    // Set when converting failed (no answer, too large), not when a target was refused.
    std::string failure_;
    std::optional<SelectionContents> saved_;
    std::optional<SelectionContents> lent_;
    std::uint32_t pasteClient_ = 0;
    bool pasted_ = false;
};

} // namespace tavrin
