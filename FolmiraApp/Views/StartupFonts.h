#pragma once

// Font set-up beside the making of the window. Reading the system's font
// configuration (with the shipped faces) and the toolkit's list of fonts is
// the largest part of the start-up cost of any window that shows text; here it
// runs on a thread of its own from the first line of main, while the
// application object connects to the display and the window is built, which
// wait only for what is not done yet when they first need a font.
//
// Made before the QApplication, and gone before it (the thread may be reading
// the toolkit's fonts); applicationMade() once it exists. Joined when it goes,
// so a program that ends early (a second instance handing its files over)
// never leaves the thread behind.

#include <future>
#include <thread>

namespace FolmiraApp {

class StartupFonts {
public:
    StartupFonts();
    ~StartupFonts();
    StartupFonts(const StartupFonts&) = delete;
    StartupFonts& operator=(const StartupFonts&) = delete;

    // The toolkit's font list can be read from now on.
    void applicationMade();

private:
    std::promise<bool> application_;
    bool told_ = false;
    std::thread worker_;
};

} // namespace FolmiraApp
