#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tavrin {

// Runs jobs on a thread of its own, in the order they were given, so that a long text never
// stalls the event loop.
class TypingWorker {
  public:
    using Job = std::function<void()>;

    TypingWorker();
    // Asks the job under way to stop, waits for it, and drops the rest.
    ~TypingWorker();
    TypingWorker(const TypingWorker&) = delete;
    TypingWorker& operator=(const TypingWorker&) = delete;

    void add(Job job);
    // Set once the worker is going: a long job checks it to end early.
    std::stop_token stopToken() const { return stop_.get_token(); }

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::stop_source stop_;
    std::thread thread_;
};

} // namespace tavrin
