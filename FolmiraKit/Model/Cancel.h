#pragma once

// How the engine gives up on a read or render that its caller cancelled: the
// entry installs the caller's flag for the call (Platform::CancelScope), and
// the readers and the renderer call checkCancelled() between pages and blocks;
// Folmira::read and Folmira::render then throw Cancelled.

#include "Platform/Cancel.h"

namespace FolmiraKit {

using Platform::CancelFlag;
using Platform::Cancelled;
using Platform::checkCancelled;

} // namespace FolmiraKit
