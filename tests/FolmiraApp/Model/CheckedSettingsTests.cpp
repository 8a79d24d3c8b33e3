// A write of the defaults file that fails is said, once, and the old file
// stays; a hand-edited line costs no other key, and a file that can't be read
// is never written over.

#include "../Fakes.h"

#include "FolmiraApp/Model/CheckedSettings.h"
#include "tests/FileSizeLimit.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <QDateTime>

#include <memory>

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

// Qt keeps what it read of a file for the next QSettings of the same path:
// Qt's own reader and writer run on files of their own here, so that what
// the checked format makes of the file is what is tested.
QString scratchPath()
{
    static QTemporaryDir scratch;
    static int count = 0;
    return scratch.filePath(QString("plain-%1.ini").arg(++count));
}

// The defaults a user of some standing has, as Qt's own INI writer puts them.
std::string settledDefaults()
{
    const QString path = scratchPath();
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue("docKind", "songbook");
        ini.setValue("settings", QByteArray(R"({"facingPages":true,"fontSize":22,"highContrast":true})"));
        ini.setValue("printer", "Office Laser, 2nd floor");
        ini.setValue("settingsTab", "privacy");
        ini.setValue("welcomeSeen", true);
        ini.setValue("lastUpdateCheck", QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC));
    }
    return readFile(path.toStdString());
}

QVariantMap everyKey(const QSettings& settings)
{
    QVariantMap map;
    for (const QString& key : settings.allKeys()) map.insert(key, settings.value(key));
    return map;
}

// What Qt's own INI reader makes of the bytes.
QVariantMap qtReading(const std::string& bytes)
{
    const QString path = scratchPath();
    writeFile(path.toStdString(), bytes);
    return everyKey(QSettings(path, QSettings::IniFormat));
}

// Points TMPDIR at a plain file while it lives, so no scratch copy can be made.
class NoScratchFolder {
public:
    explicit NoScratchFolder(const QString& file) : old_(qgetenv("TMPDIR")), had_(qEnvironmentVariableIsSet("TMPDIR"))
    {
        qputenv("TMPDIR", file.toLocal8Bit());
    }
    ~NoScratchFolder()
    {
        if (had_) qputenv("TMPDIR", old_);
        else qunsetenv("TMPDIR");
    }

private:
    QByteArray old_;
    bool had_;
};

TEST(CheckedSettingsTest, AStrayLineIsSkippedAndEveryOtherKeyKeptThroughAChangeAndAQuit)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Folmira.conf");
    const std::string edited = settledDefaults() + "stray line without equals sign\n";
    writeFile(path.toStdString(), edited);
    const QVariantMap expected = qtReading(edited);
    ASSERT_EQ(expected.size(), 6);

    QStringList reports;
    {
        CheckedSettings defaults(path);
        defaults.onFailure([&](const QString& text, const QString&) { reports << text; });
        EXPECT_EQ(everyKey(defaults), expected);
        // A Bigger Text, written from the event loop as in the running program; then the quit.
        defaults.setValue("settings", QByteArray(R"({"facingPages":true,"fontSize":24,"highContrast":true})"));
        QCoreApplication::processEvents();
    }

    QVariantMap after = qtReading(readFile(path.toStdString()));
    EXPECT_EQ(after.take("settings").toByteArray(), R"({"facingPages":true,"fontSize":24,"highContrast":true})");
    QVariantMap unchanged = expected;
    unchanged.remove("settings");
    EXPECT_EQ(after, unchanged);
    EXPECT_EQ(readFile(path.toStdString()).find("stray"), std::string::npos);
    EXPECT_TRUE(reports.isEmpty()) << reports.join("\n").toStdString();
}

TEST(CheckedSettingsTest, AFileThatCanNotBeReadIsLeftAloneAndSaidOnce)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Folmira.conf");
    const std::string before = settledDefaults();
    writeFile(path.toStdString(), before);
    const QString notAFolder = folder.filePath("not-a-folder");
    writeFile(notAFolder.toStdString(), "");

    QStringList reports;
    testing::internal::CaptureStderr();
    {
        std::unique_ptr<CheckedSettings> defaults;
        {
            NoScratchFolder full(notAFolder);
            defaults = std::make_unique<CheckedSettings>(path);
        }
        // Said as soon as someone listens, before any change is made.
        defaults->onFailure([&](const QString& text, const QString& detail) { reports << text + "\n" + detail; });
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].startsWith("Your settings couldn’t be read.")) << reports[0].toStdString();
        EXPECT_TRUE(reports[0].contains(path));

        // Scratch copies work again, yet the file is not written over this session.
        defaults->setValue("docKind", "document");
        QCoreApplication::processEvents();
        defaults->setValue("welcomeSeen", false);
        EXPECT_FALSE(defaults->save());
        EXPECT_EQ(defaults->value("docKind").toString(), "document") << "the change holds for this session";
    }
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(readFile(path.toStdString()), before);
    EXPECT_NE(said.find(path.toStdString()), std::string::npos) << said;
}

} // namespace
} // namespace FolmiraAppTest
