#include "Lyricade/Panels/DialogTexts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QStyleOptionComboBox>
#include <QStylePainter>
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

namespace {

// Paints a folder picker as Qt's does, but for where a long path is cut.
class FolderAtStart : public QObject {
public:
    explicit FolderAtStart(QComboBox& picker) : QObject(&picker), picker_(picker) { picker.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &picker_ || event->type() != QEvent::Paint) return false;
        QStylePainter painter(&picker_);
        painter.setPen(picker_.palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        option.initFrom(&picker_);
        option.editable = false;
        option.frame = true;
        option.subControls = QStyle::SC_All;
        if (picker_.view() && picker_.view()->isVisible()) option.state |= QStyle::State_On;
        if (picker_.hasFocus()) option.state |= QStyle::State_Selected;
        option.currentIcon = picker_.itemIcon(picker_.currentIndex());
        option.iconSize = picker_.iconSize();
        const QRect field = picker_.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                            QStyle::SC_ComboBoxEditField, &picker_);
        const int room = field.width() - (option.currentIcon.isNull() ? 0 : option.iconSize.width()) - 4;
        option.currentText = option.fontMetrics.elidedText(picker_.currentText(), Qt::ElideLeft, room);
        picker_.setProperty("shownText", option.currentText);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        return true;
    }

private:
    QComboBox& picker_;
};

// Qt makes a file dialog's own widgets only once it knows no native dialog
// will show: the picker is looked for as the dialog shows.
class PickerOnShow : public QObject {
public:
    explicit PickerOnShow(QFileDialog& dialog) : QObject(&dialog) { dialog.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) attach(*static_cast<QFileDialog*>(watched));
        return false;
    }

    static constexpr const char* marked = "folmiraFolderAtStart";

    static void attach(QFileDialog& dialog)
    {
        auto* picker = dialog.findChild<QComboBox*>(QStringLiteral("lookInCombo"));
        // (Marked by a property: a class without Qt's meta-object can't be found among children by its type.)
        if (!picker || picker->property(marked).toBool()) return;
        picker->setProperty(marked, true);
        new FolderAtStart(*picker);
    }
};

} // namespace

void shortenFolderAtStart(QFileDialog& dialog)
{
    PickerOnShow::attach(dialog);
    if (dialog.property(PickerOnShow::marked).toBool()) return;
    dialog.setProperty(PickerOnShow::marked, true);
    new PickerOnShow(dialog);
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
