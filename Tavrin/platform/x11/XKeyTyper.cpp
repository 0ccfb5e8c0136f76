#include "platform/x11/XKeyTyper.h"

#include "platform/x11/ClipboardLoan.h"
#include "platform/x11/EscapeWatch.h"
#include "platform/x11/FocusedClient.h"
#include "platform/x11/HeldKeys.h"
#include "platform/x11/KeymapEdit.h"
#include "platform/x11/TypingRecordFile.h"
#include "platform/x11/XTestDevice.h"
#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbXkb.h"
#include "xkb/KeySymMaps.h"
#include "xkb/KeymapIndex.h"
#include "xkb/Keysyms.h"
#include "xkb/TypingPlan.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using keymap::KeymapIndex;
using keymap::KeyStroke;
using keymap::Rebinding;
using KeyMap = keymap::KeySymMaps::KeyMap;
using Keysyms = std::array<xkb_keysym_t, 2>;

// A client turns a keycode into a character with the keymap it fetched last, and it fetches
// the current one when it comes to a change's notice, which may be long after the change. So
// before a keycode is bound anew, the client in front must have handled every key typed with
// the old binding, and after a change it must have fetched the new keymap before a key is typed
// with it. Clients that answer pings say when they have; a busy one may take long to answer.
constexpr auto answerLimit = 3000ms;
// For the others (plain Xlib programs such as xterm), margins measured with xterm and xev stand
// in, with room for a loaded machine: a fixed part and a part for each key event.
constexpr auto catchUpMargin = 30ms;
constexpr auto catchUpPerEvent = 100us;

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using KeymapPointer = std::unique_ptr<xkb_keymap, KeymapDeleter>;

void fakeKey(xcb_connection_t* connection, xcb_keycode_t keycode, bool down,
             std::uint32_t delayMilliseconds = 0) {
    xcb_test_fake_input(connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
                        delayMilliseconds, XCB_NONE, 0, 0, XCB_NONE);
}

// The keyboard's keymap and state as they are now.
struct Keyboard {
    KeymapPointer keymap;
    XcbReply<xcb_xkb_get_state_reply_t> state;
};

// A real modifier that no key sets (Mod3 in most layouts): its lock changes the state and means
// nothing to any client. Zero when every one is set by some key.
std::uint8_t unusedModifier(xcb_connection_t* connection) {
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!mapping)
        return 0;
    const std::span keycodes(
        xcb_get_modifier_mapping_keycodes(mapping.get()),
        static_cast<std::size_t>(xcb_get_modifier_mapping_keycodes_length(mapping.get())));
    const std::size_t perModifier = mapping->keycodes_per_modifier;
    for (const int index : {5, 7, 6, 4, 3}) {
        const auto keys =
            keycodes.subspan(static_cast<std::size_t>(index) * perModifier, perModifier);
        if (std::ranges::all_of(keys, [](xcb_keycode_t keycode) { return keycode == 0; }))
            return static_cast<std::uint8_t>(1U << index);
    }
    return 0;
}

std::optional<Keyboard> currentKeyboard(xkb_context* context, xcb_connection_t* connection,
                                        std::int32_t device) {
    Keyboard keyboard{
        KeymapPointer(xkb_x11_keymap_new_from_device(context, connection, device,
                                                     XKB_KEYMAP_COMPILE_NO_FLAGS)),
        XcbReply<xcb_xkb_get_state_reply_t>(xcb_xkb_get_state_reply(
            connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr))};
    if (!keyboard.keymap || !keyboard.state)
        return std::nullopt;
    return keyboard;
}

// One text's typing. It puts the keyboard into a plain state (no modifier held, locked or
// latched) for the text and gives the user's state and keymap back when it ends, also when the
// typing stops early.
class TypingSession {
  public:
    TypingSession(xcb_connection_t* connection, std::uint16_t keyboard, const KeymapIndex& index,
                  const xcb_xkb_get_state_reply_t& state, EscapeWatch& escape,
                  ClipboardKeeper& keeper, const TypingRecordFile* recordFile,
                  const XKeyTyper::Warn& warn);
    ~TypingSession();
    TypingSession(const TypingSession&) = delete;
    TypingSession& operator=(const TypingSession&) = delete;

    void operator()(const Rebinding& rebinding);
    void operator()(const KeyStroke& stroke);
    // Pastes the text through the clipboard, lent for the moment. False, nothing sent, when the
    // clipboard cannot be lent: the text is to be typed then.
    bool paste(std::u16string_view text);

    ClientKind clientKind() const { return client_.kind(); }

  private:
    void sendKey(xcb_keycode_t keycode, bool down);
    void holdModifiers(xkb_mod_mask_t modifiers, xkb_layout_index_t group);
    void lockGroup(std::uint8_t group);
    void announceChange();
    void letClientCatchUp();
    void writeBindings(const std::map<xkb_keycode_t, std::optional<Keysyms>>& changes);
    void keepRecord();
    void notice(const xcb_generic_event_t& event);

    xcb_connection_t* connection_;
    const std::uint16_t keyboard_;
    EscapeWatch& escape_;
    ClipboardKeeper& keeper_;
    // Made at the first paste; once it could not be lent, the rest of the text is typed.
    std::optional<ClipboardLoan> loan_;
    bool loanRefused_ = false;
    FocusedClient client_;
    const KeymapIndex& index_;
    const std::uint8_t userLockedModifiers_;
    const std::uint8_t userLockedGroup_;
    std::uint8_t group_;
    // Modifier keys the user held through XTest, as a program holding keys for the user does.
    std::vector<xcb_keycode_t> userHeldXTestKeys_;
    std::vector<xcb_keycode_t> heldModifierKeys_;
    xcb_keycode_t lastReleased_ = 0;
    // Keys bound for the moment: what each held before, and what it holds now.
    struct Binding {
        KeyMap original;
        KeyMap bound;
    };
    std::map<xkb_keycode_t, Binding> bound_;
    int eventsSinceChange_ = 0;
    // Written before each change, for the next run should this one end before the text.
    TypingRecord record_;
    const TypingRecordFile* recordFile_;
    const XKeyTyper::Warn& warn_;
    bool recordFailureTold_ = false;
    // Locked and unlocked after a keymap change under the first group; found at the first.
    std::optional<std::uint8_t> unusedModifier_;
    bool caughtUpAfterFirstStroke_ = false;
};

TypingSession::TypingSession(xcb_connection_t* connection, std::uint16_t keyboard,
                             const KeymapIndex& index, const xcb_xkb_get_state_reply_t& state,
                             EscapeWatch& escape, ClipboardKeeper& keeper,
                             const TypingRecordFile* recordFile, const XKeyTyper::Warn& warn)
    : connection_(connection), keyboard_(keyboard), escape_(escape), keeper_(keeper),
      client_(connection, [this](const xcb_generic_event_t& event) { notice(event); }),
      index_(index), userLockedModifiers_(state.lockedMods), userLockedGroup_(state.lockedGroup),
      group_(state.group), record_{state.lockedMods, state.lockedGroup, state.lockedGroup, {}},
      recordFile_(recordFile), warn_(warn) {
    keepRecord();
    // Held on a keyboard, a modifier is let go for good: pressed again through XTest, it would
    // stay down there once the user lets go of the real key.
    for (const HeldKey& key : heldKeys::read(connection_)) {
        if (!index_.isModifierKey(key.keycode))
            continue;
        heldKeys::release(connection_, key);
        if (key.onXTestDevice)
            userHeldXTestKeys_.push_back(key.keycode);
    }
    xcb_xkb_latch_lock_state(connection_, XCB_XKB_ID_USE_CORE_KBD, state.lockedMods, 0, false, 0,
                             state.latchedMods, false, 0);
}

TypingSession::~TypingSession() {
    holdModifiers(0, group_);
    if (!bound_.empty()) {
        letClientCatchUp();
        std::map<xkb_keycode_t, std::optional<Keysyms>> restored;
        for (const auto& binding : bound_)
            restored[binding.first] = std::nullopt;
        writeBindings(restored);
    }
    if (group_ != userLockedGroup_)
        lockGroup(userLockedGroup_);
    xcb_xkb_latch_lock_state(connection_, XCB_XKB_ID_USE_CORE_KBD, userLockedModifiers_,
                             userLockedModifiers_, false, 0, 0, false, 0);
    for (xcb_keycode_t keycode : userHeldXTestKeys_)
        fakeKey(connection_, keycode, true);
    roundTrip(connection_);
    // The server told this connection of every mapping change too.
    while (XcbReply<xcb_generic_event_t>(xcb_poll_for_event(connection_))) {
    }
    if (recordFile_)
        recordFile_->remove();
}

void TypingSession::operator()(const Rebinding& rebinding) {
    // Some toolkits (Qt 5) start from a blank state when they take a new keymap in, and a
    // modifier still held from before would no longer count.
    holdModifiers(0, group_);
    letClientCatchUp();
    std::map<xkb_keycode_t, std::optional<Keysyms>> changes;
    for (const auto& binding : rebinding.bindings)
        changes[binding.keycode] = binding.keysyms;
    writeBindings(changes);
    // The first answer: the client has come to the change's notice and asked for the keymap.
    // The second: the keymap it asked for has reached it.
    if (client_.catchUp(answerLimit))
        client_.catchUp(answerLimit);
}

void TypingSession::operator()(const KeyStroke& stroke) {
    if (stroke.group != group_)
        lockGroup(static_cast<std::uint8_t>(stroke.group));
    holdModifiers(stroke.modifiers, stroke.group);
    sendKey(static_cast<xcb_keycode_t>(stroke.keycode), true);
    sendKey(static_cast<xcb_keycode_t>(stroke.keycode), false);
    // The first key through XTest makes its keyboard the core keyboard's source, which the
    // server announces like a new keymap; kitty takes that in with the state of the moment
    // it comes to the key, so nothing more is sent before it has.
    if (!caughtUpAfterFirstStroke_) {
        caughtUpAfterFirstStroke_ = true;
        client_.catchUp(answerLimit);
    }
}

bool TypingSession::paste(std::u16string_view text) {
    // Shift+Insert pastes whatever the layout: ctrl+v needs a Latin 'v', which a keymap of
    // Russian alone lacks.
    const auto insert = index_.strokeFor(XKB_KEY_Insert, group_);
    if (loanRefused_ || !insert)
        return false;
    if (insert->group != group_)
        lockGroup(static_cast<std::uint8_t>(insert->group));
    holdModifiers(0, group_);
    if (!loan_)
        loan_.emplace(
            connection_, keeper_,
            [this](const xcb_generic_event_t& event) { escape_.notice(event); }, warn_);
    if (!loan_->lend(text, answerLimit)) {
        loanRefused_ = true;
        return false;
    }
    holdModifiers(XCB_MOD_MASK_SHIFT | insert->modifiers, group_);
    sendKey(static_cast<xcb_keycode_t>(insert->keycode), true);
    sendKey(static_cast<xcb_keycode_t>(insert->keycode), false);
    holdModifiers(0, group_);
    // The client reads the clipboard when it comes to the paste, and an answer to a ping sent
    // after it has the data comes after the insertion.
    if (loan_->awaitPaste(client_.idBase(), answerLimit)) {
        client_.catchUp(answerLimit);
    } else {
        warn_("the application did not ask for the pasted text in time: the rest of the text is "
              "typed as keys");
        loanRefused_ = true;
    }
    loan_->giveBack(answerLimit);
    return true;
}

void TypingSession::notice(const xcb_generic_event_t& event) {
    if (!loan_ || !loan_->notice(event))
        escape_.notice(event);
}

void TypingSession::sendKey(xcb_keycode_t keycode, bool down) {
    // A release and a press of one key at one server time look like the key's autorepeat to
    // some clients (LibreOffice drops both), also with Shift pressed between them, so a key
    // typed again waits for the next millisecond.
    fakeKey(connection_, keycode, down, down && keycode == lastReleased_ ? 1 : 0);
    if (!down)
        lastReleased_ = keycode;
    else if (!index_.isModifierKey(keycode))
        lastReleased_ = 0;
    ++eventsSinceChange_;
}

void TypingSession::holdModifiers(xkb_mod_mask_t modifiers, xkb_layout_index_t group) {
    std::vector<xcb_keycode_t> wanted;
    for (xkb_mod_mask_t bit = 1; bit <= 0x80; bit <<= 1) {
        if ((modifiers & bit) == 0)
            continue;
        if (const auto key = index_.modifierKey(bit, group))
            wanted.push_back(static_cast<xcb_keycode_t>(*key));
    }
    for (xcb_keycode_t keycode : heldModifierKeys_) {
        if (std::ranges::find(wanted, keycode) == wanted.end())
            sendKey(keycode, false);
    }
    for (xcb_keycode_t keycode : wanted) {
        if (std::ranges::find(heldModifierKeys_, keycode) == heldModifierKeys_.end())
            sendKey(keycode, true);
    }
    heldModifierKeys_ = std::move(wanted);
}

void TypingSession::lockGroup(std::uint8_t group) {
    record_.typingGroup = group;
    keepRecord();
    xcb_xkb_latch_lock_state(connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, true, group, 0, false, 0);
    group_ = group;
}

void TypingSession::letClientCatchUp() {
    if (eventsSinceChange_ == 0 || client_.catchUp(answerLimit))
        return;
    roundTrip(connection_);
    std::this_thread::sleep_for(catchUpMargin + catchUpPerEvent * eventsSinceChange_);
}

// Binds keys to keysyms, or gives them back what they held (no keysyms), in one request for the
// span of keys. A key is bound only while it is free or still holds what was put there, and given
// back only in that case too.
void TypingSession::writeBindings(const std::map<xkb_keycode_t, std::optional<Keysyms>>& changes) {
    if (changes.empty())
        return;
    KeymapEdit edit(connection_, keyboard_, static_cast<xcb_keycode_t>(changes.begin()->first),
                    static_cast<xcb_keycode_t>(changes.rbegin()->first));
    const auto before = bound_;
    for (const auto& [keycode, keysyms] : changes) {
        const KeyMap* now = edit.current(static_cast<xcb_keycode_t>(keycode));
        if (!now)
            break;
        const auto binding = bound_.find(keycode);
        const bool ours = binding != bound_.end() && binding->second.bound == *now;
        if (binding != bound_.end() && !ours) {
            bound_.erase(binding);
        } else if (keysyms && (ours || now->keysyms.empty())) {
            const KeyMap original = ours ? binding->second.original : *now;
            bound_[keycode] = {original, KeyMap::holding(*keysyms)};
            edit.replace(static_cast<xcb_keycode_t>(keycode), bound_[keycode].bound);
        } else if (!keysyms && ours) {
            edit.replace(static_cast<xcb_keycode_t>(keycode), binding->second.original);
            bound_.erase(binding);
        }
    }
    if (!edit.changes())
        return;
    // Until the change has reached the server, a key holds either its old binding or its new one.
    record_.bindings.clear();
    for (const auto* keys : {&before, &std::as_const(bound_)}) {
        for (const auto& [keycode, binding] : *keys) {
            const TypingRecord::Binding named{keycode, binding.original, binding.bound};
            if (std::ranges::find(record_.bindings, named) == record_.bindings.end())
                record_.bindings.push_back(named);
        }
    }
    keepRecord();
    edit.write();
    eventsSinceChange_ = 0;
    announceChange();
}

// The state changes twice after a new keymap, to come back where it was, before the client is
// asked whether it has caught up. Qt 5 takes a new keymap in with a blank state, the first group
// locked, and learns the group again only when it changes. kitty takes it in only at its next
// key or state event, with the state the server has at that moment, which would be ahead of the
// keys it has yet to handle.
void TypingSession::announceChange() {
    if (group_ != 0) {
        const std::uint8_t group = group_;
        lockGroup(0);
        lockGroup(group);
        return;
    }
    if (!unusedModifier_)
        unusedModifier_ = unusedModifier(connection_);
    for (const std::uint8_t locked : {*unusedModifier_, std::uint8_t{0}})
        xcb_xkb_latch_lock_state(connection_, XCB_XKB_ID_USE_CORE_KBD, *unusedModifier_, locked,
                                 false, 0, 0, false, 0);
}

void TypingSession::keepRecord() {
    if (!recordFile_ || recordFile_->write(record_) || recordFailureTold_)
        return;
    warn_("cannot write " + recordFile_->path() +
          ": should Tavrin end before this text, the keymap stays changed");
    recordFailureTold_ = true;
}

// Puts back what a run that ended before its text had changed, where the keys still hold what
// it put there: a key the user has bound anew since keeps the user's binding.
void putBack(xcb_connection_t* connection, std::uint16_t keyboard, const TypingRecord& record) {
    if (!record.bindings.empty()) {
        const auto [first, last] =
            std::ranges::minmax(record.bindings, {}, [](const TypingRecord::Binding& binding) {
                return binding.keycode;
            });
        KeymapEdit edit(connection, keyboard, static_cast<xcb_keycode_t>(first.keycode),
                        static_cast<xcb_keycode_t>(last.keycode));
        for (const TypingRecord::Binding& binding : record.bindings) {
            const KeyMap* now = edit.current(static_cast<xcb_keycode_t>(binding.keycode));
            if (now && *now == binding.bound)
                edit.replace(static_cast<xcb_keycode_t>(binding.keycode), binding.original);
        }
        edit.write();
    }
    const XcbReply<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(
        connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    const bool groupLeftLocked = state && state->lockedGroup == record.typingGroup;
    xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, record.lockedModifiers,
                             record.lockedModifiers, groupLeftLocked, record.lockedGroup, 0, false,
                             0);
    for (const HeldKey& key : heldKeys::read(connection)) {
        if (key.onXTestDevice)
            heldKeys::release(connection, key);
    }
    roundTrip(connection);
}

} // namespace

std::unique_ptr<XKeyTyper> XKeyTyper::create(Warn warn) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_query_extension_reply_t* xtest =
        xcb_connection_has_error(connection) ? nullptr
                                             : xcb_get_extension_data(connection, &xcb_test_id);
    const bool usable = xtest && xtest->present &&
                        xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                    XKB_X11_MIN_MINOR_XKB_VERSION,
                                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr,
                                                    nullptr, nullptr, nullptr) != 0;
    const std::int32_t core = usable ? xkb_x11_get_core_keyboard_device_id(connection) : -1;
    const std::int32_t keyboard =
        core >= 0 ? xtestKeyboard(connection, static_cast<std::uint16_t>(core)).value_or(core)
                  : core;
    xkb_context* context = keyboard >= 0 ? xkb_context_new(XKB_CONTEXT_NO_FLAGS) : nullptr;
    if (!context) {
        xcb_disconnect(connection);
        return nullptr;
    }
    auto recordFile = TypingRecordFile::forDisplay();
    if (!recordFile)
        warn("no runtime folder (XDG_RUNTIME_DIR): should Tavrin end before a text, the keymap "
             "stays changed");
    return std::unique_ptr<XKeyTyper>(
        new XKeyTyper(connection, context, keyboard, std::move(recordFile), std::move(warn)));
}

XKeyTyper::XKeyTyper(xcb_connection_t* connection, xkb_context* context, std::int32_t keyboard,
                     std::optional<TypingRecordFile> recordFile, Warn warn)
    : connection_(connection), context_(context), keyboard_(keyboard),
      recordFile_(std::move(recordFile)), warn_(std::move(warn)) {}

XKeyTyper::~XKeyTyper() {
    xkb_context_unref(context_);
    xcb_disconnect(connection_);
}

void XKeyTyper::typeText(std::u16string_view text, std::stop_token stop) {
    if (keymap::keysymsForText(text).empty())
        return;
    const auto keyboard = currentKeyboard(context_, connection_, keyboard_);
    if (!keyboard)
        return;
    const KeymapIndex index(keyboard->keymap.get());
    const auto escapeKey = index.strokeFor(XKB_KEY_Escape, keyboard->state->group);
    EscapeWatch escape(connection_, static_cast<xcb_keycode_t>(escapeKey ? escapeKey->keycode : 0));
    TypingSession session(connection_, static_cast<std::uint16_t>(keyboard_), index,
                          *keyboard->state, escape, keeper_, recordFile_ ? &*recordFile_ : nullptr,
                          warn_);
    const ClientKind kind = session.clientKind();
    for (const TextPiece& piece : textPiecesFor(kind, text)) {
        if (xcb_connection_has_error(connection_) != 0 || stop.stop_requested() || escape.pressed())
            return;
        if (piece.pasted && session.paste(piece.text))
            continue;
        const auto plan = keymap::TypingPlan::forKeysyms(
            keysymsFor(kind, piece.text), index, keyboard->state->group, index.spareKeycodes());
        for (const keymap::TypingStep& step : plan.steps) {
            if (xcb_connection_has_error(connection_) != 0 || stop.stop_requested() ||
                escape.pressed())
                return;
            std::visit(session, step);
        }
    }
}

void XKeyTyper::restoreInterruptedText() {
    const auto text = recordFile_ ? recordFile_->read() : std::nullopt;
    if (!text)
        return;
    if (const auto record = TypingRecord::decode(*text))
        putBack(connection_, static_cast<std::uint16_t>(keyboard_), *record);
    else
        warn_(recordFile_->path() + " is no record of a text: nothing put back");
    recordFile_->remove();
}

void XKeyTyper::pressSpecialKey(SpecialKey key, bool down) {
    auto& pressed = pressedSpecialKeys_.at(static_cast<std::size_t>(key));
    if (!down) {
        if (pressed)
            fakeKey(connection_, *pressed, false);
        pressed.reset();
        roundTrip(connection_);
        return;
    }
    const auto keyboard = currentKeyboard(context_, connection_, keyboard_);
    if (!keyboard)
        return;
    const std::uint8_t group = keyboard->state->group;
    const auto stroke =
        KeymapIndex(keyboard->keymap.get()).strokeFor(keymap::keysymForSpecialKey(key), group);
    if (!stroke || stroke->modifiers != 0 || stroke->group != group)
        return;
    pressed = static_cast<xcb_keycode_t>(stroke->keycode);
    fakeKey(connection_, *pressed, true);
    roundTrip(connection_);
}

} // namespace tavrin
