#pragma once

// How songbook layout and drawing give up when their caller cancels: the
// caller installs its flag on the working thread (Platform::CancelScope), and
// the layouter and the renderer call checkCancelled() between songs and pages,
// which throws Cancelled.

#include "Platform/Cancel.h"

namespace TunequillKit {

using Platform::Cancelled;
using Platform::checkCancelled;

} // namespace TunequillKit
