#include "TypingWorker.h"

#include "platform/x11/XKeyTyper.h"

#include <QLoggingCategory>

namespace tavrin {
namespace {

Q_LOGGING_CATEGORY(x11Log, "tavrin.x11")

} // namespace

TypingWorker::TypingWorker() : thread_([this] { run(); }) {}

TypingWorker::~TypingWorker() {
    {
        const std::scoped_lock lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void TypingWorker::typeText(std::u16string text) {
    add([this, text = std::move(text)] {
        if (XKeyTyper* keys = typer())
            keys->typeText(text);
    });
}

void TypingWorker::pressSpecialKey(SpecialKey key, bool down) {
    add([this, key, down] {
        if (XKeyTyper* keys = typer())
            keys->pressSpecialKey(key, down);
    });
}

void TypingWorker::afterQueued(std::function<void()> reached) {
    // Needs no typer: on Wayland this worker only keeps the order of jobs.
    add(std::move(reached));
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

// Asked again for every job: the display may offer XTEST later, or come back.
XKeyTyper* TypingWorker::typer() {
    if (!typer_)
        typer_ = XKeyTyper::create();
    if (!typer_ && !typerMissingTold_)
        qCWarning(x11Log, "cannot type: no connection to an X display offering XTEST and XKB");
    typerMissingTold_ = !typer_;
    return typer_.get();
}

} // namespace tavrin
