#pragma once

// The PDF reader: a PDF with a text layer into a document of headings,
// paragraphs, lists, tables and pictures, re-flowed from where its words sit.

#include "FolmiraKit/Model/BigDocument.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace FolmiraKit::PDFReader {

// Reads the bytes of a PDF. The document has the given title and source pdf.
// Throws ConversionError: damaged (not a PDF), locked (a password, or copying
// turned off), empty (no pages, or nothing left to make large),
// noTextLayer (a scan, or fonts that don't say which letters they draw) and
// unsupported (no words but on pages too large to read). A page too large to
// read (past a bound of its content, or past its worker's limits of time and
// memory) is otherwise left out with a note, as a scan page is, and listed in
// the document's leftOutPages.
BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title);

// The same, with the pages read by `threads` workers (1 to 4) rather than
// min(cores, 4); the document is the same whatever their number.
BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title, int threads);

// The same for the PDF file at `path`, whose bytes go straight to the
// workers' memory file: a long document is not held in this process too.
// Throws ConversionError (damaged) when the file can't be read.
BigDocument readFile(const std::filesystem::path& path, const std::string& title);

} // namespace FolmiraKit::PDFReader
