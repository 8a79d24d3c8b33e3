#include "FolmiraKit/Quality/ExpectationFile.h"

#include <fstream>
#include <sstream>

namespace FolmiraKit::Gate {

ExpectationFile loadExpectation(const std::filesystem::path& json)
{
    std::ifstream in(json, std::ios::binary);
    if (!in) throw GateExpectation::DecodingError(json.string() + ": the file can’t be opened.");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw GateExpectation::DecodingError(json.string() + ": the file can’t be read.");
    try {
        GateExpectation expectation = GateExpectation::decodeJSON(text.str());
        std::filesystem::path document = json.parent_path() / expectation.file;
        return ExpectationFile{std::move(document), std::move(expectation)};
    } catch (const GateExpectation::DecodingError& error) {
        throw GateExpectation::DecodingError(json.string() + ": " + error.what());
    }
}

} // namespace FolmiraKit::Gate
