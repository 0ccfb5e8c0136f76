#pragma once

#include "platform/x11/SelectionContents.h"

#include <thread>

namespace tavrin {

// Hands out what CLIPBOARD held before a paste for as long as nobody else takes it. It serves
// on a thread and a connection of its own: the typer's thread sleeps between texts, and a
// requestor left unanswered would hang until its own limit.
class ClipboardKeeper {
  public:
    ClipboardKeeper() = default;
    ClipboardKeeper(const ClipboardKeeper&) = delete;
    ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;

    // Takes CLIPBOARD with the contents, the contents kept before let go. False when the
    // selection could not be taken within the limit.
    bool keep(SelectionContents contents, std::chrono::milliseconds limit);

  private:
    // Last, so that it ends before anything it uses goes.
    std::jthread thread_;
};

} // namespace tavrin
