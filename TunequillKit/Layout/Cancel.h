#pragma once

// How songbook layout and drawing give up when their caller cancels: the
// caller installs its flag on the working thread (Platform::CancelScope), and
// the layouter and the renderer call checkCancelled() between songs and pages.

#include "Platform/Cancel.h"

#include <stdexcept>

namespace TunequillKit {

class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("The layout was cancelled.") {}
};

// Throws Cancelled when the calling thread's flag is set.
inline void checkCancelled()
{
    if (Platform::cancelRequested()) throw Cancelled();
}

} // namespace TunequillKit
