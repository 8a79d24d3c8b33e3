// The real engine on a hostile document: a render replaced by a newer one
// stops at once, and quitting while it runs does not wait for it.

#include "../Fakes.h"
#include "tests/HangGuard.h"
#include "tests/HangGuardQt.h"

#include <fstream>

namespace FolmiraAppTest {
namespace {

// The real engine, noting when each render ends, whether it was cancelled,
// and how long the last one that finished took.
class TimedEngine final : public Engine {
public:
    BigDocument read(const std::filesystem::path& url, bool keep, const FolmiraKit::CancelFlag* cancel) override
    {
        return real_->read(url, keep, cancel);
    }
    RenderResult render(const BigDocument& document, const LargePrintSettings& settings,
                        const FolmiraKit::CancelFlag* cancel) override
    {
        ++started;
        const auto start = Clock::now();
        try {
            auto result = real_->render(document, settings, cancel);
            finishedIn = (Clock::now() - start).count();
            return result;
        } catch (const FolmiraKit::Cancelled&) {
            cancelledAt = Clock::now().time_since_epoch().count();
            throw;
        }
    }
    std::optional<StyledText> styledOriginal(const std::filesystem::path& url, BigDocument::Source source) override
    {
        return real_->styledOriginal(url, source);
    }

    std::atomic<int> started{0};
    std::atomic<Clock::rep> cancelledAt{0};
    std::atomic<Clock::rep> finishedIn{0};

private:
    std::shared_ptr<Engine> real_ = makeFolmiraEngine();
};

class Cancellation : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // One picture of 100 million pixels shown twenty times.
        const auto source = std::filesystem::path(FOLMIRA_TEST_DATA) / "regress" / "markdown";
        for (const char* name : {"render-2.md", "render-2.png"})
            std::filesystem::copy_file(source / name, path(name));
        AppServices services;
        services.engine = engine;
        services.defaults = std::make_shared<QSettings>(folder.filePath("Folmira.conf"), QSettings::IniFormat);
        model = std::make_unique<AppModel>(false, services);
    }
    std::filesystem::path path(const char* name) { return std::filesystem::path(folder.filePath(name).toStdString()); }

    QTemporaryDir folder;
    std::shared_ptr<TimedEngine> engine = std::make_shared<TimedEngine>();
    std::unique_ptr<AppModel> model;
};

TEST_F(Cancellation, ARenderReplacedByANewerOneStopsAtOnce)
{
    model->open(path("render-2.md"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->started == 1; }, 20000));
    QTest::qWait(100);
    auto settings = model->settings();
    settings.fontSize = 24;
    const auto changed = Clock::now();
    model->setSettings(settings);
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->cancelledAt != 0; }, 5000));
    const auto stopped = Clock::time_point(Clock::duration(engine->cancelledAt.load()));
    // The newer render is the one that shows; the older went on for a small
    // share of what the newer took whole: at most 3 % under a full load of tests.
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->result() && !model->rendering(); }, 20000));
    EXPECT_EQ(engine->started, 2);
    EXPECT_EQ(model->settings().fontSize, 24);
    const double lag = std::chrono::duration<double>(stopped - changed).count();
    const double whole = std::chrono::duration<double>(Clock::duration(engine->finishedIn.load())).count();
    EXPECT_LT(lag, HangGuard::ratio(0.03) * whole) << lag << " s to stop, " << whole << " s for the newer render";
}

TEST_F(Cancellation, QuittingDuringAHostileRenderDoesNotWaitForIt)
{
    model->open(path("render-2.md"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->started == 1; }, 20000));
    QTest::qWait(100);
    const auto start = Clock::now();
    EXPECT_TRUE(model->stopWork(static_cast<int>(HangGuard::limit(std::chrono::milliseconds(500)).count())));
    const double stopping = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_FALSE(model->hasRunningWork());
    model.reset();
    // A small share of what the render takes whole: at most 4 % under a full
    // load of tests.
    const auto real = makeFolmiraEngine();
    const BigDocument document = real->read(path("render-2.md"), false, nullptr);
    const auto whole = Clock::now();
    real->render(document, LargePrintSettings{}, nullptr);
    const double rendering = std::chrono::duration<double>(Clock::now() - whole).count();
    EXPECT_LT(stopping, HangGuard::ratio(0.04) * rendering) << stopping << " s to stop, " << rendering << " s to render";
}

} // namespace
} // namespace FolmiraAppTest
