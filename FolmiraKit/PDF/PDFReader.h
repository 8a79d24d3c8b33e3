#pragma once

// The PDF reader: a PDF with a text layer into a document of headings,
// paragraphs, lists, tables and pictures, re-flowed from where its words sit.

#include "FolmiraKit/Model/BigDocument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace FolmiraKit::PDFReader {

// Reads the bytes of a PDF. The document has the given title and source pdf.
// Throws ConversionError: damaged (not a PDF), locked (a password, or copying
// turned off), empty (no pages, or nothing left to make large) and
// noTextLayer (a scan, or fonts that don't say which letters they draw).
BigDocument read(const std::vector<std::uint8_t>& data, const std::string& title);

} // namespace FolmiraKit::PDFReader
