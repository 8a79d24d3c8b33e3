#pragma once

// Code pages of RTF text: \ansicpgN for the document, \fcharsetN per font.
// Bytes written as \'hh or as 8-bit text are decoded through them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace Platform::RichText::CodePages {

// Windows' number for the Symbol font's own encoding.
inline constexpr int symbol = 42;
inline constexpr int ansi = 1252;

// The code page of a font charset; 0 when the charset defers to the document's
// code page (ANSI and "default").
int forCharset(int charset);

// Decodes bytes to UTF-8. Never fails: bytes the code page rejects, or a code
// page ICU does not know, fall back to Latin-1 so no text is lost.
std::string decode(const std::uint8_t* data, std::size_t size, int codePage);

} // namespace Platform::RichText::CodePages
