#pragma once

#include "SpecialKey.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tavrin {

class XKeyTyper;

// Types on a thread of its own, so that a long text never stalls the event loop: the typer and
// its X connection live there, and jobs run in the order they were given.
class TypingWorker {
  public:
    TypingWorker();
    // Lets the job under way finish and drops the rest.
    ~TypingWorker();
    TypingWorker(const TypingWorker&) = delete;
    TypingWorker& operator=(const TypingWorker&) = delete;

    void typeText(std::u16string text);
    void pressSpecialKey(SpecialKey key, bool down);
    // Runs `reached` on the worker thread once everything given before it has been typed.
    void afterQueued(std::function<void()> reached);

  private:
    using Job = std::function<void()>;
    void add(Job job);
    void run();
    XKeyTyper* typer();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::unique_ptr<XKeyTyper> typer_; // the worker thread's alone
    bool typerMissingTold_ = false;
    std::thread thread_;
};

} // namespace tavrin
