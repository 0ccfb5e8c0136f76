#pragma once

#include "PopupAction.h"
#include "platform/Platform.h"

namespace tavrin::KeySender {

// One key-down and one key-up: the special key, or the whole text on a carrier key.
void perform(Platform& platform, const PopupAction& action);
void postKey(Platform& platform, SpecialKey key);

} // namespace tavrin::KeySender
