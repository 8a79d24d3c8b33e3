// The expectation's JSON form and the Markdown report.

#include "FolmiraKit/Quality/Gate.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace FolmiraKit;

namespace {

GateExpectation refusal()
{
    return GateExpectation{"Scan.pdf", "A scanned page", true, {}, {}, "", 0, 0};
}

const std::string full = R"({"file":"A.txt","what":"A note","refuse":false,"headings":["Title"],)"
                         R"("order":["First","Second"],"text":"Title First Second","tables":2,"images":1})";

} // namespace

TEST(GateExpectation, EncodesAllEightKeysInOrderAndDecodesBackEqual)
{
    std::string json = refusal().encodeJSON();
    EXPECT_EQ(json, R"({"file":"Scan.pdf","what":"A scanned page","refuse":true,"headings":[],"order":[],)"
                    R"("text":"","tables":0,"images":0})");
    EXPECT_EQ(GateExpectation::decodeJSON(json), refusal());
    auto decoded = GateExpectation::decodeJSON(full);
    EXPECT_EQ(decoded.order, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(decoded.tables, 2);
    EXPECT_EQ(GateExpectation::decodeJSON(decoded.encodeJSON()), decoded);
}

TEST(GateExpectation, AnExtraKeyIsReadOverAndNotWrittenBack)
{
    auto object = nlohmann::json::parse(full);
    object["reviewer"] = "Ana";
    auto decoded = GateExpectation::decodeJSON(object.dump());
    EXPECT_FALSE(nlohmann::json::parse(decoded.encodeJSON()).contains("reviewer"));
    EXPECT_EQ(nlohmann::json::parse(decoded.encodeJSON()).size(), 8u);
}

TEST(GateExpectation, EveryKeyIsRequiredAndStrictlyTyped)
{
    for (auto key : GateExpectation::allCodingKeys) {
        std::string name(toString(key));
        auto missing = nlohmann::json::parse(full);
        missing.erase(name);
        EXPECT_THROW(GateExpectation::decodeJSON(missing.dump()), GateExpectation::DecodingError) << name;
        auto null = nlohmann::json::parse(full);
        null[name] = nullptr;
        EXPECT_THROW(GateExpectation::decodeJSON(null.dump()), GateExpectation::DecodingError) << name;
        EXPECT_EQ(fromString<GateExpectation::CodingKey>(name), key);
    }
    struct Case {
        const char* key;
        nlohmann::json value;
    };
    for (const auto& [key, value] : std::vector<Case>{{"tables", 1.5}, {"images", "1"}, {"refuse", 0},
                                                      {"headings", nlohmann::json::array({1})}, {"text", false},
                                                      {"tables", 18446744073709551615ull}}) {
        auto object = nlohmann::json::parse(full);
        object[key] = value;
        EXPECT_THROW(GateExpectation::decodeJSON(object.dump()), GateExpectation::DecodingError) << key;
    }
    auto withoutImages = nlohmann::json::parse(full);
    withoutImages.erase("images");
    try {
        GateExpectation::decodeJSON(withoutImages.dump());
        FAIL();
    } catch (const GateExpectation::DecodingError& error) {
        EXPECT_STREQ(error.what(), "Key not found: “images”.");
    }
    EXPECT_THROW(GateExpectation::decodeJSON("[1]"), GateExpectation::DecodingError);
    EXPECT_FALSE(fromString<GateExpectation::CodingKey>("reviewer"));
}

TEST(GateReport, WritesOneRowPerResultWithItsMarksAndNotes)
{
    EXPECT_EQ(Gate::markdown({}),
              "| # | Document | What it is | Order | Nothing lost | Headings | Layout | Pages | Result | Notes |\n"
              "|---|---|---|---|---|---|---|---|---|---|\n");

    GateResult good{"a|b.txt", "Plain | text", true, true, true, true, 0.996, 3, {}};
    GateResult thin = good;
    thin.file = "b.pdf";
    thin.what = "PDF";
    thin.nothingLost = false;
    thin.layout = false;
    thin.coverage = 0.987;
    thin.detail = {"Missing words (1): x", "Layout: run into the block before: “a|b”; found 0 of 1 pictures"};
    GateResult refused{"scan.pdf", "Scan", true, true, true, true, 0, 0, {"Refused: “No text.”"}};

    std::string report = Gate::markdown({good, thin, refused});
    auto rows = report.substr(report.find("|---|---|---|---|---|---|---|---|---|---|\n") + 42);
    EXPECT_EQ(rows,
              "| 1 | `a|b.txt` | Plain | text | yes | yes (99.6%) | yes | yes | 3 | PASS |  |\n"
              "| 2 | `b.pdf` | PDF | yes | **no** (98.7%) | yes | **no** | 3 | **FAIL** | Missing words (1): x "
              "Layout: run into the block before: “a/b”; found 0 of 1 pictures |\n"
              "| 3 | `scan.pdf` | Scan | yes | yes (0.0%) | yes | yes | 0 | PASS | Refused: “No text.” |\n");
}

TEST(GateResult, PassesOnTheFourChecksAlone)
{
    GateResult result{"f", "w", true, true, true, true, 0, 0, {}};
    EXPECT_TRUE(result.pass());
    for (bool GateResult::*flag : {&GateResult::order, &GateResult::nothingLost, &GateResult::headings,
                                   &GateResult::layout}) {
        GateResult failing = result;
        failing.*flag = false;
        EXPECT_FALSE(failing.pass());
    }
}
