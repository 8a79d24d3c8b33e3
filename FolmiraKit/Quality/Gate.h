#pragma once

// The conversion quality report: grades documents run through the engine
// against a person's expectations and writes the grades as a Markdown table.
// The application never calls it; tests and tools/quality-report do. Every
// operation is synchronous, keeps nothing between calls and never throws.

#include "FolmiraKit/Quality/GateExpectation.h"
#include "FolmiraKit/Render/LargePrintSettings.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit::Gate {

// The word rule under every comparison: lower-cased, both apostrophes dropped
// (so don’t and don't are the one word dont), split at everything that is not
// a letter, mark or digit; empty pieces dropped, repeats kept, in text order.
std::vector<std::string> tokens(std::string_view text);

// Reads the document at `url` as the application does, renders it with the
// settings but without page numbers, reads the copy back and grades it. Every
// problem becomes a line of the result's detail.
GateResult score(const std::filesystem::path& url, const GateExpectation& expectation,
                 const LargePrintSettings& settings);

// One Markdown table, a row per result, ending in a line break.
std::string markdown(const std::vector<GateResult>& results);

// The first index from `start` at which `needle` occurs word for word in
// `haystack`; none for an empty needle or when it cannot fit after `start`.
std::optional<std::size_t> find(const std::vector<std::string>& needle, const std::vector<std::string>& haystack,
                                std::size_t start);

} // namespace FolmiraKit::Gate
