#include "Lyricade/Panels/DialogTexts.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <vector>

namespace Lyricade {

QString breakable(const QString& text, int longest)
{
    // Qt wraps a label only where a line may break; a long file name with no
    // space would widen the dialog past the screen instead.
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    QString out;
    out.reserve(text.size());
    int run = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        graphemes.setPosition(start);
        const qsizetype end = std::max(graphemes.toNextBoundary(), start + 1);
        if (run >= longest) {
            out += QChar(0x200B);
            run = 0;
        }
        out += QStringView(text).mid(start, end - start);
        lines.setPosition(end);
        run = lines.isAtBoundary() ? 0 : run + 1;
        start = end;
    }
    return out;
}

void showPlainly(QLabel& label)
{
    label.setTextFormat(Qt::PlainText);
    label.setWordWrap(true);
}

void setPlainTexts(QMessageBox& box, const QString& text, const QString& detail)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(breakable(text));
    box.setInformativeText(breakable(detail));
    // Qt gives the informative text a label of its own, which guesses markup.
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
}

void placeMessage(QFileDialog& dialog, const QString& message)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid) return;
    struct Placed {
        QLayoutItem* item;
        int row, column, rows, columns;
    };
    std::vector<Placed> placed;
    int columns = 1;
    while (grid->count() > 0) {
        Placed p{};
        grid->getItemPosition(0, &p.row, &p.column, &p.rows, &p.columns);
        p.item = grid->takeAt(0);
        columns = std::max(columns, p.column + p.columns);
        placed.push_back(p);
    }
    for (const Placed& p : placed) grid->addItem(p.item, p.row + 1, p.column, p.rows, p.columns);
    auto* label = new QLabel(message, &dialog);
    label->setObjectName(QStringLiteral("message"));
    showPlainly(*label);
    grid->addWidget(label, 0, 0, 1, columns);
}

} // namespace Lyricade
