#include "FolmiraApp/Model/StyledOriginal.h"

#include "FolmiraApp/Model/QtText.h"
#include "FolmiraKit/Word/DocxReader.h"
#include "Platform/Regex.h"
#include "Platform/RichText.h"

#include <algorithm>
#include <map>

namespace FolmiraApp {

namespace {

// Text as HTML: escaped, line feeds as breaks.
QString html(std::string_view text)
{
    return qstr(text).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
}

QString styledSpan(const QString& body, bool bold, bool italic, double size, const std::string& family)
{
    QString style;
    if (!family.empty()) style += QStringLiteral("font-family:'%1';").arg(qstr(family).toHtmlEscaped());
    if (size > 0) style += QStringLiteral("font-size:%1pt;").arg(size);
    if (bold) style += QStringLiteral("font-weight:bold;");
    if (italic) style += QStringLiteral("font-style:italic;");
    return style.isEmpty() ? body : QStringLiteral("<span style=\"%1\">%2</span>").arg(style, body);
}

// An embedded picture, at its own size but no wider than the pane is likely
// to be. PNG and JPEG data only (what the importers keep).
QString pictureHtml(const std::vector<std::uint8_t>& data, double width, double height, const std::string& alt)
{
    static constexpr double widest = 480;
    const bool png = data.size() > 8 && data[0] == 0x89 && data[1] == 'P';
    const bool jpeg = data.size() > 3 && data[0] == 0xFF && data[1] == 0xD8;
    if (!png && !jpeg) return {};
    QString size;
    if (width > 0 && height > 0) {
        const double scale = std::min(1.0, widest / width);
        size = QStringLiteral(" width=\"%1\" height=\"%2\"").arg(qRound(width * scale)).arg(qRound(height * scale));
    }
    const QByteArray encoded =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()))
            .toBase64();
    return QStringLiteral("<img src=\"data:image/%1;base64,%2\" alt=\"%3\"%4>")
        .arg(png ? QStringLiteral("png") : QStringLiteral("jpeg"), QString::fromLatin1(encoded),
             qstr(alt).toHtmlEscaped(), size);
}

QString runsHtml(const FolmiraKit::Runs& runs, double size = 0)
{
    QString out;
    for (const auto& run : runs) out += styledSpan(html(run.text), run.bold, run.italic, size, {});
    return out;
}

QString indented(int level, const QString& marker, const QString& body)
{
    return QStringLiteral("<p style=\"margin-left:%1px; white-space:pre-wrap;\">%2&nbsp;%3</p>")
        .arg(24 * (level + 1))
        .arg(marker.toHtmlEscaped(), body);
}

// A table is laid out as a full grid of rows × columns, so one very wide row
// over many short ones costs the product of the two. Past this many grid cells
// (far more than a letter or a menu holds) the cells are shown one after
// another instead.
constexpr long long maxGridCells = 100'000;

QString tableHtml(const std::map<std::pair<int, int>, QString>& cells)
{
    long long rows = 0, columns = 0;
    for (const auto& [at, _] : cells) {
        rows = std::max<long long>(rows, at.first + 1LL);
        columns = std::max<long long>(columns, at.second + 1LL);
    }
    if (rows * columns > maxGridCells) {
        QString out;
        for (const auto& [_, body] : cells) out += QStringLiteral("<p>") + body + QStringLiteral("</p>");
        return out;
    }
    QString out = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">");
    for (int r = 0; r < static_cast<int>(rows); ++r) {
        out += QStringLiteral("<tr>");
        for (int c = 0; c < static_cast<int>(columns); ++c) {
            auto found = cells.find({r, c});
            out += QStringLiteral("<td>") + (found != cells.end() ? found->second : QString()) + QStringLiteral("</td>");
        }
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</table>");
}

// Paragraph lengths in bytes of UTF-8, a bound on their characters.
std::size_t runsLength(const FolmiraKit::Runs& runs)
{
    std::size_t length = 0;
    for (const auto& run : runs) length += run.text.size();
    return length;
}

std::size_t spansLength(const Platform::RichText::Paragraph& paragraph)
{
    std::size_t length = 0;
    for (const auto& span : paragraph.spans) length += span.text.size();
    return length;
}

// The importer leaves a list item's typed marker ("\t•\t", "1.\t") at the
// front of its text, and the item's marker column shows it already: its bytes.
std::size_t typedMarkerBytes(const Platform::RichText::Paragraph& paragraph)
{
    static const Platform::Regex typedMarker("^\\t?[^\\t\\n]{1,8}\\t");
    if (paragraph.textLists.empty()) return 0;
    auto match = typedMarker.firstMatch(paragraph.text());
    return match ? match->text(0).size() : 0;
}

QString rtfSpans(const Platform::RichText::Paragraph& paragraph)
{
    std::size_t skip = typedMarkerBytes(paragraph);
    QString out;
    for (const auto& span : paragraph.spans) {
        std::string_view text = span.text;
        const std::size_t skipped = std::min(skip, text.size());
        text.remove_prefix(skipped);
        skip -= skipped;
        if (text.empty()) continue;
        if (span.attachment) {
            out += pictureHtml(span.attachment->data, span.attachment->width, span.attachment->height, {});
            continue;
        }
        const auto& font = span.font;
        out += styledSpan(html(text), font && font->bold, font && font->italic, font ? font->pointSize : 0,
                          font ? font->name : std::string());
    }
    return out;
}

QString blockHtml(const FolmiraKit::Block& block)
{
    using FolmiraKit::Block;
    if (const auto* heading = block.as<Block::Heading>()) {
        const int level = std::clamp(heading->level, 1, 6);
        return QStringLiteral("<h%1>%2</h%1>").arg(level).arg(runsHtml(heading->runs));
    }
    if (const auto* paragraph = block.as<Block::Paragraph>())
        return QStringLiteral("<p>") + runsHtml(paragraph->runs) + QStringLiteral("</p>");
    if (const auto* item = block.as<Block::ListItem>())
        return indented(item->level, qstr(item->marker), runsHtml(item->runs));
    if (const auto* table = block.as<Block::Table>()) {
        std::map<std::pair<int, int>, QString> cells;
        for (std::size_t r = 0; r < table->rows.size(); ++r)
            for (std::size_t c = 0; c < table->rows[r].size(); ++c)
                cells[{static_cast<int>(r), static_cast<int>(c)}] = runsHtml(table->rows[r][c]);
        return tableHtml(cells);
    }
    if (block.as<Block::Rule>()) return QStringLiteral("<hr>");
    if (const auto* image = block.as<Block::Image>()) {
        const auto& picture = image->picture;
        return QStringLiteral("<p>") + pictureHtml(*picture.data.bytes(), picture.width, picture.height, picture.alt) +
               QStringLiteral("</p>");
    }
    return {};
}

} // namespace

std::optional<StyledText> rtfOriginal(const std::vector<std::uint8_t>& bytes)
{
    Platform::RichText::Document document;
    try {
        document = Platform::RichText::parse(bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto& paragraphs = document.paragraphs;
    for (const auto& paragraph : paragraphs)
        if (spansLength(paragraph) > maxOriginalParagraph) return std::nullopt;
    QString out;
    for (std::size_t i = 0; i < paragraphs.size();) {
        const auto& paragraph = paragraphs[i];
        if (paragraph.cell) {
            // Every paragraph of one table, each cell's paragraphs joined.
            std::map<std::pair<int, int>, QString> cells;
            const int table = paragraph.cell->table;
            for (; i < paragraphs.size() && paragraphs[i].cell && paragraphs[i].cell->table == table; ++i) {
                auto& cell = cells[{paragraphs[i].cell->startingRow, paragraphs[i].cell->startingColumn}];
                if (!cell.isEmpty()) cell += QStringLiteral("<br>");
                cell += rtfSpans(paragraphs[i]);
            }
            out += tableHtml(cells);
            continue;
        }
        if (!paragraph.textLists.empty()) {
            const auto marker = paragraph.textLists.back().marker(paragraph.itemNumber);
            out += indented(static_cast<int>(paragraph.textLists.size()) - 1, qstr(marker), rtfSpans(paragraph));
        } else {
            out += QStringLiteral("<p style=\"white-space:pre-wrap;\">") + rtfSpans(paragraph) + QStringLiteral("</p>");
        }
        ++i;
    }
    return StyledText{StyledText::Format::html, out};
}

std::optional<StyledText> docxOriginal(const std::vector<std::uint8_t>& bytes)
{
    namespace Docx = FolmiraKit::DocxReader;
    try {
        Docx::Context context;
        context.zip = bytes;
        context.entries = FolmiraKit::ZipReader::entries(context.zip);
        auto document = Docx::part("word/document.xml", context);
        if (!document) return std::nullopt;
        Docx::loadStyles(context);
        Docx::loadNumbering(context);
        Docx::loadRelationships(context);
        if (auto body = Docx::element(document->root(), "body")) Docx::walkBody(body, context);

        for (const auto& piece : context.pieces)
            if (const auto* paragraph = std::get_if<FolmiraKit::StyledParagraph>(&piece.value))
                if (runsLength(paragraph->runs) > maxOriginalParagraph) return std::nullopt;
        QString out;
        for (const auto& piece : context.pieces) {
            if (const auto* block = std::get_if<FolmiraKit::Block>(&piece.value)) {
                out += blockHtml(*block);
                continue;
            }
            const auto& paragraph = std::get<FolmiraKit::StyledParagraph>(piece.value);
            const QString body = runsHtml(paragraph.runs, paragraph.size);
            if (paragraph.headingLevel) {
                const int level = std::clamp(*paragraph.headingLevel, 1, 6);
                out += QStringLiteral("<h%1>%2</h%1>").arg(level).arg(body);
            } else if (paragraph.list) {
                out += indented(paragraph.list->level, qstr(paragraph.list->marker), body);
            } else {
                out += QStringLiteral("<p style=\"white-space:pre-wrap;\">") + body + QStringLiteral("</p>");
            }
        }
        return StyledText{StyledText::Format::html, out};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace FolmiraApp
