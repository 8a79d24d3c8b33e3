#pragma once

// Names the PDF worker program for a test's span ($FOLMIRA_PDF_WORKER), with
// no worker of the last program left idle to be taken instead: each idle one
// is taken and ended, and those started in their place run the new program.

#include "Platform/PdfHelper/PdfWorker.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace FolmiraAppTest {

class WorkerProgram {
public:
    explicit WorkerProgram(const std::string& path)
    {
        if (const char* now = std::getenv(name)) before_ = now;
        setenv(name, path.c_str(), 1);
        drainIdle();
    }
    ~WorkerProgram()
    {
        if (before_) setenv(name, before_->c_str(), 1);
        else unsetenv(name);
        drainIdle();
    }
    WorkerProgram(const WorkerProgram&) = delete;
    WorkerProgram& operator=(const WorkerProgram&) = delete;

private:
    static constexpr const char* name = "FOLMIRA_PDF_WORKER";

    static void drainIdle()
    {
        const std::string text = "%PDF-1.4\n";
        auto input = std::make_shared<const Platform::PdfWorkerInput>(Platform::Bytes(text.begin(), text.end()));
        // More than are ever kept idle.
        for (int i = 0; i < 8; ++i) Platform::PdfWorker(input, {}).start();
    }

    std::optional<std::string> before_;
};

} // namespace FolmiraAppTest
