#pragma once

// How the engine gives up on a read or render that its caller cancelled: the
// entry installs the caller's flag for the call (Platform::CancelScope), and
// the readers and the renderer call checkCancelled() between pages and blocks.

#include "Platform/Cancel.h"

#include <stdexcept>

namespace FolmiraKit {

using Platform::CancelFlag;

// Thrown out of Folmira::read and Folmira::render once their flag is set.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("The work was cancelled.") {}
};

// Throws Cancelled when the calling thread's flag is set.
inline void checkCancelled()
{
    if (Platform::cancelRequested()) throw Cancelled();
}

} // namespace FolmiraKit
