#pragma once

// A print server of the test's own: Debian's cupsd with a private
// configuration in a temporary folder, listening only on a socket there, with
// one queue whose device is a file. The queue's printer is a PDF printer whose
// default paper is A4, and the server's pdftopdf filter applies the job's
// options, so what arrives in the file is what a printer would be sent.

#include "tests/HangGuardQt.h"

#include <cups/cups.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace FolmiraAppTest {

class PrintServer {
public:
    static constexpr const char* queue = "folmira-test";

    // Starts the server and adds the queue; on failure `whyNot()` says why.
    PrintServer()
    {
        if (!std::filesystem::exists("/usr/sbin/cupsd")) {
            why_ = "cupsd is not installed (Debian package cups-daemon)";
            return;
        }
        if (!std::filesystem::exists("/usr/lib/cups/filter/pdftopdf")) {
            why_ = "cupsd's PDF filter is not installed (Debian package cups-filters-core-drivers)";
            return;
        }
        // cupsd runs no job as root: the filters run as lp, which must reach the folder.
        const bool root = geteuid() == 0;
        const passwd* user = root ? getpwnam("lp") : getpwuid(geteuid());
        if (!user) {
            why_ = "there is no user for cupsd to run jobs as";
            return;
        }
        if (!folder_.isValid()) {
            why_ = "no temporary folder";
            return;
        }
        chmod(folder_.path().toLocal8Bit().constData(), 0755);
        const std::filesystem::path root_ = folder_.path().toStdString();
        for (const char* sub : {"spool", "spool/tmp", "cache", "state", "log", "out"}) {
            std::filesystem::create_directories(root_ / sub);
            chmod((root_ / sub).c_str(), 0777);
        }
        socket_ = (root_ / "cups.sock").string();
        output_ = root_ / "out" / "printed.pdf";
        write(root_ / "cupsd.conf", "Listen " + socket_ + R"(
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
)");
        const std::string r = root_.string();
        write(root_ / "cups-files.conf", "FileDevice Yes\nUser " + std::string(user->pw_name) +
                                             "\nServerRoot " + r + "\nRequestRoot " + r + "/spool\nTempDir " + r +
                                             "/spool/tmp\nCacheDir " + r + "/cache\nStateDir " + r +
                                             "/state\nErrorLog " + r + "/log/error_log\nAccessLog " + r +
                                             "/log/access_log\nPageLog " + r + "/log/page_log\nPrintcap " + r +
                                             "/printcap\nSandboxing Relaxed\n");
        write(root_ / "printer.ppd", ppd);

        const std::string conf = (root_ / "cupsd.conf").string();
        const std::string files = (root_ / "cups-files.conf").string();
        const std::string log = (root_ / "log" / "stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const char* argv[] = {"cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
        const int spawned =
            posix_spawn(&pid_, "/usr/sbin/cupsd", &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = 0;
            why_ = "cupsd could not be started";
            return;
        }
        // Every libcups call of this thread (Qt's printer list, the job) goes here.
        setenv("CUPS_SERVER", socket_.c_str(), 1);
        cupsSetServer(socket_.c_str());
        if (!HangGuard::waitFor([&] { return addQueue(); }, 20000)) {
            why_ = "cupsd did not take the queue: " + std::string(cupsLastErrorString()) + " (see " + log + ")";
            return;
        }
        ready_ = true;
    }

    ~PrintServer()
    {
        unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
        if (pid_ > 0) {
            // Nothing of a throwaway server needs saving; a stop by SIGTERM takes a second.
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool ready() const { return ready_; }
    const std::string& whyNot() const { return why_; }
    // The file the queue's printer prints into.
    const std::filesystem::path& output() const { return output_; }

    // Waits for the queue's `count`th job to end; true when it completed.
    bool jobCompleted(int count, std::chrono::seconds timeout = std::chrono::seconds(60)) const
    {
        std::optional<ipp_jstate_t> state;
        (void)HangGuard::waitFor(
            [&] {
                cups_job_t* jobs = nullptr;
                const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
                state.reset();
                if (n >= count) {
                    int newest = 0;
                    for (int i = 1; i < n; ++i)
                        if (jobs[i].id > jobs[newest].id) newest = i;
                    if (jobs[newest].state >= IPP_JSTATE_CANCELED) state = jobs[newest].state;
                }
                cupsFreeJobs(n, jobs);
                return state.has_value();
            },
            static_cast<int>(std::chrono::milliseconds(timeout).count()));
        return state == IPP_JSTATE_COMPLETED;
    }

private:
    static void write(const std::filesystem::path& path, const std::string& text)
    {
        std::ofstream(path) << text;
        chmod(path.c_str(), 0644);
    }

    bool addQueue() const
    {
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
        const std::string uri = std::string("ipp://localhost/printers/") + queue;
        const std::string device = "file://" + output_.string();
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device.c_str());
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        const std::string ppdPath = folder_.filePath("printer.ppd").toStdString();
        ippDelete(cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, "/admin/", ppdPath.c_str()));
        return cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    }

    // A PDF printer with two papers, A4 its default; the filter makes the
    // copies, so they show in the file.
    static constexpr const char* ppd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "FOLMTEST.PPD"
*Manufacturer: "Test"
*Product: "(Test PDF)"
*ModelName: "Test PDF"
*ShortNickName: "Test PDF"
*NickName: "Test PDF"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*cupsManualCopies: True
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea Letter/US Letter: "0 0 612 792"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
)ppd";

    QTemporaryDir folder_;
    std::string socket_;
    std::filesystem::path output_;
    pid_t pid_ = 0;
    bool ready_ = false;
    std::string why_;
};

} // namespace FolmiraAppTest
