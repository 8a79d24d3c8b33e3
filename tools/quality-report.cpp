// quality-report EXPECTATION.json…
//
// Scores each document against its expectation at the default large-print
// settings and prints the Markdown report. Each expectation's "file" is found
// beside its JSON file. Exit status: 0 when every document passes, 1 when any
// fails, 2 when an expectation file is missing or does not decode (nothing is
// scored then).

#include "FolmiraKit/Quality/ExpectationFile.h"
#include "FolmiraKit/Quality/Gate.h"

#include <iostream>

using namespace FolmiraKit;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quality-report EXPECTATION.json…\n";
        return 2;
    }
    std::vector<Gate::ExpectationFile> files;
    bool bad = false;
    for (int i = 1; i < argc; ++i) {
        try {
            files.push_back(Gate::loadExpectation(argv[i]));
        } catch (const GateExpectation::DecodingError& error) {
            std::cerr << error.what() << "\n";
            bad = true;
        }
    }
    if (bad) return 2;

    std::vector<GateResult> results;
    bool allPass = true;
    for (const auto& file : files) {
        results.push_back(Gate::score(file.document, file.expectation, LargePrintSettings{}));
        allPass = allPass && results.back().pass();
    }
    std::cout << Gate::markdown(results);
    return allPass ? 0 : 1;
}
