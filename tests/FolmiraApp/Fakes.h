#pragma once

// Test doubles for the model's engine and dialogs, a model fixture over a
// QSettings file in a temporary folder, and PDFs made with Qt's PDF writer.

#include "FolmiraApp/Model/AppModel.h"
#include "tests/HangGuardQt.h"
#include "tests/PlainPdf.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <poppler-qt6.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>

namespace FolmiraAppTest {

using namespace FolmiraApp;
using FolmiraKit::BigDocument;
using FolmiraKit::LargePrintSettings;
using FolmiraKit::RenderResult;
using Clock = std::chrono::steady_clock;

// Holds a worker until released.
class Gate {
public:
    void wait()
    {
        std::unique_lock lock(mutex_);
        open_.wait(lock, [this] { return released_; });
    }
    // Waits until released or `cancel` is set, as the engine would stop at its
    // next page; false when cancelled.
    bool wait(const FolmiraKit::CancelFlag* cancel)
    {
        std::unique_lock lock(mutex_);
        while (!released_) {
            if (cancel && cancel->cancelled()) return false;
            open_.wait_for(lock, std::chrono::milliseconds(2));
        }
        return true;
    }
    void release()
    {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        open_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    bool released_ = false;
};

// PDF bytes with pages of the given sizes (points).
inline std::vector<std::uint8_t> makePdf(const std::vector<QSizeF>& pages)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(pages.front(), QPageSize::Point, QString(), QPageSize::ExactMatch));
        QPainter painter(&writer);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i > 0) {
                writer.setPageSize(QPageSize(pages[i], QPageSize::Point, QString(), QPageSize::ExactMatch));
                writer.newPage();
            }
            painter.drawText(QPointF(36, 72), QStringLiteral("Page %1").arg(i + 1));
        }
    }
    const QByteArray& data = buffer.data();
    return {data.begin(), data.end()};
}

// The bounding box of a page's ink, drawn at 72 dpi.
inline QRect inkBox(const Poppler::Page& page)
{
    const QImage image = page.renderToImage(72, 72).convertToFormat(QImage::Format_Grayscale8);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (line[x] < 128) box |= QRect(x, y, 1, 1);
    }
    return box;
}

inline std::vector<std::uint8_t> letterPdf(int pages)
{
    return makePdf(std::vector<QSizeF>(pages, QSizeF(612, 792)));
}

// Thousands of letter pages, "Page N" on each, written directly: Qt's writer
// takes a 16 MB buffer a page, which costs a sanitized build minutes.
inline std::vector<std::uint8_t> longLetterPdf(int pages)
{
    const std::string pdf = PlainPdf::oneLinePages(pages, [](int p) { return "Page " + std::to_string(p + 1); });
    return {pdf.begin(), pdf.end()};
}

// An engine whose documents say which file and flag they were read with, whose
// renders report the type size as their page count, and whose reads and
// renders can be held back.
class FakeEngine final : public Engine {
public:
    FakeEngine() : pdf_(letterPdf(1)) {}

    std::vector<int> leftOutPages; // of every document read from now on; set while no read runs

    BigDocument read(const std::filesystem::path& url, bool keepLineBreaks,
                     const FolmiraKit::CancelFlag* cancel) override
    {
        std::shared_ptr<Gate> gate;
        {
            std::lock_guard lock(mutex_);
            readCalls.emplace_back(url, keepLineBreaks);
            auto found = readGates_.find({url.filename().string(), keepLineBreaks});
            if (found != readGates_.end()) gate = found->second;
        }
        if (gate && !gate->wait(cancel)) {
            ++readsCancelled;
            throw FolmiraKit::Cancelled();
        }
        ++readsDone;
        if (url.extension() == ".doc")
            throw FolmiraKit::ConversionError(FolmiraKit::ConversionError::Reason::unsupported,
                                              "Old Word files (.doc) can’t be read.");
        if (url.filename().string().starts_with("Crash")) throw std::runtime_error("The disk went away.");
        // As the engine says it of a file that is gone.
        if (!std::filesystem::exists(url))
            throw FolmiraKit::ConversionError(FolmiraKit::ConversionError::Reason::damaged,
                                              "“" + url.filename().string() + "” couldn’t be opened.");
        BigDocument document;
        document.title = url.filename().string() + (keepLineBreaks ? " kept" : " joined");
        document.blocks.push_back(FolmiraKit::Block::paragraph({FolmiraKit::Run(document.title)}));
        document.notes.emplace_back(FolmiraKit::ConversionNote::Kind::info, "Read by the fake.");
        {
            std::lock_guard lock(mutex_);
            document.leftOutPages = leftOutPages;
        }
        return document;
    }

    RenderResult render(const BigDocument& document, const LargePrintSettings& settings,
                        const FolmiraKit::CancelFlag* cancel) override
    {
        std::shared_ptr<Gate> gate;
        {
            std::lock_guard lock(mutex_);
            renderTimes.push_back(Clock::now());
            gate = renderGate_;
        }
        ++rendersRunning;
        maxRendersRunning = std::max(maxRendersRunning.load(), rendersRunning.load());
        bool released = !gate || gate->wait(cancel);
        --rendersRunning;
        if (!released) {
            ++rendersCancelled;
            throw FolmiraKit::Cancelled();
        }
        RenderResult result;
        {
            std::lock_guard lock(mutex_);
            result.pdf = notPdf ? std::vector<std::uint8_t>{'n', 'o', 'p', 'e'} : pdf_;
        }
        result.pageCount = static_cast<int>(settings.fontSize);
        result.notes = document.notes;
        if (noPdf) {
            result.pdf.clear();
            result.notes.emplace_back(FolmiraKit::ConversionNote::Kind::warning, "The PDF could not be written.");
        }
        ++rendersDone;
        return result;
    }

    std::optional<StyledText> styledOriginal(const std::filesystem::path& url, BigDocument::Source) override
    {
        return StyledText{StyledText::Format::html, QStringLiteral("<p>%1</p>").arg(QString::fromStdString(url.filename().string()))};
    }

    std::shared_ptr<Gate> holdRead(const std::string& fileName, bool keepLineBreaks)
    {
        std::lock_guard lock(mutex_);
        auto gate = std::make_shared<Gate>();
        readGates_[{fileName, keepLineBreaks}] = gate;
        gates_.push_back(gate);
        return gate;
    }

    std::shared_ptr<Gate> holdRenders()
    {
        std::lock_guard lock(mutex_);
        renderGate_ = std::make_shared<Gate>();
        gates_.push_back(renderGate_);
        return renderGate_;
    }

    void releaseAll()
    {
        std::lock_guard lock(mutex_);
        for (auto& gate : gates_) gate->release();
        readGates_.clear();
        renderGate_.reset();
    }

    // The PDF every later render gives.
    void setPdf(std::vector<std::uint8_t> pdf)
    {
        std::lock_guard lock(mutex_);
        pdf_ = std::move(pdf);
    }

    int reads() { std::lock_guard lock(mutex_); return static_cast<int>(readCalls.size()); }
    int renders() { std::lock_guard lock(mutex_); return static_cast<int>(renderTimes.size()); }

    std::vector<std::pair<std::filesystem::path, bool>> readCalls;
    std::vector<Clock::time_point> renderTimes;
    std::atomic<int> readsDone{0};
    std::atomic<int> rendersDone{0};
    std::atomic<int> readsCancelled{0};
    std::atomic<int> rendersCancelled{0};
    std::atomic<int> rendersRunning{0};
    std::atomic<int> maxRendersRunning{0};
    std::atomic<bool> notPdf{false};
    std::atomic<bool> noPdf{false}; // renders end with no PDF and a warning saying so

private:
    std::mutex mutex_;
    std::vector<std::uint8_t> pdf_;
    std::map<std::pair<std::string, bool>, std::shared_ptr<Gate>> readGates_;
    std::shared_ptr<Gate> renderGate_;
    std::vector<std::shared_ptr<Gate>> gates_;
};

// Dialogs that answer as told and remember what they were asked.
class FakePanels final : public Panels {
public:
    std::optional<std::filesystem::path> chooseFileToOpen(const QString& message, const QStringList&) override
    {
        openMessages << message;
        return openAnswer;
    }
    std::optional<std::filesystem::path> chooseFileToOpenIn(const QString& message, const QStringList& filters,
                                                            const std::filesystem::path& folder) override
    {
        openFolders.push_back(folder);
        openFilters << filters;
        return chooseFileToOpen(message, filters);
    }
    std::optional<std::filesystem::path> chooseFileToSave(const QString& name, const QString& message) override
    {
        saveNames << name;
        saveMessages << message;
        if (whileSaving) whileSaving(); // what happens while the panel's event loop runs
        return saveAnswer;
    }
    void alert(const QString& text, const QString& detail) override { alerts << text + " | " + detail; }
    void inform(const QString& text, const QString& detail) override
    {
        if (whenInformed) whenInformed();
        informs << text + " | " + detail;
    }
    bool confirmPrint(QPrinter& printer) override
    {
        printedLayout = printer.pageLayout();
        printedDuplex = printer.duplex();
        printedTitle = printer.docName();
        printedCopies = printer.copyCount();
        printedColor = printer.colorMode();
        printedCollate = printer.collateCopies();
        printedPrinter = printer.printerName();
        ++printPanels;
        if (choose) choose(printer);
        if (printOnPrinter) return true;
        if (!printTo) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printTo->string()));
        return true;
    }

    std::optional<std::filesystem::path> openAnswer;
    std::optional<std::filesystem::path> saveAnswer;
    std::optional<std::filesystem::path> printTo;
    QStringList openMessages, saveNames, saveMessages, alerts, informs, openFilters;
    std::vector<std::filesystem::path> openFolders;
    std::function<void()> whenInformed;
    std::function<void()> whileSaving;
    QPageLayout printedLayout;
    QPrinter::DuplexMode printedDuplex = QPrinter::DuplexNone;
    QString printedTitle;
    int printedCopies = 0;
    QPrinter::ColorMode printedColor = QPrinter::Color;
    bool printedCollate = false;
    QString printedPrinter;
    int printPanels = 0;
    // Print on the printer the panel holds rather than to `printTo`.
    bool printOnPrinter = false;
    // What the user does in the print panel before answering.
    std::function<void(QPrinter&)> choose;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The songbook side's open panel: remembers that it was asked, chooses nothing.
class FakeSongPanels final : public Lyricade::SongPanels {
public:
    std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message, const QString&,
                                                                      const QStringList&) override
    {
        asked << message;
        return std::nullopt;
    }
    QStringList asked;
};

// A model over fakes, with its defaults in a file of a temporary folder.
class ModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        defaults = std::make_shared<QSettings>(folder.filePath("Folmira.conf"), QSettings::IniFormat);
    }

    void TearDown() override
    {
        engine->releaseAll();
        model.reset();
    }

    // The fakes, defaults and folders of this test.
    AppServices services()
    {
        AppServices services;
        services.engine = engine;
        services.panels = panels;
        services.defaults = defaults;
        services.samplesFolder = path("Samples");
        // The songbook side keeps its library in this folder, never the user's.
        services.songServices.dataFolder = path("data");
        services.songServices.panels = songPanels;
        return services;
    }

    AppModel& make(bool persist = true)
    {
        model = std::make_unique<AppModel>(persist, services());
        return *model;
    }

    std::filesystem::path path(const QString& name) const { return folder.filePath(name).toStdString(); }

    // A file in the temporary folder.
    std::filesystem::path file(const QString& name, std::string_view bytes = "Hello")
    {
        const auto where = path(name);
        writeFile(where, bytes);
        return where;
    }

    // Opens a file and waits until its first render is applied.
    void openAndSettle(const std::filesystem::path& url)
    {
        model->open(url);
        ASSERT_TRUE(HangGuard::waitFor([&] {
            return model->preview() && !model->reading() && !model->rendering() && !model->openingOriginalPDF();
        }));
    }

    QTemporaryDir folder;
    std::shared_ptr<QSettings> defaults;
    std::shared_ptr<FakeEngine> engine = std::make_shared<FakeEngine>();
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<FakeSongPanels> songPanels = std::make_shared<FakeSongPanels>();
    std::unique_ptr<AppModel> model;
};

} // namespace FolmiraAppTest
