// Printing a 100-page large-print copy to a file: ours writes the copy's own
// PDF (all pages, and pages 2 to 99 cut out with qpdf), beside the way Qt
// prints, every page drawn again through Poppler's QPainter backend, timed
// in the same run. Each case prints its time and the file's size; the
// drawn case also its time and size over ours ("times_ours", "bytes_ours").

#include "FolmiraApp/Model/Output.h"
#include "FolmiraKit/FolmiraKit.h"
#include "PdfView/Pdf.h"
#include "Platform/FileWrite.h"
#include "Platform/PrintJob.h"
#include "bench/Support/BenchText.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <string>

using namespace FolmiraKit;

namespace {

// About 100 pages at the default settings.
const Platform::Bytes& copyOf100Pages()
{
    static const Platform::Bytes pdf = [] {
        BigDocument doc;
        doc.title = "Benchmark";
        for (int chapter = 0; chapter < 70; ++chapter) {
            doc.blocks.push_back(Block::heading(1, {Run("Chapter " + std::to_string(chapter + 1))}));
            for (int p = 0; p < 3; ++p) doc.blocks.push_back(Block::paragraph({Run(BenchText::sentence(chapter + p, 70))}));
            doc.blocks.push_back(Block::heading(2, {Run("Things to bring")}));
            for (int i = 0; i < 4; ++i)
                doc.blocks.push_back(Block::listItem("•", i % 2, {Run(BenchText::sentence(chapter + i, 12))}));
        }
        return Renderer::render(doc, LargePrintSettings()).pdf;
    }();
    return pdf;
}

struct Timed {
    double seconds = 0;
    std::uintmax_t bytes = 0;
};

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

Timed ours(bool cut)
{
    const auto& pdf = copyOf100Pages();
    const std::filesystem::path target = folder().filePath("ours.pdf").toStdString();
    const auto start = std::chrono::steady_clock::now();
    if (cut) Platform::writeFileAtomically(target, Platform::PrintJob::pagesOf(pdf, {{2, 99}}));
    else Platform::writeFileAtomically(target, pdf);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            std::filesystem::file_size(target)};
}

Timed drawn()
{
    const auto& pdf = copyOf100Pages();
    const QString target = folder().filePath("drawn.pdf");
    const auto start = std::chrono::steady_clock::now();
    auto document = PdfView::pdfFromData(pdf);
    const auto plan = FolmiraApp::planPrint(PdfView::pageSize(document, 0), false);
    QPrinter printer(QPrinter::HighResolution);
    FolmiraApp::applyPlan(printer, plan, "Benchmark");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(target);
    FolmiraApp::drawPages(printer, *document, plan);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            std::filesystem::file_size(target.toStdString())};
}

void report(benchmark::State& state, const Timed& total, int runs)
{
    state.counters["pages"] = PdfView::pageCount(PdfView::pdfFromData(copyOf100Pages()));
    state.counters["ms"] = total.seconds / runs * 1000;
    state.counters["kB"] = static_cast<double>(total.bytes) / 1000;
}

void BM_PrintToFileOurs(benchmark::State& state)
{
    Timed total;
    int runs = 0;
    for (auto _ : state) {
        const auto one = ours(state.range(0) != 0);
        total.seconds += one.seconds;
        total.bytes = one.bytes;
        ++runs;
    }
    report(state, total, runs);
}

void BM_PrintToFileDrawnByQt(benchmark::State& state)
{
    Timed total, mine;
    int runs = 0;
    for (auto _ : state) {
        const auto one = drawn();
        total.seconds += one.seconds;
        total.bytes = one.bytes;
        ++runs;
    }
    report(state, total, runs);
    // Ours over the same pages, measured once more in this run.
    for (int i = 0; i < 5; ++i) {
        const auto one = ours(false);
        mine.seconds += one.seconds;
        mine.bytes = one.bytes;
    }
    state.counters["times_ours"] = (total.seconds / runs) / (mine.seconds / 5);
    state.counters["bytes_ours"] = static_cast<double>(total.bytes) / static_cast<double>(mine.bytes);
}

} // namespace

BENCHMARK(BM_PrintToFileOurs)->Arg(0)->Arg(1)->ArgName("cut")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintToFileDrawnByQt)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv)
{
    // QPrinter and Qt's fonts need the application object; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LargePrintFont::registerBundledFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
