#pragma once

// Between the engine's UTF-8 strings and Qt's.

#include <QString>

#include <string>
#include <string_view>

namespace FolmiraApp {

inline QString qstr(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string utf8(const QString& text)
{
    return text.toStdString();
}

} // namespace FolmiraApp
