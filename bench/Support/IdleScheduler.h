#pragma once

// A songbook scheduler whose work never runs: a benchmark that wants no
// debounced preview or save does its refreshes by hand.

#include "Lyricade/Scheduler.h"

#include <functional>
#include <memory>

class IdleScheduler final : public Lyricade::Scheduler {
    class Never final : public Lyricade::PendingTask {
        void cancel() override {}
        bool pending() const override { return false; }
    };

public:
    Lyricade::TaskHandle after(Lyricade::Milliseconds, std::function<void()>) override
    {
        return std::make_unique<Never>();
    }
};
