// Where the file dialogs start.

#include "../Fakes.h"

#include "FolmiraApp/Views/QtPanels.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

namespace FolmiraAppTest {
namespace {

TEST(DialogFolderTest, DocumentsElseTheFilesFolderElseHome)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("Documents");
    QDir(root.path()).mkpath("Letters");
    const QString documents = root.filePath("Documents");
    const QString missing = root.filePath("Missing");
    const std::filesystem::path letter = root.filePath("Letters/Minutes.docx").toStdString();
    const std::filesystem::path lost = root.filePath("Gone/Minutes.docx").toStdString();
    struct Case {
        QString documents;
        std::optional<std::filesystem::path> file;
        QString folder;
    };
    const Case cases[] = {
        {documents, letter, documents},
        {missing, letter, root.filePath("Letters")},
        {QString(), letter, root.filePath("Letters")},
        {missing, std::nullopt, QDir::homePath()},
        {missing, lost, QDir::homePath()},
    };
    for (const auto& c : cases) EXPECT_EQ(dialogFolder(c.documents, c.file), c.folder) << c.folder.toStdString();
}

TEST(QtPanelsTest, PrintingToAFileStartsWhereASavedCopyWould)
{
    QTemporaryDir root;
    const std::filesystem::path original = root.filePath("Minutes.docx").toStdString();
    QtPanels panels;
    panels.setCurrentFile([&] { return std::optional(original); });
    QPrinter printer;
    printer.setDocName("Minutes (large print).pdf");
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        if (auto* field = dialog->findChild<QLineEdit*>("filename")) offered = field->text();
        dialog->close();
    });
    EXPECT_FALSE(panels.confirmPrint(printer));
    const QString folder = dialogFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), original);
    EXPECT_EQ(offered, QDir(folder).filePath("Minutes (large print).pdf"));
}

} // namespace
} // namespace FolmiraAppTest
