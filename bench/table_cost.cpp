// What a table costs beside the same cells as paragraphs: Markdown read by
// Folmira::read and rendered to PDF by Folmira::render, for a table 100,000
// rows deep, one 100,000 columns wide, and one 9,000 columns wide and 110 rows
// deep (too wide for a grid, so listed row by row). Each case runs in a child
// process of its own, so that its peak memory (from wait4) is its own. Aim: a
// table at most twice its paragraphs, in time and in memory.
//
//   table_cost            every case
//   table_cost <case>     one case: rows, columns or wide

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"
#include "bench/Support/ChildRun.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace FolmiraKit;

namespace {

struct Shape {
    const char* name;
    int rows;    // the header row included
    int columns;
    bool letters; // one-letter cells (the wide case), else short words
};

constexpr Shape shapes[] = {
    {"rows", 100'000, 3, false},
    {"columns", 3, 100'000, false},
    {"wide", 110, 9'000, true},
};

std::string cell(const Shape& shape, int row, int column)
{
    if (shape.letters) return std::string(1, static_cast<char>('a' + (row * 7 + column) % 26));
    return (row == 0 ? "head" : "c") + std::to_string(row * 3 + column);
}

// The table as Markdown, or its cells as paragraphs, one per cell.
std::string markdown(const Shape& shape, bool asTable)
{
    std::string out;
    for (int r = 0; r < shape.rows; ++r) {
        for (int c = 0; c < shape.columns; ++c) {
            if (!asTable) {
                out += cell(shape, r, c) + "\n\n";
                continue;
            }
            out += shape.letters ? "|" : "| ";
            out += cell(shape, r, c);
            if (!shape.letters) out += ' ';
        }
        if (!asTable) continue;
        out += "|\n";
        if (r == 0) {
            for (int c = 0; c < shape.columns; ++c) out += "|--";
            out += "|\n";
        }
    }
    return out;
}

// In the child: writes the Markdown, reads and renders it, prints
// "<seconds> <pages> <pdf bytes> <markdown bytes>".
int child(const Shape& shape, bool asTable)
{
    const std::string text = markdown(shape, asTable);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("table-cost-" + std::to_string(getpid()) + ".md");
    std::ofstream(file, std::ios::binary) << text;
    auto start = std::chrono::steady_clock::now();
    BigDocument doc = Folmira::read(file, false);
    RenderResult result = Folmira::render(doc, LargePrintSettings());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(file);
    std::printf("%.3f %d %zu %zu\n", seconds, result.pageCount, result.pdf.size(), text.size());
    return 0;
}

struct Measured {
    double seconds = 0;
    int pages = 0;
    double pdfBytes = 0;
    double markdownBytes = 0;
    double peakMegabytes = 0;
};

Measured measure(const char* self, const Shape& shape, bool asTable)
{
    Measured m;
    const BenchSupport::ChildRun run = BenchSupport::runChild(self, {"child", shape.name, asTable ? "table" : "paragraphs"});
    m.peakMegabytes = run.peakMegabytes;
    std::istringstream(run.output) >> m.seconds >> m.pages >> m.pdfBytes >> m.markdownBytes;
    return m;
}

double ratio(double a, double b) { return b > 0 ? a / b : 0; }

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "child") == 0) {
        for (const Shape& shape : shapes)
            if (shape.name == std::string(argv[2])) return child(shape, std::strcmp(argv[3], "table") == 0);
        return 1;
    }
    std::printf("%-8s %-11s %8s %8s %9s %9s %8s\n", "case", "form", "MD KB", "pages", "seconds", "peak MB", "PDF MB");
    for (const Shape& shape : shapes) {
        if (argc > 1 && shape.name != std::string(argv[1])) continue;
        Measured table = measure(argv[0], shape, true);
        Measured paragraphs = measure(argv[0], shape, false);
        for (const auto& [form, m] : {std::pair{"table", table}, std::pair{"paragraphs", paragraphs}})
            std::printf("%-8s %-11s %8.0f %8d %9.2f %9.1f %8.2f\n", shape.name, form, m.markdownBytes / 1024, m.pages,
                        m.seconds, m.peakMegabytes, m.pdfBytes / (1 << 20));
        std::printf("%-8s table / paragraphs: time %.2f, peak memory %.2f (aim: at most 2 each)\n\n", shape.name,
                    ratio(table.seconds, paragraphs.seconds), ratio(table.peakMegabytes, paragraphs.peakMegabytes));
    }
    return 0;
}
