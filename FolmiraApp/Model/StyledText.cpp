#include "FolmiraApp/Model/StyledText.h"

#include "Platform/Text.h"

namespace FolmiraApp {

StyledText decodedOriginal(const std::vector<std::uint8_t>& bytes)
{
    namespace Text = Platform::Text;
    // A byte-order mark is read as the text reader reads it, so a UTF-16 file
    // shows its text here as it does in the copy.
    std::optional<std::string> text;
    if (Text::startsWithBytes(bytes, {0xFF, 0xFE}) || Text::startsWithBytes(bytes, {0xFE, 0xFF}))
        text = Text::decodeUtf16(bytes);
    else if (Text::startsWithBytes(bytes, {0xEF, 0xBB, 0xBF}))
        text = Text::decodeUtf8(bytes.data() + 3, bytes.size() - 3);
    if (!text) text = Text::decodeUtf8(bytes);
    if (!text) text = Text::decodeWindows1252(bytes);
    StyledText original;
    if (text) original.content = QString::fromStdString(*text);
    return original;
}

bool paragraphsFitThePane(const QString& text)
{
    std::size_t length = 0;
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator) length = 0;
        else if (++length > maxOriginalParagraph) return false;
    }
    return true;
}

} // namespace FolmiraApp
