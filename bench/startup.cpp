// Start to first paint: Folmira's main window, made as the program makes it,
// against a bare Qt main window of the same size, in the same run. Every
// sample is a process of its own (this program for Folmira, a helper linked to
// Qt Widgets alone for the floor), with defaults in which the welcome sheet
// has been seen, under the offscreen platform unless QT_QPA_PLATFORM names
// another (`xvfb-run env QT_QPA_PLATFORM=xcb startup` for an X server, where
// the floor also pays for connecting to it). Two figures per side:
// - "whole": from spawning to the line the process writes once its window has
//   painted, paying for loading its libraries as well;
// - "in_main": from the first line of main (QApplication not yet made) to
//   that paint, which is the work the program does itself.
// The target is an "in_main" ratio of at most 1.2 ("of_target" at most 1).

#include "FirstPaint.h"

#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/StartupFonts.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* sampleFlag = "--folmira-sample";

// What main.cpp does before its event loop.
int folmiraSample(int argc, char** argv, StartupSample::FirstPaint::Clock::time_point start)
{
    std::optional<QApplication> app;
    FolmiraApp::StartupFonts fonts;
    app.emplace(argc, argv);
    fonts.applicationMade();
    QCoreApplication::setOrganizationName(QStringLiteral("Folmira"));
    QCoreApplication::setApplicationName(QStringLiteral("Folmira"));
    QGuiApplication::setDesktopFileName(QStringLiteral("folmira"));
    QApplication::setQuitOnLastWindowClosed(true);
    FolmiraApp::SingleInstance instance;
    if (instance.claim({}) == FolmiraApp::SingleInstance::Role::handedOver) return 1;
    FolmiraApp::Application folmira;
    folmira.acceptHandOvers(instance);
    StartupSample::FirstPaint watch(&folmira.window(), start);
    folmira.start({});
    return QApplication::exec();
}

// A place of its own for the samples' defaults and library.
void prepareEnvironment()
{
    const auto home = std::filesystem::temp_directory_path() / ("folmira-bench-startup-" + std::to_string(getpid()));
    std::filesystem::create_directories(home / "config" / "Folmira");
    std::ofstream(home / "config" / "Folmira" / "Folmira.conf") << "[General]\nwelcomeSeen=true\n";
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // another platform when one is named
}

struct Sample {
    double whole = -1; // ms from spawning to the paint; negative when it never painted
    double inMain = -1; // ms from main to the paint, as the process measured it
};

// Runs `args` and reads the line it writes after its first paint.
Sample startToFirstPaint(const std::vector<std::string>& args)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    close(ends[1]);
    std::string line;
    char byte = 0;
    while (spawned == 0 && read(ends[0], &byte, 1) == 1 && byte != '\n') line += byte;
    const auto end = std::chrono::steady_clock::now();
    close(ends[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) waitpid(child, nullptr, 0);
    if (byte != '\n') return {};
    return {std::chrono::duration<double, std::milli>(end - start).count(), std::stod(line)};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void BM_StartToFirstPaint(benchmark::State& state)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::vector<std::string> folmira{self, sampleFlag};
    const auto size = FolmiraApp::MainWindow::defaultWindowSize;
    const std::vector<std::string> bare{BARE_WINDOW_PROGRAM, std::to_string(size.width()),
                                        std::to_string(size.height())};
    // Once each untimed, so both find their libraries in the page cache and
    // Folmira its songbook library on disk, as on any start but the first.
    if (startToFirstPaint(folmira).whole < 0 || startToFirstPaint(bare).whole < 0) {
        state.SkipWithError("a sample ended before its first paint");
        return;
    }
    std::vector<Sample> ours, floor;
    for (auto _ : state) {
        // Taken in turn, each side first every other time.
        const bool oursFirst = ours.size() % 2 == 0;
        const Sample a = startToFirstPaint(oursFirst ? folmira : bare);
        const Sample b = startToFirstPaint(oursFirst ? bare : folmira);
        if (a.whole < 0 || b.whole < 0) {
            state.SkipWithError("a sample ended before its first paint");
            return;
        }
        ours.push_back(oursFirst ? a : b);
        floor.push_back(oursFirst ? b : a);
        state.SetIterationTime(ours.back().whole / 1000);
    }
    const auto medianOf = [](const std::vector<Sample>& samples, double Sample::*figure) {
        std::vector<double> values;
        for (const Sample& sample : samples) values.push_back(sample.*figure);
        return median(values);
    };
    const double whole = medianOf(ours, &Sample::whole), bareWhole = medianOf(floor, &Sample::whole);
    const double inMain = medianOf(ours, &Sample::inMain), bareInMain = medianOf(floor, &Sample::inMain);
    state.counters["folmira_whole_ms"] = whole;
    state.counters["bare_whole_ms"] = bareWhole;
    state.counters["whole_ratio"] = bareWhole > 0 ? whole / bareWhole : 0;
    state.counters["folmira_in_main_ms"] = inMain;
    state.counters["bare_in_main_ms"] = bareInMain;
    const double ratio = bareInMain > 0 ? inMain / bareInMain : 0;
    state.counters["in_main_ratio"] = ratio;
    state.counters["of_target"] = ratio / 1.2;
}

} // namespace

BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    const auto start = StartupSample::FirstPaint::Clock::now();
    if (argc > 1 && std::string(argv[1]) == sampleFlag) return folmiraSample(argc, argv, start);
    prepareEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(std::filesystem::path(getenv("XDG_CONFIG_HOME")).parent_path());
    return 0;
}
