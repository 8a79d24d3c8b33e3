#pragma once

// The two records of the conversion quality report: what a person expects of
// one document, and how the document fared against it.

#include "FolmiraKit/Model/Enums.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

// What a person who knows a document expects the engine to make of it.
struct GateExpectation {
    std::string file;                  // the name the report shows; the caller locates the document
    std::string what;                  // a short description ("What it is")
    bool refuse = false;               // the engine must refuse it for having no text layer
    std::vector<std::string> headings; // texts that must be read as headings
    std::vector<std::string> order;    // snippets that must come out in this order, each starting a block
    std::string text;                  // the whole text; every word must come out
    std::int64_t tables = 0;           // tables reading must find
    std::int64_t images = 0;           // pictures reading must find

    bool operator==(const GateExpectation&) const = default;

    // The JSON keys, spelled as the fields, in the order they are read and written.
    enum class CodingKey { file, what, refuse, headings, order, text, tables, images };
    static constexpr std::array<CodingKey, 8> allCodingKeys{CodingKey::file,     CodingKey::what,
                                                            CodingKey::refuse,   CodingKey::headings,
                                                            CodingKey::order,    CodingKey::text,
                                                            CodingKey::tables,   CodingKey::images};

    class DecodingError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // One JSON object with all eight keys in field order.
    std::string encodeJSON() const;
    // Reads one JSON object strictly: all eight keys are required, none may be
    // null, and each must have its field's type (an integer for the counts).
    // Other keys are ignored. Throws DecodingError saying what was wrong.
    static GateExpectation decodeJSON(std::string_view json);
};

std::string_view toString(GateExpectation::CodingKey key);
template <>
std::optional<GateExpectation::CodingKey> fromString<GateExpectation::CodingKey>(std::string_view text);

// How one document fared. Made by Gate::score.
struct GateResult {
    std::string file;  // from the expectation
    std::string what;  // from the expectation
    bool order = false;       // the order snippets came in order
    bool nothingLost = false; // enough of the expected words came out
    bool headings = false;    // every expected heading was read as a heading
    bool layout = false;      // no layout problem was found
    double coverage = 0;      // share of the expected words found, 0…1
    int pages = 0;            // pages of the large-print copy
    std::vector<std::string> detail; // one finished line per problem

    // The four checks passed; coverage and pages do not count.
    bool pass() const { return order && nothingLost && headings && layout; }
};

} // namespace FolmiraKit
