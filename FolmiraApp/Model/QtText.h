#pragma once

// Between the engine's UTF-8 strings and Qt's.

#include <QString>

#include <filesystem>

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

// A path as Qt shows and opens it.
inline QString qpath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace FolmiraApp
