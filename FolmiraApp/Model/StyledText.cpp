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

} // namespace FolmiraApp
