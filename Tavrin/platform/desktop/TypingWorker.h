#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tavrin {

// Runs jobs on a thread of its own, in the order they were given, so that a long text never
// stalls the event loop.
class TypingWorker {
  public:
    using Job = std::function<void()>;

    TypingWorker();
    // Lets the job under way finish and drops the rest.
    ~TypingWorker();
    TypingWorker(const TypingWorker&) = delete;
    TypingWorker& operator=(const TypingWorker&) = delete;

    void add(Job job);

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace tavrin
