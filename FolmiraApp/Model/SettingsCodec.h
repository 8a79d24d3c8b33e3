#pragma once

// The settings as stored under the defaults key "settings": compact JSON.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/Render/Renderer.h"

#include <QByteArray>

#include <optional>

namespace FolmiraApp {

QByteArray encodeSettings(const FolmiraKit::LargePrintSettings& settings);
// None for anything that is not the settings' JSON.
std::optional<FolmiraKit::LargePrintSettings> decodeSettings(const QByteArray& data);

} // namespace FolmiraApp
