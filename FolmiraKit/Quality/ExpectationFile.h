#pragma once

// Expectations kept one to a JSON file, each beside the document it describes
// (its `file` names the document within the JSON file's own folder).

#include "FolmiraKit/Quality/GateExpectation.h"

#include <filesystem>

namespace FolmiraKit::Gate {

struct ExpectationFile {
    std::filesystem::path document; // the expectation's `file`, beside the JSON file
    GateExpectation expectation;
};

// Reads and decodes one expectation file. Throws GateExpectation::DecodingError
// naming the file when it cannot be read or does not decode.
ExpectationFile loadExpectation(const std::filesystem::path& json);

} // namespace FolmiraKit::Gate
