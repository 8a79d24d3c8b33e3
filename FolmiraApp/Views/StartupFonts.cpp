#include "FolmiraApp/Views/StartupFonts.h"

#include "FolmiraKit/FolmiraKit.h"
#include "Platform/TextLayout.h"

#include <QFontDatabase>
#include <QStringList>

#include <system_error>

namespace FolmiraApp {

StartupFonts::StartupFonts()
{
    try {
        worker_ = std::thread([made = application_.get_future()]() mutable {
            // Nothing else in the process touches fontconfig before the
            // application registers the shipped faces, which waits for this
            // configuration (a function-local static) to be built.
            FolmiraKit::LargePrintFont::registerBundledFonts();
            // Whether text may be laid out on several threads, checked (and
            // a failure logged) at start rather than in the first render.
            Platform::layoutMayUseThreads();
            // The toolkit's font database locks itself; its first reader fills it.
            if (made.get()) QFontDatabase::families();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the window reads its fonts itself, as it would anyway.
    }
}

StartupFonts::~StartupFonts()
{
    if (!told_) application_.set_value(false);
    if (worker_.joinable()) worker_.join();
}

void StartupFonts::applicationMade()
{
    if (told_) return;
    told_ = true;
    application_.set_value(true);
}

} // namespace FolmiraApp
