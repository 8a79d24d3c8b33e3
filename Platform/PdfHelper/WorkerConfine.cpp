// A worker's confinement, in layers that the kernel keeps for it and its
// children alike: no new privileges and no capabilities (nothing it runs
// gains any, and a worker of root's is an ordinary process), a Landlock
// ruleset (which files it may open: the system's shared data and the font
// caches, read only; which processes it may signal: its own), and a seccomp
// filter that lists the system calls it makes once confined, with their
// arguments where a call could reach another process, and refuses every
// other. Files, sockets and memory it held before stay its own: the document,
// its socket, the libraries it loaded.
//
// The filter does not lean on Landlock: an older kernel's Landlock has no
// truncate right (before version 3) and no signal scoping (before 6), and a
// kernel may have none; the filter alone then still keeps truncation,
// metadata, signals, limits and namespaces in.
//
// Poppler, Cairo and fontconfig open fonts, Poppler's character maps,
// iconv's modules and gdk-pixbuf's loaders lazily, while a page is read or
// drawn: fontconfig's configuration, fonts and caches are read where it
// keeps them by default (and where its variables point), beside the system's
// shared data folder (font packages link their files across it). Asking
// fontconfig itself would load it in every worker, as long again as a
// worker's start.

#include "Platform/PdfHelper/WorkerConfine.h"

#include "Platform/PdfHelper/ProcStat.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Platform::WorkerConfine {

namespace {

// The ruleset's attribute as the kernel reads it: each ABI version adds a field.
struct RulesetAttributes {
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0; // ABI 4
    std::uint64_t scoped = 0;           // ABI 6
};
constexpr std::uint64_t netBindTcp = 1, netConnectTcp = 2;
constexpr std::uint64_t scopeAbstractUnixSocket = 1, scopeSignal = 2;
constexpr std::uint64_t fsReadFile = LANDLOCK_ACCESS_FS_READ_FILE, fsReadDir = LANDLOCK_ACCESS_FS_READ_DIR;

// Every kind of file access the kernel's ABI `abi` can refuse.
std::uint64_t fileAccesses(int abi)
{
    std::uint64_t all = (std::uint64_t{1} << 13) - 1; // execute, write, read, … make a symbolic link
    if (abi >= 2) all |= std::uint64_t{1} << 13;      // refer (link or rename across folders)
    if (abi >= 3) all |= std::uint64_t{1} << 14;      // truncate
    if (abi >= 5) all |= std::uint64_t{1} << 15;      // ioctl on devices
    return all;
}

void addFolder(std::vector<std::string>& folders, const char* base, const char* below = "")
{
    if (base && *base) folders.push_back(std::string(base) + below);
}

// What a worker may read: fontconfig's folders, the system's shared data,
// its libraries' modules (iconv's, gdk-pixbuf's loaders) and /proc (its own
// statistics; other processes' entries there tell what any user may see).
std::vector<std::string> readableFolders()
{
    std::vector<std::string> folders{"/usr/share", "/usr/lib", "/usr/lib64", "/usr/local/share/fonts", "/etc/fonts",
                                     "/var/cache/fontconfig", "/proc"};
    const char* home = std::getenv("HOME");
    addFolder(folders, home, "/.fonts");
    addFolder(folders, std::getenv("XDG_DATA_HOME"), "/fonts");
    addFolder(folders, home, "/.local/share/fonts");
    addFolder(folders, std::getenv("XDG_CACHE_HOME"), "/fontconfig");
    addFolder(folders, home, "/.cache/fontconfig");
    addFolder(folders, std::getenv("XDG_CONFIG_HOME"), "/fontconfig");
    addFolder(folders, home, "/.config/fontconfig");
    addFolder(folders, std::getenv("FONTCONFIG_PATH"));
    addFolder(folders, std::getenv("FONTCONFIG_FILE"));
    return folders;
}

// Files: only the readable folders, read only. Signals and abstract sockets:
// only within this process and what it forks. TCP: none.
void restrictFiles(int abi)
{
    if (abi < 1) return;
    RulesetAttributes attributes;
    attributes.handledAccessFs = fileAccesses(abi);
    std::size_t size = sizeof attributes.handledAccessFs;
    if (abi >= 4) {
        attributes.handledAccessNet = netBindTcp | netConnectTcp;
        size += sizeof attributes.handledAccessNet;
    }
    if (abi >= 6) {
        attributes.scoped = scopeAbstractUnixSocket | scopeSignal;
        size += sizeof attributes.scoped;
    }
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0) return;
    for (const std::string& folder : readableFolders()) {
        const int fd = open(folder.c_str(), O_PATH | O_CLOEXEC);
        struct stat info{};
        if (fd < 0) continue;
        if (fstat(fd, &info) == 0) {
            landlock_path_beneath_attr rule{};
            rule.allowed_access = S_ISDIR(info.st_mode) ? fsReadFile | fsReadDir : fsReadFile;
            rule.parent_fd = fd;
            syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        }
        close(fd);
    }
    syscall(SYS_landlock_restrict_self, ruleset, 0);
    close(ruleset);
}

// No capability left, in any set: a worker started by root can then neither
// lift a hard limit nor pass by a file's permissions.
void dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    syscall(SYS_capset, &header, none);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true; // the sanitizers' runtimes trace, stop and report from the worker
#else
constexpr bool sanitized = false;
#endif

// The calls a confined worker makes (traced over the test suite and a corpus
// of real PDFs), allowed whatever their arguments: none reaches past this
// process, what it forks, and what it holds open.
constexpr int allowed[] = {
    // Memory.
    SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect), SCMP_SYS(madvise),
    // Files it may read (Landlock says which), and what it holds open.
    SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(close),
    SCMP_SYS(close_range), SCMP_SYS(dup), SCMP_SYS(dup2), SCMP_SYS(dup3), SCMP_SYS(lseek), SCMP_SYS(fstat),
    SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(newfstatat), SCMP_SYS(statx), SCMP_SYS(fstatfs), SCMP_SYS(statfs),
    SCMP_SYS(getdents64), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(access), SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2), SCMP_SYS(fadvise64), SCMP_SYS(getcwd),
    // Its sockets: the pair to the app, and a copy's.
    SCMP_SYS(sendmsg), SCMP_SYS(recvmsg), SCMP_SYS(sendto), SCMP_SYS(recvfrom), SCMP_SYS(shutdown),
    SCMP_SYS(setsockopt), SCMP_SYS(getsockopt), SCMP_SYS(poll), SCMP_SYS(ppoll),
    // Its processes: the children it forks and reaps, and their limits.
    SCMP_SYS(wait4), SCMP_SYS(waitid), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(getpid), SCMP_SYS(getppid),
    SCMP_SYS(gettid), SCMP_SYS(getpgrp), SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid),
    SCMP_SYS(getrusage), SCMP_SYS(getrlimit), SCMP_SYS(setrlimit), SCMP_SYS(setitimer), SCMP_SYS(getitimer),
    // Threads, signals to itself, time.
    SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(set_tid_address),
    SCMP_SYS(restart_syscall), SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(sigaltstack), SCMP_SYS(sched_yield), SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep),
    SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday),
    // The system's description, random bytes, and a filter narrower than this one.
    SCMP_SYS(uname), SCMP_SYS(sysinfo), SCMP_SYS(getrandom), SCMP_SYS(seccomp),
};

// The flags of clone() that this process's own forks use (glibc's fork, and
// a copy made a child of the app), and glibc's threads. No namespace, no
// sibling of the app but a copy, no pidfd, no thread that shares less.
constexpr std::uint64_t forkFlags = CLONE_CHILD_CLEARTID | CLONE_CHILD_SETTID | SIGCHLD;
constexpr std::uint64_t copyFlags = CLONE_PARENT | SIGCHLD;
constexpr std::uint64_t threadFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD |
                                      CLONE_SYSVSEM | CLONE_SETTLS | CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID;
// LeakSanitizer stops the threads of an exiting process from a task of its own.
constexpr std::uint64_t sanitizerTracerFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_UNTRACED;

// What the filter's rules are built from.
struct Filter {
    scmp_filter_ctx context;
    bool made = true;
    void allow(int call, unsigned count = 0, scmp_arg_cmp a = {}, scmp_arg_cmp b = {})
    {
        made = made && (count == 0   ? seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 0)
                        : count == 1 ? seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 1, a)
                                     : seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 2, a, b)) == 0;
    }
    void answer(int call, int error) { made = made && seccomp_rule_add(context, SCMP_ACT_ERRNO(error), call, 0) == 0; }
};

// Signals: to this process, or its process group, and no other.
void allowSignalsWithin(Filter& f, pid_t self, pid_t group)
{
    const auto pid = static_cast<std::uint32_t>(self);
    for (std::uint32_t target : {0u, pid, static_cast<std::uint32_t>(-group)})
        f.allow(SCMP_SYS(kill), 1, SCMP_A0_32(SCMP_CMP_EQ, target));
    f.allow(SCMP_SYS(tgkill), 1, SCMP_A0_32(SCMP_CMP_EQ, pid));
    f.allow(SCMP_SYS(rt_sigqueueinfo), 1, SCMP_A0_32(SCMP_CMP_EQ, pid));
    f.allow(SCMP_SYS(rt_tgsigqueueinfo), 1, SCMP_A0_32(SCMP_CMP_EQ, pid));
}

bool filterCalls()
{
    Filter f{seccomp_init(SCMP_ACT_ERRNO(EPERM))};
    if (!f.context) return false;
    // Every thread: none may be left out of the filter.
    f.made = seccomp_attr_set(f.context, SCMP_FLTATR_CTL_TSYNC, 1) == 0;
    for (int call : allowed) f.allow(call);

    // Opening reads only: nothing written, made or cut short, where Landlock is missing too.
    constexpr std::uint64_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY);
    f.allow(SCMP_SYS(openat), 1, SCMP_A2_64(SCMP_CMP_MASKED_EQ, writing, 0));
    f.allow(SCMP_SYS(open), 1, SCMP_A1_64(SCMP_CMP_MASKED_EQ, writing, 0));
    // Descriptors' flags and seals; no owner for signals (F_SETOWN would aim SIGIO at any process).
    for (int command : {F_DUPFD, F_DUPFD_CLOEXEC, F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_GET_SEALS})
        f.allow(SCMP_SYS(fcntl), 1, SCMP_A1_32(SCMP_CMP_EQ, static_cast<std::uint32_t>(command)));
    // Whether a standard stream is a terminal (it is /dev/null): nothing a terminal could be told.
    f.allow(SCMP_SYS(ioctl), 1, SCMP_A1_32(SCMP_CMP_EQ, TCGETS));
    // A copy's socket pair only: of the local kind, connected to nothing else.
    f.allow(SCMP_SYS(socketpair), 1, SCMP_A0_32(SCMP_CMP_EQ, AF_UNIX));

    allowSignalsWithin(f, getpid(), getpgrp());
    // Limits and scheduling of this process alone (0), never another's.
    f.allow(SCMP_SYS(prlimit64), 1, SCMP_A0_32(SCMP_CMP_EQ, 0));
    for (std::uint32_t own : {0u, static_cast<std::uint32_t>(getpid())})
        f.allow(SCMP_SYS(sched_getaffinity), 1, SCMP_A0_32(SCMP_CMP_EQ, own));

    for (std::uint64_t flags : {forkFlags, copyFlags, threadFlags})
        f.allow(SCMP_SYS(clone), 1, SCMP_A0_64(SCMP_CMP_EQ, flags));
    // clone3's flags lie in memory the filter can't read: glibc falls back to clone when told it is missing.
    f.answer(SCMP_SYS(clone3), ENOSYS);

    // A parent-death signal, SIGKILL only (never cleared); readability read, never set; no new privileges (a
    // narrower filter sets it again).
    f.allow(SCMP_SYS(prctl), 2, SCMP_A0_32(SCMP_CMP_EQ, PR_SET_PDEATHSIG), SCMP_A1_64(SCMP_CMP_EQ, SIGKILL));
    f.allow(SCMP_SYS(prctl), 1, SCMP_A0_32(SCMP_CMP_EQ, PR_GET_DUMPABLE));
    f.allow(SCMP_SYS(prctl), 2, SCMP_A0_32(SCMP_CMP_EQ, PR_SET_NO_NEW_PRIVS), SCMP_A1_64(SCMP_CMP_EQ, 1));

    if (sanitized) {
        f.allow(SCMP_SYS(ptrace));
        f.allow(SCMP_SYS(clone), 1, SCMP_A0_64(SCMP_CMP_EQ, sanitizerTracerFlags));
        f.allow(SCMP_SYS(prctl), 1, SCMP_A0_32(SCMP_CMP_EQ, PR_SET_PTRACER));
        f.allow(SCMP_SYS(mincore));
        f.allow(SCMP_SYS(pipe2)); // how the sanitizers tell whether memory may be read
    }
    const bool loaded = f.made && seccomp_load(f.context) == 0;
    seccomp_release(f.context);
    return loaded;
}

} // namespace

int landlockVersion()
{
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    int version = abi > 0 ? static_cast<int>(abi) : 0;
    if (const char* asked = std::getenv("FOLMIRA_TEST_LANDLOCK_ABI"); asked && *asked)
        version = std::clamp(std::atoi(asked), 0, version);
    return version;
}

std::string missingLayers()
{
    const int abi = landlockVersion();
    std::string lacks;
    if (abi < 1) lacks = "Landlock, so its seccomp filter alone keeps the PDF helper's files, truncation and signals in";
    else if (abi < 3) lacks = "Landlock's truncate right and signal scoping (Landlock " + std::to_string(abi) +
                             "), so its seccomp filter alone keeps the PDF helper's truncation and signals in";
    else if (abi < 6) lacks = "Landlock's signal scoping (Landlock " + std::to_string(abi) +
                             "), so its seccomp filter alone keeps the PDF helper's signals in";
    if (seccomp_api_get() < 1) lacks += std::string(lacks.empty() ? "" : "; and ") +
                                        "a seccomp filter, so the PDF helper may make any system call";
    return lacks.empty() ? lacks : "This system's kernel lacks " + lacks + ".";
}

void hideMemory()
{
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void leaveTerminal()
{
    const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return; // none to leave
    ioctl(terminal, TIOCNOTTY);
    close(terminal);
}

bool confine()
{
    hideMemory();
    const std::optional<ProcStat> stat = ProcStat::of(0);
    if (!sanitized && (!stat || stat->threads != 1)) return false; // ThreadSanitizer runs a thread of its own
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    // (LeakSanitizer's check at exit traces the worker, made unreadable, with root's capability to.)
    if (!sanitized) dropCapabilities();
    restrictFiles(landlockVersion());
    filterCalls();
    return true;
}

void keepSignalsInOwnGroup()
{
    Filter f{seccomp_init(SCMP_ACT_ALLOW)};
    if (!f.context) return;
    const auto refuse = SCMP_ACT_ERRNO(EPERM);
    const auto own = static_cast<std::uint32_t>(getpid());
    auto refuseUnless = [&](int call, std::uint32_t target) {
        f.made = f.made && seccomp_rule_add(f.context, refuse, call, 1, SCMP_A0_32(SCMP_CMP_NE, target)) == 0;
    };
    // kill(0) is its group, whichever it leads by then; no other target.
    refuseUnless(SCMP_SYS(kill), 0);
    refuseUnless(SCMP_SYS(tgkill), own);
    refuseUnless(SCMP_SYS(rt_sigqueueinfo), own);
    refuseUnless(SCMP_SYS(rt_tgsigqueueinfo), own);
    if (f.made) seccomp_load(f.context);
    seccomp_release(f.context);
}

void forkNothing()
{
    scmp_filter_ctx context = seccomp_init(SCMP_ACT_ALLOW);
    if (!context) return;
    if (seccomp_rule_add(context, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1,
                         SCMP_A0_64(SCMP_CMP_NE, threadFlags)) == 0)
        seccomp_load(context);
    seccomp_release(context);
}

bool capHard(std::int64_t addressBytes, std::int64_t cpuSeconds)
{
    struct Cap {
        int resource;
        std::int64_t value;
        rlimit limit{};
    } caps[] = {{RLIMIT_AS, addressBytes}, {RLIMIT_CPU, cpuSeconds}};
    for (Cap& cap : caps) {
        if (cap.value <= 0) continue;
        if (getrlimit(cap.resource, &cap.limit) != 0) return false;
        if (cap.limit.rlim_max != RLIM_INFINITY && static_cast<rlim_t>(cap.value) > cap.limit.rlim_max) return false;
    }
    for (const Cap& cap : caps) {
        if (cap.value <= 0) continue;
        const rlimit both{static_cast<rlim_t>(cap.value), static_cast<rlim_t>(cap.value)};
        if (setrlimit(cap.resource, &both) != 0) return false;
    }
    return true;
}

} // namespace Platform::WorkerConfine
