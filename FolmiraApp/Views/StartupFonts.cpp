#include "FolmiraApp/Views/StartupFonts.h"

#include "FolmiraKit/FolmiraKit.h"

#include <QFontDatabase>
#include <QStringList>

namespace FolmiraApp {

StartupFonts::StartupFonts()
{
    worker_ = std::thread([made = application_.get_future()]() mutable {
        // Nothing else in the process touches fontconfig before the window
        // asks for its first font, which waits for this configuration.
        FolmiraKit::LargePrintFont::registerBundledFonts();
        // The toolkit's font database locks itself; its first reader fills it.
        if (made.get()) QFontDatabase::families();
    });
}

StartupFonts::~StartupFonts()
{
    if (!told_) application_.set_value(false);
    worker_.join();
}

void StartupFonts::applicationMade()
{
    if (told_) return;
    told_ = true;
    application_.set_value(true);
}

} // namespace FolmiraApp
