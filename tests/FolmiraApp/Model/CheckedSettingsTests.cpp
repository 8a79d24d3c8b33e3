// A write of the defaults file that fails is said, once, and the old file
// stays; a hand-edited line costs no other key, and a file that can't be read
// is never written over.

#include "../Fakes.h"

#include "FolmiraApp/Model/CheckedSettings.h"
#include "tests/FileSizeLimit.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <QDateTime>
#include <QRect>

#include <cerrno>
#include <cstring>
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
    // The system's own reason, not a guess.
    const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
    EXPECT_TRUE(reports.value(0).contains(reason)) << reports.value(0).toStdString();
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

// Lines as hand editing leaves them: each is read as Qt's own reader reads it.
const char* const handEdited[] = {
    "stray line without equals sign\n", "=x\n", " = y\n", "a/=1\n", "//=3\n", "b\\=4\n", "[\nk=5\n",
    "[]\nk=6\n", "[%General]\nk=7\n", "[general]\nk=8\n", "[a%2Fb]\nk=9\n", "k%U00e9=10\n", "; note\nk=11\n",
    "k=\"quoted, with = and ;\"  \n", "k= a , b ,c\n", "k=\\x41\\101\\t\\q\\u00\n", "k=line\\\nnext\n",
    "k=@ByteArray(\\0\\xff)\n", "k=@Invalid()\n", "k=@@text\n", "k=@Rect(1 2 3 4)\n", "k=@Size(1)2)\n",
    "k=\"open quote\nk2=2\n", "\xEF\xBB\xBFk=12\n",
};

TEST(CheckedSettingsTest, EveryHandEditedLineReadsAsQtReadsIt)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (std::size_t i = 0; i < std::size(handEdited); ++i) {
        const char* line = handEdited[i];
        const QString path = folder.filePath(QString("edited-%1.conf").arg(i));
        const std::string edited = std::string(line).starts_with("\xEF") ? line + settledDefaults() : settledDefaults() + line;
        writeFile(path.toStdString(), edited);
        EXPECT_EQ(everyKey(CheckedSettings(path)), qtReading(edited)) << line;
    }
}

// A hand-edited key that can't be written back as read costs no other
// setting: a change is saved at the quit, and nothing is said.
TEST(CheckedSettingsTest, AnOddKeyStopsNoSaveThroughAChangeAndAQuit)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray bigger = R"({"facingPages":true,"fontSize":24,"highContrast":true})";
    for (std::size_t i = 0; i < std::size(handEdited); ++i) {
        const char* line = handEdited[i];
        const QString path = folder.filePath(QString("odd-%1.conf").arg(i));
        const std::string edited = settledDefaults() + line;
        writeFile(path.toStdString(), edited);
        QStringList reports;
        testing::internal::CaptureStderr();
        {
            CheckedSettings defaults(path);
            defaults.onFailure([&](const QString& text, const QString&) { reports << text; });
            defaults.setValue("settings", bigger);
            QCoreApplication::processEvents();
            defaults.setValue("docKind", "document");
        }
        const std::string said = testing::internal::GetCapturedStderr();
        QVariantMap expected = qtReading(settledDefaults());
        expected["settings"] = bigger;
        expected["docKind"] = "document";
        const QVariantMap after = qtReading(readFile(path.toStdString()));
        for (auto item = expected.begin(); item != expected.end(); ++item)
            EXPECT_EQ(after.value(item.key()), item.value()) << line << item.key().toStdString();
        EXPECT_TRUE(reports.isEmpty()) << line << reports.join("\n").toStdString();
        EXPECT_EQ(said, "") << line;
    }
}

// What the writer puts down reads back the same in Qt's reader, byte for
// byte as Qt's writer puts it.
TEST(CheckedSettingsTest, ValuesAreWrittenAsQtWritesThem)
{
    const QVariantMap values = {
        {"plain", "Office Laser, 2nd floor"}, {"spaces", "  both ends  "}, {"escapes", QString("tab\tquote\"back\\")},
        {"controls", "nul" + QString(QChar(0)) + "1bell\a" + QChar(1) + "9"}, {"unicode", QString::fromUtf8("Zoë – 💡")},
        {"at", "@ByteArray(not bytes)"}, {"bytes", QByteArray("\0\x01\x7f\xff{\"a\":1}", 12)}, {"yes", true},
        {"number", 22.5}, {"when", QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC)}, {"list", QStringList{"a", " b", "c,d"}},
{"rect", QRect(1, 2, 3, 4)}, {"none", QVariant()}, {"group/key", "in a section"},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Folmira.conf");
    {
        CheckedSettings defaults(path);
        for (auto item = values.begin(); item != values.end(); ++item) defaults.setValue(item.key(), item.value());
        ASSERT_TRUE(defaults.save());
    }
    const std::string written = readFile(path.toStdString());
    const QVariantMap read = qtReading(written);
    ASSERT_EQ(read.keys(), values.keys());
    // A Boolean or a number comes back as its text.
    for (auto item = values.begin(); item != values.end(); ++item) {
        const QVariant back = read.value(item.key());
        EXPECT_TRUE(back == item.value() || back.toString() == item.value().toString()) << item.key().toStdString();
    }

    const QString qtPath = scratchPath();
    {
        QSettings ini(qtPath, QSettings::IniFormat);
        for (auto item = values.begin(); item != values.end(); ++item) ini.setValue(item.key(), item.value());
    }
    EXPECT_EQ(written, readFile(qtPath.toStdString()));
}

// Reading needs no scratch file: with no room in TMPDIR a sound file is read
// whole and a change is saved.
TEST(CheckedSettingsTest, AFullTemporaryFolderCostsNoSetting)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Folmira.conf");
    const std::string before = settledDefaults();
    writeFile(path.toStdString(), before);
    const QString notAFolder = folder.filePath("not-a-folder");
    writeFile(notAFolder.toStdString(), "");

    QStringList reports;
    {
        NoScratchFolder full(notAFolder);
        CheckedSettings defaults(path);
        defaults.onFailure([&](const QString& text, const QString&) { reports << text; });
        EXPECT_EQ(everyKey(defaults), qtReading(before));
        defaults.setValue("docKind", "document");
        EXPECT_TRUE(defaults.save());
    }
    EXPECT_TRUE(reports.isEmpty()) << reports.join("\n").toStdString();
    QVariantMap expected = qtReading(before);
    expected["docKind"] = "document";
    EXPECT_EQ(qtReading(readFile(path.toStdString())), expected);
}

} // namespace
} // namespace FolmiraAppTest
