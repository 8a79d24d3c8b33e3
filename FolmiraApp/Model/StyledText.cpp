#include "FolmiraApp/Model/StyledText.h"

#include "Platform/Text.h"

namespace FolmiraApp {

StyledText decodedOriginal(const std::vector<std::uint8_t>& bytes)
{
    auto text = Platform::Text::decodeUtf8(bytes);
    if (!text) text = Platform::Text::decodeWindows1252(bytes);
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
