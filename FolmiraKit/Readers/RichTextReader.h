#pragma once

// The RTF reader: our importer's paragraphs walked into styled paragraphs for
// inference, with tables and pictures made into blocks on the way.

#include "FolmiraKit/Model/BigDocument.h"
#include "Platform/RichText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

// Reads RTF bytes. `documentType` is Platform::RichText::rtfDocumentType or
// rtfdDocumentType; it changes only the wording of the refusal. Throws
// ConversionError: damaged for bytes that cannot be imported, empty when no
// paragraph, table or picture is left. Adds no notes.
BigDocument readRichText(const std::vector<std::uint8_t>& data, const std::string& title,
                         std::string_view documentType = Platform::RichText::rtfDocumentType);

} // namespace FolmiraKit
