// A worker's confinement, in three layers that the kernel keeps for it and
// its children alike: no new privileges (nothing it runs gains any), a
// Landlock ruleset (which files it may open: the system's shared data and the
// font caches, read only; which processes it may signal: its own), and a
// seccomp filter (which system calls it may make at all). Files, sockets
// and memory it held before stay its own: the document, its socket, the
// libraries it loaded.
//
// Poppler, Cairo and fontconfig open fonts, Poppler's character maps,
// iconv's modules and gdk-pixbuf's loaders lazily, while a page is read or
// drawn: fontconfig's configuration, fonts and caches are read where it
// keeps them by default (and where its variables point), beside the system's
// shared data folder (font packages link their files across it). Asking
// fontconfig itself would load it in every worker, as long again as a
// worker's start.

#include "Platform/PdfHelper/WorkerConfine.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

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

void say(const char* what)
{
    std::fprintf(stderr, "folmira-pdf-worker: %s; the PDF helper goes on without it.\n", what);
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
void restrictFiles()
{
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) {
        say("this system's kernel has no Landlock, so files outside the fonts stay open to it");
        return;
    }
    RulesetAttributes attributes;
    attributes.handledAccessFs = fileAccesses(static_cast<int>(abi));
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
    if (ruleset < 0) {
        say("Landlock refused its ruleset, so files outside the fonts stay open to it");
        return;
    }
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
    if (syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
        say("Landlock refused to apply, so files outside the fonts stay open to it");
    close(ruleset);
}

// The calls refused with EPERM, whatever their arguments.
constexpr int refused[] = {
    SCMP_SYS(socket),         SCMP_SYS(connect),       SCMP_SYS(bind),
    SCMP_SYS(listen),         SCMP_SYS(accept),        SCMP_SYS(accept4),
    SCMP_SYS(execve),         SCMP_SYS(execveat),      SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev), SCMP_SYS(pidfd_getfd), SCMP_SYS(setsid),
    SCMP_SYS(setpgid),        SCMP_SYS(io_uring_setup), // its requests would pass by this filter
#if !defined(__SANITIZE_ADDRESS__)
    SCMP_SYS(ptrace), // (AddressSanitizer's leak check traces this process's own threads as it exits)
#endif
};

void filterCalls()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter) {
        say("no seccomp filter could be made");
        return;
    }
    const auto no = SCMP_ACT_ERRNO(EPERM);
    bool made = true;
    for (int call : refused) made = made && seccomp_rule_add(filter, no, call, 0) == 0;
    // A copy's socket pair only: of the local kind, connected to nothing else.
    made = made && seccomp_rule_add(filter, no, SCMP_SYS(socketpair), 1, SCMP_A0_32(SCMP_CMP_NE, AF_UNIX)) == 0;
    // Readable memory stays off; a parent-death signal may be set, to SIGKILL only, never cleared.
    made = made && seccomp_rule_add(filter, no, SCMP_SYS(prctl), 1, SCMP_A0_32(SCMP_CMP_EQ, PR_SET_DUMPABLE)) == 0;
    made = made && seccomp_rule_add(filter, no, SCMP_SYS(prctl), 2, SCMP_A0_32(SCMP_CMP_EQ, PR_SET_PDEATHSIG),
                                    SCMP_A1_32(SCMP_CMP_NE, SIGKILL)) == 0;
    if (!made || seccomp_load(filter) != 0)
        say("this system's kernel has no seccomp filter, so sockets, tracing and programs stay open to it");
    seccomp_release(filter);
}

} // namespace

void hideMemory()
{
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void confine()
{
    hideMemory();
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    restrictFiles();
    filterCalls();
}

} // namespace Platform::WorkerConfine
