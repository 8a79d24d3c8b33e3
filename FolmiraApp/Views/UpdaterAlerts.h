#pragma once

// The updater's messages as message boxes over the active window.

#include "FolmiraApp/Model/Updater.h"

namespace FolmiraApp {

class UpdaterAlerts final : public UpdaterUi {
public:
    void presentAlert(const QString& title, const QString& text) override;
    bool offerUpdate(const QString& title, const QString& text) override;
};

} // namespace FolmiraApp
