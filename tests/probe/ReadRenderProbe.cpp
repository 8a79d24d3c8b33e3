// Reads and renders one file the way the application does and prints what
// came of it, one line: "document <pages> <pdf bytes>" or "refused <reason>",
// then the notes, one a line; given a second path, it writes the copy there. Tests run it as a child process so that its
// peak memory is its own. It reads and renders on one thread, so that its CPU
// time does not depend on the cores it is given, unless FOLMIRA_PROBE_THREADS
// names other reading threads (0: the default); FOLMIRA_PROBE_PAGE_SECONDS
// sets a page's CPU time.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/PDF/PageSource.h"
#include "FolmiraKit/Render/Layout.h"
#include "FolmiraKit/Render/Renderer.h"
#include "tests/ChildProcesses.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Ends the workers still kept and reaps them, and the children they had
// (this process took them in when their parent ended), so that the CPU time
// spent on the document counts in this process's every time: a worker's
// child, which answers its requests, dies with it unreaped otherwise, its
// time counted only when the worker happened to end it first.
void endWorkers()
{
    for (int round = 0; round < 10; ++round) {
        const auto left = ChildProcesses::ofThisProcess();
        if (left.empty()) return;
        for (const ChildProcesses::Child& child : left) {
            kill(child.pid, SIGKILL);
            while (waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
}

bool writeCopy(const char* path, const std::vector<std::uint8_t>& pdf)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pdf.data()), static_cast<std::streamsize>(pdf.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: read-render-probe FILE [COPY.pdf]\n";
        return 2;
    }
    using namespace FolmiraKit;
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const char* threads = std::getenv("FOLMIRA_PROBE_THREADS");
    PDFReader::setReadingThreads(threads ? std::atoi(threads) : 1);
    if (const char* seconds = std::getenv("FOLMIRA_PROBE_PAGE_SECONDS")) PDFReader::setPageLimits(std::atof(seconds), 0);
    Renderer::setShapingThreads(1);
    try {
        BigDocument document = Folmira::read(argv[1], false);
        RenderResult result = Folmira::render(document, LargePrintSettings{});
        std::cout << "document " << result.pageCount << ' ' << result.pdf.size() << '\n';
        for (const auto& note : result.notes) std::cout << note.message << '\n';
        if (argc == 3 && !writeCopy(argv[2], result.pdf)) {
            std::cerr << "couldn't write the copy to " << argv[2] << '\n';
            std::cout.flush();
            endWorkers();
            return 1;
        }
    } catch (const ConversionError& refusal) {
        std::cout << "refused " << toString(refusal.reason) << '\n' << refusal.what() << '\n';
    }
    std::cout.flush();
    endWorkers();
    return 0;
}
