// Start to first paint: Folmira's main window, made as the program makes it,
// against a bare Qt main window of the same size, in the same run (and that
// window with one line of text, for what reading fonts alone costs). Every
// sample is a process of its own (this program for Folmira, a helper linked to
// Qt Widgets alone for the floor), with defaults in which the welcome sheet
// has been seen, under the offscreen platform unless QT_QPA_PLATFORM names
// another. For an X server, as on a desktop, with a session bus (without one
// Qt starts dbus-launch in every sample):
//   dbus-run-session -- xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb startup
// where every side also pays for connecting to the server. Two figures each:
// - "whole": from spawning to the line the process writes once its window has
//   painted, paying for loading its libraries as well;
// - "in_main": from the first line of main (QApplication not yet made) to
//   that paint, which is the work the program does itself.
// The target is an "in_main" ratio of at most 1.2 ("of_target" at most 1).
// "text_to_bare_ratio" shows how much of that any window with text spends on
// its fonts alone, and "in_main_to_text_ratio" compares Folmira with it.

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
    FolmiraApp::Application::identifyProcess();
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
    const auto size = FolmiraApp::MainWindow::defaultWindowSize;
    const std::string width = std::to_string(size.width()), height = std::to_string(size.height());
    // Folmira, the bare window, and the bare window showing one line of text,
    // which also pays for reading the system's fonts, as every window with
    // text does.
    const std::vector<std::vector<std::string>> programs{
        {self, sampleFlag}, {BARE_WINDOW_PROGRAM, width, height}, {BARE_WINDOW_PROGRAM, width, height, "text"}};
    // Once each untimed, so all find their libraries in the page cache and
    // Folmira its songbook library on disk, as on any start but the first.
    for (const auto& program : programs)
        if (startToFirstPaint(program).whole < 0) {
            state.SkipWithError("a sample ended before its first paint");
            return;
        }
    std::vector<std::vector<Sample>> samples(programs.size());
    std::size_t round = 0;
    for (auto _ : state) {
        // Taken in turn, each side first in its turn.
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const std::size_t which = (round + i) % programs.size();
            const Sample sample = startToFirstPaint(programs[which]);
            if (sample.whole < 0) {
                state.SkipWithError("a sample ended before its first paint");
                return;
            }
            samples[which].push_back(sample);
        }
        ++round;
        state.SetIterationTime(samples[0].back().whole / 1000);
    }
    const auto medianOf = [&](std::size_t which, double Sample::*figure) {
        std::vector<double> values;
        for (const Sample& sample : samples[which]) values.push_back(sample.*figure);
        return median(values);
    };
    const auto ratio = [](double ours, double floor) { return floor > 0 ? ours / floor : 0; };
    const double whole = medianOf(0, &Sample::whole), bareWhole = medianOf(1, &Sample::whole);
    const double inMain = medianOf(0, &Sample::inMain), bareInMain = medianOf(1, &Sample::inMain);
    const double textInMain = medianOf(2, &Sample::inMain);
    state.counters["folmira_whole_ms"] = whole;
    state.counters["bare_whole_ms"] = bareWhole;
    state.counters["whole_ratio"] = ratio(whole, bareWhole);
    state.counters["folmira_in_main_ms"] = inMain;
    state.counters["bare_in_main_ms"] = bareInMain;
    state.counters["in_main_ratio"] = ratio(inMain, bareInMain);
    state.counters["of_target"] = ratio(inMain, bareInMain) / 1.2;
    state.counters["text_in_main_ms"] = textInMain;
    state.counters["text_to_bare_ratio"] = ratio(textInMain, bareInMain);
    state.counters["in_main_to_text_ratio"] = ratio(inMain, textInMain);
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
