#pragma once

// SIGTERM, SIGINT and SIGHUP (a logout, a service manager, Ctrl+C in a
// terminal, the terminal closed) end the program the way Quit does: through
// the event loop, so the windows close and the songbook library is written on
// the way out. The signal handler only writes a byte into a pipe; a socket
// notifier reads it on the main thread.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace FolmiraApp {

class QuitSignals : public QObject {
    Q_OBJECT

public:
    // Catches the three signals until destroyed (then they get their earlier
    // action again; SIGHUP stays ignored when it was, as under nohup) and
    // runs `quit` on the main thread for each delivery; QCoreApplication::exit(0)
    // when none is given, so no window can refuse.
    // One at a time per process: a second one made while the first lives
    // catches nothing.
    explicit QuitSignals(std::function<void()> quit = {}, QObject* parent = nullptr);
    ~QuitSignals() override;

    bool active() const { return notifier_ != nullptr; }

private:
    void received();

    std::function<void()> quit_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace FolmiraApp
