// A write of the defaults file that fails is said, once, and the old file stays.

#include "../Fakes.h"

#include "FolmiraApp/Model/CheckedSettings.h"
#include "tests/FileSizeLimit.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace FolmiraAppTest {
namespace {

TEST(CheckedSettingsTest, AFailedWriteIsReportedOnceAndTheOldFileStays)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Folmira.conf");
    CheckedSettings defaults(path);
    QStringList reports;
    defaults.onFailure([&](const QString& text, const QString& detail) { reports << text + "\n" + detail; });

    defaults.setValue("docKind", "songbook");
    ASSERT_TRUE(defaults.save());
    const std::string before = readFile(path.toStdString());
    ASSERT_NE(before.find("songbook"), std::string::npos);
    EXPECT_TRUE(reports.isEmpty());

    testing::internal::CaptureStderr();
    {
        // Room for the lock file QSettings writes beside it, not for the settings.
        FileSizeLimit limit(before.size() + 200);
        // Written from the event loop, as every change in the running program is.
        defaults.setValue("settings", QByteArray(8192, 'x'));
        QCoreApplication::processEvents();
        defaults.setValue("docKind", "document");
        EXPECT_FALSE(defaults.save());
    }
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.value(0).contains(path)) << reports.value(0).toStdString();
    EXPECT_NE(said.find(path.toStdString()), std::string::npos) << said;
    EXPECT_EQ(readFile(path.toStdString()), before);
}

} // namespace
} // namespace FolmiraAppTest
