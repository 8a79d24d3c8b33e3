// The text original as the pane shows it and hands it to a screen reader:
// whatever the file holds, what was read, whole.

#include "FolmiraApp/Model/StyledText.h"
#include "FolmiraApp/Views/TextPane.h"
#include "FolmiraKit/Readers/PlainText.h"

#include <QAccessible>
#include <QAccessibleTextInterface>

#include <gtest/gtest.h>

#include <random>

namespace FolmiraAppTest {
namespace {

using Bytes = std::vector<std::uint8_t>;

QStringList* caught = nullptr;

void catchWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    // The offscreen platform's own notes are not the pane's.
    const bool platform = message.contains(QStringLiteral("propagateSizeHints")) ||
                          message.contains(QStringLiteral("XDG_RUNTIME_DIR"));
    if (caught && type != QtDebugMsg && type != QtInfoMsg && !platform) *caught << message;
}

Bytes noise(std::size_t size)
{
    std::mt19937 random(56); // the same bytes every run
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(TextPaneTest, WhatWasReadIsShownWholeAndReadOutWhole)
{
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::string nul = "abc";
    nul += '\0';
    nul += "def, and many more words after the stop to make a long line of it";
    const Case cases[] = {
        {"a binary file", noise(4000)},
        {"a short binary file", noise(40)},
        {"text with a NUL in it", Bytes(nul.begin(), nul.end())},
    };
    for (const Case& c : cases) {
        QStringList warnings;
        caught = &warnings;
        const auto previous = qInstallMessageHandler(catchWarnings);

        const auto original = FolmiraApp::decodedOriginal(c.bytes);
        // The text the copy was made from, a NUL shown as the copy shows it.
        QString read = QString::fromStdString(FolmiraKit::decodeText(c.bytes));
        read.replace(QChar(0), QChar::ReplacementCharacter);
        EXPECT_EQ(original.content, read) << c.what;
        EXPECT_FALSE(original.content.isEmpty()) << c.what;

        FolmiraApp::TextPane pane;
        pane.setText(original);
        // Laid out and drawn, as shown: shaping is where Qt has its say.
        pane.resize(600, 400);
        (void)pane.grab();
        EXPECT_EQ(pane.toPlainText().size(), read.size()) << c.what;
        auto* text = QAccessible::queryAccessibleInterface(&pane)->textInterface();
        ASSERT_NE(text, nullptr);
        const int count = text->characterCount();
        EXPECT_EQ(count, read.size()) << c.what;
        const QString spoken = text->text(0, count);
        EXPECT_EQ(spoken.size(), count) << c.what;
        EXPECT_FALSE(spoken.contains(QChar(0))) << c.what << ": the accessibility bus would end the text there";

        qInstallMessageHandler(previous);
        caught = nullptr;
        EXPECT_TRUE(warnings.isEmpty()) << c.what << ": " << warnings.join('\n').toStdString();
    }
}

int reachedOuter = 0, passingOn = 0;
QtMessageHandler beneathPassOn = nullptr;

TEST(TextPaneTest, PanesMadeAroundAPassingOnHandlerLetAWarningThroughOnce)
{
    const auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        reachedOuter += message == QStringLiteral("one warning");
    });
    FolmiraApp::TextPane first;
    // Passes every message on, as Qt's documentation shows, but stops a loop short of the stack's end.
    beneathPassOn = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (passingOn++ < 8) beneathPassOn(type, context, message);
        --passingOn;
    });
    FolmiraApp::TextPane second;
    qWarning("one warning");
    qInstallMessageHandler(previous);
    EXPECT_EQ(reachedOuter, 1);
}

} // namespace
} // namespace FolmiraAppTest
