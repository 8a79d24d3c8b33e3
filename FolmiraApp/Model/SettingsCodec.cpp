#include "FolmiraApp/Model/SettingsCodec.h"

namespace FolmiraApp {

QByteArray encodeSettings(const FolmiraKit::LargePrintSettings& settings)
{
    try {
        return QByteArray::fromStdString(settings.encodeJSON());
    } catch (const std::exception&) {
        return {}; // not stored, not reported
    }
}

std::optional<FolmiraKit::LargePrintSettings> decodeSettings(const QByteArray& data)
{
    try {
        return FolmiraKit::LargePrintSettings::decodeJSON(std::string_view(data.constData(), data.size()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace FolmiraApp
