#include "FolmiraApp/Model/QuitSignals.h"

#include <QCoreApplication>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace FolmiraApp {

namespace {

// The pipe's two ends; -1 while no QuitSignals is active.
int readEnd = -1;
int writeEnd = -1;

constexpr std::array<int, 3> caught{SIGTERM, SIGINT, SIGHUP};

extern "C" void onSignal(int signal)
{
    // Only async-signal-safe calls here; errno belongs to the code interrupted.
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

// The actions before ours, given back when the catcher goes.
std::array<struct sigaction, caught.size()> previous{};

void catchSignals()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < caught.size(); ++i) {
        sigaction(caught[i], nullptr, &previous[i]);
        // Started with nohup: a closed terminal is meant to leave it running.
        if (caught[i] == SIGHUP && previous[i].sa_handler == SIG_IGN) continue;
        sigaction(caught[i], &action, nullptr);
    }
}

void restoreSignals()
{
    for (std::size_t i = 0; i < caught.size(); ++i) sigaction(caught[i], &previous[i], nullptr);
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(quit ? std::move(quit) : [] { QCoreApplication::exit(0); })
{
    if (readEnd >= 0) return;
    std::array<int, 2> ends{};
    // Non-blocking, so a burst of signals can never block the handler.
    if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignals::received);
    catchSignals();
}

QuitSignals::~QuitSignals()
{
    if (!notifier_) return;
    restoreSignals();
    notifier_.reset();
    ::close(readEnd);
    ::close(writeEnd);
    readEnd = writeEnd = -1;
}

void QuitSignals::received()
{
    std::array<char, 64> bytes{};
    bool any = false;
    while (::read(readEnd, bytes.data(), bytes.size()) > 0) any = true;
    if (any) quit_();
}

} // namespace FolmiraApp
