#pragma once

// What a process that parses untrusted files may still do once it holds what
// it needs. Used by the PDF worker, which gets its document and its socket
// already open, and by the app for the part that keeps it from being read.

namespace Platform::WorkerConfine {

// Keeps every other process of the user from reading this process's memory
// (/proc/PID/mem) or tracing it; no core dump is written either. Inherited by
// forked children, undone by no one once `confine` ran.
void hideMemory();

// From now on this process and all it forks: gains no privileges; opens no
// file but the system's shared data (fonts, Poppler's tables), the font
// caches and its own /proc entries, all read only, and writes none; makes no
// socket and connects none; traces, reads or signals no other process; runs
// no other program; leaves neither its process group nor its session; can't
// make itself readable again. A refused call fails with EPERM (or EACCES),
// so a library's attempt fails cleanly. What the kernel lacks is said once
// on stderr, and the rest still applies.
void confine();

} // namespace Platform::WorkerConfine
