// The content-stream counter on its own: every byte of a hostile page or form
// goes through it before Poppler sees the page. The input is lexed as two
// streams of one page, split where its first byte says, since operands carry
// over from one stream to the next.

#include "Platform/PdfContentLexer.h"
#include "fuzz/FuzzInput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = FuzzInput::text(data, size);
    const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    Platform::PdfContent::Lexed lexed;
    Platform::PdfContent::Lexer lexer(lexed);
    lexer.lex(text.substr(0, split));
    lexer.lex(text.substr(split));
    // Every draw names a form the stream named; the bytes are all counted
    // (inline images add what they claim).
    if (lexed.kinds.size() != lexed.names.size()) std::abort();
    for (std::uint32_t index : lexed.draws)
        if (index >= lexed.names.size()) std::abort();
    if (lexed.own.bytes < size || lexed.own.tokens > size) std::abort();
    if (lexed.own.drawingTokens > lexed.own.tokens) std::abort();

    // The content without its drawing draws no path and shows what the whole showed.
    Platform::PdfContent::Lexed whole, kept;
    Platform::PdfContent::Lexer(whole).lex(text);
    Platform::PdfContent::Lexer(kept).lex(Platform::PdfContent::withoutDrawing(text));
    if (kept.own.drawingTokens != 0 || kept.own.textOperators != whole.own.textOperators ||
        kept.own.shownBytes != whole.own.shownBytes || kept.own.tokens + whole.own.drawingTokens != whole.own.tokens)
        std::abort();
    return 0;
}
