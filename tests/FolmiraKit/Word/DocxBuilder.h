#pragma once

// Minimal .docx packages for the tests: a body of WordprocessingML and any
// other parts, deflated into an in-memory ZIP.

#include "ZipBuilder.h"

#include "FolmiraKit/Word/DocxReader.h"
#include "Platform/Images.h"

#include <string>
#include <utility>
#include <vector>

namespace DocxTest {

using Bytes = std::vector<std::uint8_t>;

inline const char* namespaces =
    R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
    R"(xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" )"
    R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
    R"(xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture" )"
    R"(xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" )"
    R"(xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape" )"
    R"(xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math" )"
    R"(xmlns:v="urn:schemas-microsoft-com:vml")";

inline std::string document(const std::string& body)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document ") + namespaces +
           "><w:body>" + body + "</w:body></w:document>";
}

inline std::string styles(const std::string& inner)
{
    return std::string("<w:styles ") + namespaces + ">" + inner + "</w:styles>";
}

inline std::string numbering(const std::string& inner)
{
    return std::string("<w:numbering ") + namespaces + ">" + inner + "</w:numbering>";
}

inline std::string relationships(const std::vector<std::pair<std::string, std::string>>& targets)
{
    std::string out = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (const auto& [id, target] : targets)
        out += "<Relationship Id=\"" + id + "\" Type=\"image\" Target=\"" + target + "\"/>";
    return out + "</Relationships>";
}

// A paragraph of plain runs.
inline std::string p(const std::string& text, const std::string& pPr = "", const std::string& rPr = "")
{
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + "<w:r>" +
           (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") + "<w:t xml:space=\"preserve\">" + text +
           "</w:t></w:r></w:p>";
}

struct Package {
    std::string body;
    std::vector<std::pair<std::string, Bytes>> parts;

    explicit Package(std::string body = "") : body(std::move(body)) {}

    Package& part(std::string path, const std::string& text)
    {
        parts.emplace_back(std::move(path), ZipTest::bytes(text));
        return *this;
    }
    Package& part(std::string path, Bytes bytes)
    {
        parts.emplace_back(std::move(path), std::move(bytes));
        return *this;
    }
    Bytes build() const
    {
        ZipTest::Archive archive;
        archive.add("word/document.xml", document(body), true);
        for (const auto& [path, bytes] : parts) {
            ZipTest::File f;
            f.name = ZipTest::bytes(path);
            f.data = bytes;
            f.deflated = true;
            archive.files.push_back(std::move(f));
        }
        return archive.build();
    }
};

// A PNG of the given pixel size.
inline Bytes png(int width, int height)
{
    Platform::Bitmap bitmap{width, height, std::vector<std::uint32_t>(std::size_t(width) * height, 0xFF336699u)};
    return *Platform::pngData(bitmap);
}

// A context over a package, with its directory listed and its parts loaded,
// as the entry prepares it before the body walk. `bytes` must outlive it.
inline std::unique_ptr<FolmiraKit::DocxReader::Context> context(const Bytes& bytes)
{
    auto c = std::make_unique<FolmiraKit::DocxReader::Context>();
    c->zip = bytes;
    c->entries = FolmiraKit::ZipReader::entries(c->zip);
    FolmiraKit::DocxReader::loadStyles(*c);
    FolmiraKit::DocxReader::loadNumbering(*c);
    FolmiraKit::DocxReader::loadRelationships(*c);
    return c;
}

// The pieces that walking `body` adds to a context over `package`.
struct Walk {
    Bytes bytes;
    std::optional<Platform::Xml::Document> doc;
    std::unique_ptr<FolmiraKit::DocxReader::Context> ctx;

    explicit Walk(const Package& package)
        : bytes(package.build())
    {
        ctx = context(bytes);
        auto main = FolmiraKit::ZipReader::read("word/document.xml", bytes);
        doc = Platform::Xml::Document::parse(*main);
        FolmiraKit::DocxReader::walkBody(doc->root().child("body"), *ctx);
    }
    const std::vector<FolmiraKit::Inference::Piece>& pieces() const { return ctx->pieces; }
    const FolmiraKit::StyledParagraph& paragraph(std::size_t i) const
    {
        return std::get<FolmiraKit::StyledParagraph>(ctx->pieces.at(i).value);
    }
    const FolmiraKit::Block& block(std::size_t i) const { return std::get<FolmiraKit::Block>(ctx->pieces.at(i).value); }
    bool isParagraph(std::size_t i) const { return std::holds_alternative<FolmiraKit::StyledParagraph>(ctx->pieces.at(i).value); }
};

} // namespace DocxTest
