#pragma once

// Asking long work on another thread to stop. The thread that starts the work
// installs a flag with a CancelScope; code deep inside the work polls
// cancelRequested() between its steps (pages, blocks, rows) and winds down
// when it says so. Setting and reading a flag are safe from any thread.

#include <atomic>
#include <stdexcept>

namespace Platform {

class CancelFlag {
public:
    CancelFlag() = default;
    // A flag that is also set while `outer` (may be null) is: part of some
    // work stopped on its own, or with the whole.
    explicit CancelFlag(const CancelFlag* outer) : outer_(outer) {}
    void cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const noexcept
    {
        return cancelled_.load(std::memory_order_relaxed) || (outer_ && outer_->cancelled());
    }

private:
    std::atomic<bool> cancelled_{false};
    const CancelFlag* outer_ = nullptr;
};

// Makes `flag` (may be null) the calling thread's flag until the scope ends,
// then restores the one before.
class CancelScope {
public:
    explicit CancelScope(const CancelFlag* flag);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    const CancelFlag* previous_;
};

// The calling thread's flag, or null; a thread that hands work to others
// installs it there with a CancelScope of its own.
const CancelFlag* currentCancelFlag();

// Whether the calling thread's flag is set.
bool cancelRequested();

// Thrown out of long work once the calling thread's flag is set.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("The work was cancelled.") {}
};

// Throws Cancelled when the calling thread's flag is set; called between steps.
inline void checkCancelled()
{
    if (cancelRequested()) throw Cancelled();
}

} // namespace Platform
