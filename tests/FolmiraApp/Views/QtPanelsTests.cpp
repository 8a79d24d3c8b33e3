// Where the file dialogs start.

#include "../Fakes.h"
#include "../PrintServer.h"

#include "FolmiraApp/Model/Output.h"

#include "FolmiraApp/Views/QtPanels.h"
#include "FolmiraApp/Views/UpdaterAlerts.h"
#include "Lyricade/Panels/QtSongPanels.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

namespace FolmiraAppTest {
namespace {

TEST(DialogFolderTest, LastUsedElseDocumentsElseHome)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("Documents");
    QDir(root.path()).mkpath("Letters");
    const QString documents = root.filePath("Documents");
    const QString letters = root.filePath("Letters");
    const QString missing = root.filePath("Missing");
    struct Case {
        QString last, documents, folder;
    };
    const Case cases[] = {
        {letters, documents, letters},
        {missing, documents, documents},
        {QString(), documents, documents},
        {missing, missing, QDir::homePath()},
        {QString(), QString(), QDir::homePath()},
    };
    for (const auto& c : cases) EXPECT_EQ(dialogFolder(c.last, c.documents), c.folder) << c.folder.toStdString();
}

class QtPanelsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir(root.path()).mkpath("Letters");
        QDir(root.path()).mkpath("Printed");
    }
    // The panels of a new run of the program, over the same defaults file.
    std::unique_ptr<QtPanels> panels()
    {
        auto made = std::make_unique<QtPanels>();
        made->setDefaults(std::make_shared<QSettings>(root.filePath("Folmira.conf"), QSettings::IniFormat));
        return made;
    }
    // Runs `answer` on the modal dialog once it shows.
    template <typename Answer> static void whenShown(Answer answer)
    {
        QTimer::singleShot(0, [answer] {
            auto* dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            answer(dialog);
        });
    }
    QTemporaryDir root;
};

TEST_F(QtPanelsTest, EachFileDialogOpensWhereItWasLastUsedAfterARestart)
{
    const QString letters = root.filePath("Letters");
    writeFile(std::filesystem::path(letters.toStdString()) / "Minutes.txt", "x");
    whenShown([&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        files->setDirectory(letters);
        files->selectFile("Minutes.txt");
        QMetaObject::invokeMethod(files, "accept");
    });
    ASSERT_TRUE(panels()->chooseFileToOpen("Open", {"Text (*.txt)"}));

    QString openStart, saveStart;
    whenShown([&](QWidget* dialog) {
        openStart = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
        dialog->close();
    });
    EXPECT_FALSE(panels()->chooseFileToOpen("Open", {"Text (*.txt)"}));
    EXPECT_EQ(openStart, letters);
    // The save panel has a place of its own.
    whenShown([&](QWidget* dialog) {
        saveStart = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
        dialog->close();
    });
    EXPECT_FALSE(panels()->chooseFileToSave("Minutes (large print).pdf", "Save"));
    EXPECT_NE(saveStart, letters);
}

TEST_F(QtPanelsTest, TheSaveDialogShowsItsMessageWholeInside)
{
    const QString folding = "Print two-sided, flipping on the short edge, then fold the stack in half and staple on "
                            "the fold.";
    QString shown;
    bool fits = false;
    whenShown([&](QWidget* dialog) {
        if (auto* label = dialog->findChild<QLabel*>("message"); label && label->isVisible()) {
            shown = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            // Wrapped within the dialog, not cut off at its edge.
            fits = label->geometry().right() <= dialog->width() &&
                   label->height() >= label->heightForWidth(label->width());
        }
        dialog->close();
    });
    EXPECT_FALSE(panels()->chooseFileToSave("Hymns – booklet.pdf", folding));
    EXPECT_EQ(shown, folding);
    EXPECT_TRUE(fits);
}

TEST_F(QtPanelsTest, AnAlertShowsNamesAsWrittenAndStaysWithinTheScreen)
{
    // A name of 240 letters with no space, as a file system takes it.
    const QString name = "<b>" + QString(240, 'n') + "</b>.pdf";
    const QString text = QString("The document “%1” couldn’t be saved.").arg(name);
    QStringList shown;
    QRect box, screen;
    bool whole = true;
    whenShown([&](QWidget* dialog) {
        for (auto* label : dialog->findChildren<QLabel*>()) {
            shown << QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name).remove(QChar(0x200B));
            // Wrapped, not cut off at the label's edge.
            whole = whole && label->minimumSizeHint().width() <= label->width();
        }
        box = dialog->frameGeometry();
        screen = dialog->screen()->availableGeometry();
        dialog->close();
    });
    panels()->alert(text, "File name too long");
    EXPECT_TRUE(shown.contains(text)) << shown.join(" | ").toStdString();
    EXPECT_TRUE(shown.contains("File name too long"));
    EXPECT_LE(box.width(), screen.width());
    EXPECT_TRUE(whole);
}

// As Help's alert that no browser opened its page: over Help, which is in
// front with the focus again once the alert closes.
TEST_F(QtPanelsTest, AnAlertComesOverTheWindowInFrontWhichKeepsTheFocusAfterIt)
{
    QWidget main, help;
    auto* button = new QPushButton("Open the Online Help Page", &help);
    main.show();
    help.show();
    help.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&help));
    button->setFocus();
    auto made = panels();
    made->setWindow(&main);
    QWidget* over = nullptr;
    whenShown([&](QWidget* dialog) {
        over = dialog->parentWidget();
        dialog->close();
    });
    made->alert("The online help page didn’t open", "No web browser opened it.");
    EXPECT_EQ(over, &help);
    EXPECT_TRUE(HangGuard::windowActive(&help));
    EXPECT_TRUE(button->hasFocus());
}

// Help or a sheet may be closed and deleted while an alert or a dialog over it
// runs: the dialog goes with it, once, and the question counts as cancelled.
TEST_F(QtPanelsTest, ADialogWhoseWindowIsDeletedUnderItGoesWithItOnce)
{
    QPrinter printer;
    const std::pair<const char*, std::function<bool(QWidget*)>> cases[] = {
        {"alert", [&](QWidget* window) { return QtPanels(window).alert("Gone", "Its window closed."), false; }},
        {"open", [&](QWidget* window) { return QtPanels(window).chooseFileToOpen("Open", {"*"}).has_value(); }},
        {"save", [&](QWidget* window) { return QtPanels(window).chooseFileToSave("x.pdf", "Save").has_value(); }},
        {"print", [&](QWidget* window) { return QtPanels(window).confirmPrint(printer); }},
        {"songs", [](QWidget* window) { return Lyricade::QtSongPanels(window).chooseSongFiles("Add", "Add", {}).has_value(); }},
        {"update", [](QWidget*) { return UpdaterAlerts().offerUpdate("Folmira 2.0 is out", "Get it?"); }},
    };
    for (const auto& [name, ask] : cases) {
        auto* window = new QMainWindow;
        window->show();
        window->activateWindow();
        ASSERT_TRUE(HangGuard::windowActive(window)) << name;
        QPointer<QWidget> dialog;
        bool overIt = false;
        QTimer::singleShot(0, [&] {
            dialog = QApplication::activeModalWidget();
            overIt = dialog && dialog->parentWidget() == window;
            delete window;
        });
        EXPECT_FALSE(ask(window)) << name;
        EXPECT_TRUE(overIt) << name;
        EXPECT_TRUE(dialog.isNull()) << name;
    }
}

TEST_F(QtPanelsTest, PrintingToAFileStartsWhereTheLastPrintedCopyWent)
{
    for (const bool kept : {false, true}) {
        auto panels = this->panels();
        const QString printed = root.filePath("Printed");
        if (kept) QSettings(root.filePath("Folmira.conf"), QSettings::IniFormat).setValue(folderKey(FileDialog::printToFile), printed);
        QPrinter printer;
        printer.setDocName("Minutes (large print).pdf");
        QString offered;
        whenShown([&](QWidget* dialog) {
            if (auto* field = dialog->findChild<QLineEdit*>("filename")) offered = field->text();
            dialog->close();
        });
        EXPECT_FALSE(panels->confirmPrint(printer));
        const QString folder = kept ? printed : dialogFolder(QString(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        EXPECT_EQ(offered, QDir(folder).filePath("Minutes (large print).pdf"));
    }
}

TEST_F(QtPanelsTest, AcceptingASuggestedNameWritesTheFileShownInTheFolderShown)
{
    const QString letters = root.filePath("Letters");
    QSettings(root.filePath("Folmira.conf"), QSettings::IniFormat).setValue(folderKey(FileDialog::save), letters);
    const QString titles[] = {"He said \"hi\" today (large print).pdf", "Songs for \"Grace\" 2024", "../../escape",
                              "", ".hidden", "~", QString(300, u'x'), QString(150, QChar(0x00E9)), "a*b?c [d]",
                              "back\\slash", " spaced "};
    for (const QString& title : titles) {
        const QString offered = pdfFileName(title);
        QString shownName, shownFolder;
        whenShown([&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            shownFolder = files->directory().absolutePath();
            if (auto* field = files->findChild<QLineEdit*>("fileNameEdit")) shownName = field->text();
            QMetaObject::invokeMethod(files, "accept"); // Return on the suggestion
        });
        const auto chosen = panels()->chooseFileToSave(offered, "Save");
        ASSERT_TRUE(chosen) << title.toStdString();
        EXPECT_EQ(shownFolder, letters) << title.toStdString();
        EXPECT_EQ(shownName, offered) << title.toStdString();
        EXPECT_EQ(QString::fromStdString(chosen->string()), QDir(letters).filePath(offered)) << title.toStdString();
    }
}

TEST_F(QtPanelsTest, PrintingToAFileOffersAPdfFileName)
{
    const std::pair<QString, QString> cases[] = {{"Sunday Hymns", "Sunday Hymns.pdf"},
                                                 {"notes (large print).pdf", "notes (large print).pdf"},
                                                 {"../\"Camp\"", "'Camp'.pdf"}};
    for (const auto& [job, name] : cases) {
        QPrinter printer;
        printer.setDocName(job);
        QString offered;
        whenShown([&](QWidget* dialog) {
            if (auto* field = dialog->findChild<QLineEdit*>("filename")) offered = field->text();
            dialog->close();
        });
        EXPECT_FALSE(panels()->confirmPrint(printer));
        EXPECT_EQ(QFileInfo(offered).fileName(), name) << job.toStdString();
    }
}

TEST_F(QtPanelsTest, ThePrintersPropertiesOpenOnTheCopysPaper)
{
    PrintServer server;
    if (!server.ready()) GTEST_SKIP() << "no print server of the test's own: " << server.whyNot();
    QtPanels panels;
    QPrinter printer;
    printer.setPrinterName(PrintServer::queue);
    applyPlan(printer, planPrint({612, 792}, false), "Minutes (large print).pdf");
    QString paper;
    whenShown([&](QWidget* dialog) {
        auto* properties = dialog->findChild<QPushButton*>("properties");
        ASSERT_TRUE(properties);
        // The printer's own default is A4.
        QTimer::singleShot(0, [&, dialog] {
            auto* shown = QApplication::activeModalWidget();
            if (auto* sizes = shown->findChild<QComboBox*>("pageSizeCombo")) paper = sizes->currentText();
            shown->close();
            dialog->close();
        });
        properties->click();
    });
    EXPECT_FALSE(panels.confirmPrint(printer));
    EXPECT_EQ(paper, "US Letter");
}

} // namespace
} // namespace FolmiraAppTest
