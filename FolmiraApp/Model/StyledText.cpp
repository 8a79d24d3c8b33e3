#include "FolmiraApp/Model/StyledText.h"

#include "FolmiraKit/Readers/PlainText.h"

namespace FolmiraApp {

StyledText decodedOriginal(const std::vector<std::uint8_t>& bytes)
{
    // Decoded as the text reader decodes it, to the last fallback (UTF-8 with
    // each bad sequence replaced), so the pane shows the text the copy was
    // made from: a file that is no text at all shows its replacement
    // characters, not a blank pane.
    StyledText original;
    original.content = QString::fromStdString(FolmiraKit::decodeText(bytes));
    // A NUL has no place in text handed on as a C string (the accessibility
    // bus ends the text there); it shows as the copy shows it.
    original.content.replace(QChar(0), QChar::ReplacementCharacter);
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
