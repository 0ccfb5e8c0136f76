#include "desktop/TypingWorker.h"

namespace tavrin {

TypingWorker::TypingWorker() : thread_([this] { run(); }) {}

TypingWorker::~TypingWorker() {
    stop_.request_stop();
    {
        const std::scoped_lock lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void TypingWorker::add(Job job) {
    {
        const std::scoped_lock lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void TypingWorker::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

} // namespace tavrin
