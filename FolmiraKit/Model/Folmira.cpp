#include "FolmiraKit/Model/Folmira.h"

#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/Readers/Markdown.h"
#include "FolmiraKit/Readers/PlainText.h"
#include "FolmiraKit/Readers/RichTextReader.h"
#include "FolmiraKit/Word/DocxReader.h"
#include "Platform/Text.h"

#include <fstream>
#include <stdexcept>

namespace FolmiraKit {

namespace Text = Platform::Text;
using Source = BigDocument::Source;
using Bytes = std::vector<std::uint8_t>;

std::string_view Brand::helpURL()
{
#ifdef FOLMIRA_HELP_URL
    return FOLMIRA_HELP_URL;
#else
    return "https://folmira.app/help";
#endif
}

namespace {

// One row per source: the reader that turns its bytes into a document.
BigDocument dispatch(Source source, const Bytes& data, const std::string& title,
                     const std::optional<std::filesystem::path>& folder, bool keepLineBreaks)
{
    switch (source) {
    case Source::text: return readPlainText(data, title);
    case Source::markdown: return readMarkdown(data, title, folder, keepLineBreaks);
    case Source::rtf: return readRichText(data, title, Platform::RichText::rtfDocumentType);
    case Source::word: return DocxReader::read(data, title);
    case Source::pdf: return PDFReader::read(data, title);
    }
    throw std::logic_error("a source without a reader");
}

BigDocument keepingLineBreaks(BigDocument document, const Bytes& data)
{
    if (document.source == Source::text) {
        document.blocks = plainTextBlocks(lineGroups(splitTextLines(decodeText(data))), true);
    } else if (document.source == Source::markdown) {
        for (auto& block : document.blocks)
            if (auto* paragraph = block.as<Block::Paragraph>()) paragraph->lineBreaks = true;
    }
    return document;
}

// No document a reader can use comes near this; a larger file would only fill
// memory before any reader could refuse it.
constexpr std::uintmax_t maxFileBytes = std::uintmax_t(1) << 30;

// The size of the file at `url`; none when it is not a regular file or can't
// be read. Only a regular file has an end: a FIFO would block the read and a
// device such as /dev/zero would fill memory.
std::optional<std::uintmax_t> readableSize(const std::filesystem::path& url)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(url, error)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(url, error);
    if (error) return std::nullopt;
    if (size > maxFileBytes)
        throw ConversionError(ConversionError::Reason::unsupported,
                              "“" + url.filename().string() + "” is too large to open: Folmira reads files up to 1 GB.");
    return size;
}

std::optional<Bytes> readFile(const std::filesystem::path& url)
{
    const auto size = readableSize(url);
    if (!size) return std::nullopt;
    std::ifstream in(url, std::ios::binary);
    if (!in) return std::nullopt;
    Bytes data(static_cast<std::size_t>(*size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(*size));
    if (in.bad() || static_cast<std::uintmax_t>(in.gcount()) != *size) return std::nullopt;
    return data;
}

ConversionError notOpened(const std::filesystem::path& url)
{
    return ConversionError(ConversionError::Reason::damaged, "“" + url.filename().string() + "” couldn’t be opened.");
}

} // namespace

std::optional<Source> Folmira::source(std::string_view forExtension)
{
    std::string extension = Text::lowercased(forExtension);
    if (extension == "txt" || extension == "text") return Source::text;
    if (extension == "md" || extension == "markdown") return Source::markdown;
    if (extension == "rtf") return Source::rtf;
    if (extension == "docx") return Source::word;
    if (extension == "pdf") return Source::pdf;
    return std::nullopt;
}

BigDocument Folmira::read(const std::filesystem::path& url, bool keepLineBreaks, const CancelFlag* cancel)
{
    Platform::CancelScope scope(cancel);
    std::string extension = url.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    if (source(extension) == Source::pdf) {
        // Its bytes go to the PDF workers without a stop in this process.
        if (!readableSize(url)) throw notOpened(url);
        BigDocument document = PDFReader::readFile(url, url.stem().string());
        checkCancelled();
        return document;
    }
    auto data = readFile(url);
    if (!data) throw notOpened(url);
    checkCancelled();
    return readBytes(*data, extension, url.stem().string(), url.parent_path(), keepLineBreaks, cancel);
}

BigDocument Folmira::readBytes(const Bytes& data, std::string_view fileExtension, const std::string& title,
                               const std::optional<std::filesystem::path>& folder, bool keepLineBreaks,
                               const CancelFlag* cancel)
{
    Platform::CancelScope scope(cancel);
    auto kind = source(fileExtension);
    if (!kind) {
        if (Text::lowercased(fileExtension) == "doc")
            throw ConversionError(ConversionError::Reason::unsupported,
                                  "This is an older Word file (.doc). Open it in Word or LibreOffice Writer and save it "
                                  "as .docx, then drop that in.");
        throw ConversionError(ConversionError::Reason::unsupported,
                              "Folmira reads text (.txt), Markdown (.md), RTF, Word (.docx) and PDFs with text in "
                              "them. “." + std::string(fileExtension) + "” files aren’t one of those.");
    }
    if (data.empty()) throw ConversionError(ConversionError::Reason::empty, emptyFileMessage);

    BigDocument document = dispatch(*kind, data, title, folder, keepLineBreaks);
    checkCancelled();
    if (keepLineBreaks) return keepingLineBreaks(std::move(document), data);
    return document;
}

} // namespace FolmiraKit
