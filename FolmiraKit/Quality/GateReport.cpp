// The quality report as one Markdown table for a person to read.

#include "FolmiraKit/Quality/Gate.h"

#include "Platform/Text.h"

#include <cstdio>

namespace FolmiraKit::Gate {

namespace {

std::string mark(bool flag) { return flag ? "yes" : "**no**"; }

std::string percent(double share)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", share * 100);
    return buffer;
}

// The detail lines in one cell: a "|" would end the cell early.
std::string notes(const std::vector<std::string>& detail)
{
    std::string text;
    for (std::size_t i = 0; i < detail.size(); ++i) text += (i > 0 ? " " : "") + detail[i];
    Platform::Text::replaceAll(text, "|", "/");
    return text;
}

} // namespace

std::string markdown(const std::vector<GateResult>& results)
{
    std::string out = "| # | Document | What it is | Order | Nothing lost | Headings | Layout | Pages | Result | Notes |\n"
                      "|---|---|---|---|---|---|---|---|---|---|\n";
    for (std::size_t n = 0; n < results.size(); ++n) {
        const GateResult& r = results[n];
        out += "| " + std::to_string(n + 1);
        out += " | `" + r.file + "` | " + r.what;
        out += " | " + mark(r.order);
        out += " | " + mark(r.nothingLost) + " (" + percent(r.coverage) + "%) | ";
        out += mark(r.headings) + " | " + mark(r.layout) + " | ";
        out += std::to_string(r.pages) + " | ";
        out += r.pass() ? "PASS" : "**FAIL**";
        out += " | " + notes(r.detail) + " |\n";
    }
    return out;
}

} // namespace FolmiraKit::Gate
