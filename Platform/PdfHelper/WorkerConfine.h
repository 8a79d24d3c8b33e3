#pragma once

// What a process that parses untrusted files may still do once it holds what
// it needs. Used by the PDF worker, which gets its document and its socket
// already open, and by the app for the part that keeps it from being read.

#include <cstdint>
#include <string>

namespace Platform::WorkerConfine {

// Keeps every other process of the user from reading this process's memory
// (/proc/PID/mem) or tracing it; no core dump is written either. Inherited by
// forked children, undone by no one once `confine` ran.
void hideMemory();

// Gives up the terminal this process may have inherited as its controlling
// terminal (the app started from a shell), so that neither it nor anything it
// forks can type into the user's shell (TIOCSTI) or read what is typed there.
// Not being a session leader, it can never take one again. To be called
// before `confine`, with the standard streams already away from the terminal.
void leaveTerminal();

// From now on this process and all it forks: gains no privileges and holds
// no capability (root's included); opens no file but the system's shared data
// (fonts, Poppler's tables), the font caches and its own /proc entries, all
// read only, and writes, truncates or changes the metadata of none; makes no
// socket and connects none; traces, reads, signals or changes the limits and
// scheduling of no other process; runs no other program; makes no namespace;
// leaves neither its process group nor its session; can't make itself
// readable again. Every system call not on the list of those it makes fails
// with EPERM, so a library's attempt fails cleanly. What the kernel lacks is
// said once on stderr, and the rest still applies. False, and nothing done
// but hiding its memory, when the process runs more than one thread: the
// filter would not reach threads started before, nor their locks a child.
bool confine();

// For a process made by a confined one that leads a group of its own (a
// copy of the worker): its signals reach its own process group alone, no
// longer the group of the process it was made from.
void keepSignalsInOwnGroup();

// For a process that answers requests and forks nothing (a request's
// child): from now on it makes no process, a child of the app's least of all
// (one the app's death would not end); threads only.
void forkNothing();

// Caps the address space of this process at `addressBytes` and its CPU time
// at `cpuSeconds` in all, hard limits equal to the soft ones, so that nothing
// it runs can lift them again. A cap can only come down: false, and nothing
// changed, when either would have to rise above its hard limit (the caller
// then asks a fresh process). 0 leaves a limit as it is.
bool capHard(std::int64_t addressBytes, std::int64_t cpuSeconds);

// What of the confinement this system's kernel lacks, as a sentence for the
// app's log (workers write nowhere); empty when it lacks nothing.
std::string missingLayers();

// The Landlock version confinement uses: the kernel's, or less when the test
// switch FOLMIRA_TEST_LANDLOCK_ABI asks for an older kernel's. 0 for none.
int landlockVersion();

} // namespace Platform::WorkerConfine
