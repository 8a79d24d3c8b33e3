// The model on the real engine: every sample document reads and renders, and
// a size change shows in the preview quickly.

#include "../Fakes.h"
#include "tests/HangGuard.h"
#include "tests/HangGuardQt.h"

namespace FolmiraAppTest {
namespace {

const std::filesystem::path samples = std::filesystem::path(FOLMIRA_TEST_DATA) / ".." / ".." / "Resources" / "Samples";

class RealEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        AppServices services;
        services.defaults = std::make_shared<QSettings>(folder.filePath("Folmira.conf"), QSettings::IniFormat);
        services.samplesFolder = samples;
        model = std::make_unique<AppModel>(false, services);
    }
    QTemporaryDir folder;
    std::unique_ptr<AppModel> model;
};

TEST_F(RealEngineTest, EverySampleBecomesALargePrintCopy)
{
    const auto names = model->sampleNames();
    ASSERT_GE(names.size(), 4);
    for (const auto& name : names) {
        model->openSample(name);
        ASSERT_TRUE(HangGuard::waitFor(
            [&] { return !model->reading() && !model->rendering() && !model->openingOriginalPDF(); }, 20000));
        EXPECT_TRUE(model->originalText() || model->originalPDF()) << name.toStdString();
        EXPECT_FALSE(model->error()) << name.toStdString() << ": " << model->error().value_or("").toStdString();
        ASSERT_TRUE(model->preview()) << name.toStdString();
        EXPECT_EQ(PdfView::pageCount(model->preview()), model->result()->pageCount);
    }
}

TEST_F(RealEngineTest, ABiggerSizeShowsSoon)
{
    model->openSample("Invitation.docx");
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() && !model->rendering(); }, 20000));
    const auto before = model->preview();
    const auto start = Clock::now();
    model->biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() != before; }, 5000));
    // The debounce plus one render of a small document.
    EXPECT_LT(Clock::now() - start, HangGuard::limit(std::chrono::milliseconds(250)));
}

} // namespace
} // namespace FolmiraAppTest
