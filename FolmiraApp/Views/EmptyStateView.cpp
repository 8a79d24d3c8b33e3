#include "FolmiraApp/Views/EmptyStateView.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/Wording.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "FolmiraApp/Views/ToolBarFocus.h"
#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/MenuKey.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace FolmiraApp {

namespace {

// The invitation's content with the drop outline around it: the outline
// scrolls with what it encloses.
class OutlinedContent : public QWidget {
public:
    explicit OutlinedContent(EmptyStateView* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(owner_->outlineColor(), 3);
        pen.setDashPattern({10.0 / 3, 8.0 / 3}); // in line widths: 10 on, 8 off
        painter.setPen(pen);
        // Inset by 28 within the usual margins of 48, the line drawn inside
        // that edge; nearer the edge where the margins give way.
        const QMargins margins = layout() ? layout()->contentsMargins() : QMargins(48, 48, 48, 48);
        const double dx = std::max(1.5, margins.left() - 18.5), dy = std::max(1.5, margins.top() - 18.5);
        painter.drawRoundedRect(QRectF(rect()).adjusted(dx, dy, -dx, -dy), 24, 24);
    }

private:
    EmptyStateView* owner_;
};

} // namespace

EmptyStateView::EmptyStateView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAccessibleName(QStringLiteral("Drop a document here, or choose one"));
    // The invitation scrolls where the window is too short for it (a small
    // screen at large fonts), so it never sets the window's least height.
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    auto* scroller = new QScrollArea(this);
    scroller_ = scroller;
    // Its words wrap and its buttons stack: nothing to scroll across for.
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->viewport()->setAutoFillBackground(false);
    auto* content = new OutlinedContent(this, scroller);
    content_ = content;
    frame->addWidget(scroller);
    auto* column = new QVBoxLayout(content);
    column_ = column;
    column->setContentsMargins(48, 48, 48, 48);
    column->setSpacing(22);
    column->addStretch(1);

    auto* symbol = new Lyricade::Decoration(content);
    symbol_ = symbol;
    symbol->setPixmap(themeIcon("format-text-bold", QStyle::SP_FileDialogDetailedView).pixmap(64, 64));
    symbol->setAlignment(Qt::AlignCenter);
    column->addWidget(symbol);

    auto* title = new QLabel(QStringLiteral("Drop a document to make it large print"), content);
    title_ = title;
    QFont titleFont = font();
    titleFont.setPixelSize(titleSize);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    column->addWidget(title);

    auto* kinds = new QLabel(QStringLiteral("Text, Markdown, RTF, Word (.docx), or a PDF with text in it.\n"
                                            "Recipes, bulletins, letters, menus, instructions, hymns."),
                             this);
    kinds_ = kinds;
    QFont kindsFont = font();
    kindsFont.setPointSizeF(font().pointSizeF() * 1.3);
    kinds->setFont(kindsFont);
    kinds->setAlignment(Qt::AlignCenter);
    kinds->setWordWrap(true);
    auto palette = kinds->palette();
    palette.setColor(QPalette::WindowText, Lyricade::FontRole::secondary(this));
    kinds->setPalette(palette);
    column->addWidget(kinds);

    auto* buttons = new QBoxLayout(QBoxLayout::LeftToRight);
    buttons_ = buttons;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    choose_ = new QPushButton(QStringLiteral("Choose a Document…"), content);
    choose_->setDefault(true);
    choose_->setAutoDefault(true);
    // A default button answers Return only inside a dialog; in the main window
    // the key is bound here, and only while the empty state is shown. A
    // focused button takes it first.
    auto* enter = new QShortcut(this);
    enter->setKeys({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(enter, &QShortcut::activated, this, &EmptyStateView::returnPressed);
    choose_->setMinimumHeight(34);
    connect(choose_, &QPushButton::clicked, &model_, &AppModel::chooseDocument);
    auto* samplesButton = new QToolButton(content);
    samplesButton->setText(QStringLiteral("Try a Sample"));
    samplesButton->setPopupMode(QToolButton::InstantPopup);
    samplesButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    samplesButton->setMinimumHeight(34);
    samples_ = new QMenu(samplesButton);
    samplesButton->setMenu(samples_);
    Lyricade::openOnCurrentItem(*samples_);
    // The folder is listed afresh each time the menu opens.
    connect(samples_, &QMenu::aboutToShow, this, &EmptyStateView::fillSamples);
    fillSamples();
    buttons->addWidget(choose_);
    buttons->addWidget(samplesButton);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* songbook = new QPushButton(themeIcon("audio-x-generic", QStyle::SP_MediaPlay),
                                     QStringLiteral("Making a songbook from chord sheets? Switch to Songbook"), content);
    songbook_ = songbook;
    songbook->setAccessibleName(songbook->text()); // whole, on one line, however it is drawn
    songbook->setFlat(true);
    songbook->setCursor(Qt::PointingHandCursor);
    auto linkPalette = songbook->palette();
    linkPalette.setColor(QPalette::ButtonText, linkPalette.color(QPalette::Link));
    songbook->setPalette(linkPalette);
    connect(songbook, &QPushButton::clicked, &model_, [this] { model_.setKind(DocKind::songbook); });
    ringWhenFocused(songbook); // a flat button shows no focus of its own
    column->addWidget(songbook, 0, Qt::AlignHCenter);

    error_ = new QLabel(content);
    error_->setObjectName(QStringLiteral("emptyStateError"));
    error_->setTextFormat(Qt::PlainText); // names the file
    error_->setWordWrap(true);
    error_->setAlignment(Qt::AlignCenter);
    error_->setMaximumWidth(520);
    auto errorPalette = error_->palette();
    errorPalette.setColor(QPalette::WindowText, Lyricade::FontRole::error(this));
    error_->setPalette(errorPalette);
    column->addLayout(centredRow(error_));
    column->addStretch(1);

    scroller->setWidget(content);
    scroller->viewport()->installEventFilter(this);
    content->setAutoFillBackground(false); // set by the scroll area

    connect(&model_, &AppModel::errorChanged, this, &EmptyStateView::refreshError);
    refreshError();
}

bool EmptyStateView::eventFilter(QObject* watched, QEvent* event)
{
    // The room is the scroll area's viewport, once it has taken its size.
    if (watched == scroller_->viewport() && event->type() == QEvent::Resize) fitRoom();
    return QWidget::eventFilter(watched, event);
}

void EmptyStateView::fitRoom()
{
    const int line = fontMetrics().height();
    // Less a vertical scroll bar's width, whether or not it shows now, so
    // that its coming and going changes nothing.
    const QWidget* room = scroller_->viewport();
    const int width = room->width() - (scroller_->verticalScrollBar()->isVisible()
                                           ? 0
                                           : scroller_->verticalScrollBar()->sizeHint().width());
    // Judged by the room and by one-line widths, never by what is shown
    // now, so that showing less never asks for more.
    const bool shortRoom = room->height() < 24 * line;
    const QString sentence = songbook_->accessibleName();
    const auto textWidth = [&](const QString& text) { return songbook_->fontMetrics().size(0, text).width(); };
    const int oneLine = songbook_->sizeHint().width() - textWidth(songbook_->text()) + textWidth(sentence);
    const int together = choose_->sizeHint().width() + buttons_->spacing() +
                         buttons_->itemAt(2)->widget()->sizeHint().width();
    const int side = std::max(oneLine, together) + 2 * 48 <= width ? 48 : 12;
    const int upDown = shortRoom ? 12 : 48;
    const int gap = shortRoom ? 10 : 22;
    column_->setContentsMargins(side, upDown, side, upDown);
    column_->setSpacing(gap);
    symbol_->setVisible(!shortRoom);
    const bool twoLines = oneLine > width - 2 * side;
    const QString shown = twoLines ? QString(sentence).replace(QStringLiteral("? "), QStringLiteral("?\n")) : sentence;
    if (songbook_->text() != shown) songbook_->setText(shown);
    const bool stacked = together > width - 2 * side;
    buttons_->setDirection(stacked ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);

    // Where the title at its own size would push the start buttons below a
    // short room (a narrow document side beside the settings), it takes the
    // size of a heading instead, so both buttons show without scrolling.
    const int across = width - 2 * side;
    const auto wrapped = [across](const QLabel* label, const QFont& font) {
        return QFontMetrics(font)
            .boundingRect(QRect(0, 0, std::max(1, across), 1 << 20), Qt::TextWordWrap | Qt::AlignCenter, label->text())
            .height();
    };
    QFont titleFont = title_->font();
    titleFont.setPixelSize(titleSize);
    const int buttonHeight = choose_->sizeHint().height();
    const int beforeButtons = 2 * upDown + (shortRoom ? 0 : symbol_->sizeHint().height() + gap) +
                              wrapped(kinds_, kinds_->font()) + 2 * gap + buttonHeight * (stacked ? 2 : 1) +
                              (stacked ? buttons_->spacing() : 0);
    if (beforeButtons + wrapped(title_, titleFont) > room->height()) {
        QFont heading = titleFont;
        heading.setPointSizeF(kinds_->font().pointSizeF() * 1.25);
        if (QFontInfo(heading).pixelSize() < titleSize) titleFont = heading;
    }
    if (title_->font() != titleFont) title_->setFont(titleFont);
}

void EmptyStateView::returnPressed()
{
    auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (!button || button == choose_ || !button->isVisible()) return choose_->click();
    auto* popUp = qobject_cast<QToolButton*>(button);
    if (popUp && popUp->menu())
        popUp->showMenu();
    else
        button->click();
}

void EmptyStateView::fillSamples()
{
    samples_->clear();
    for (const auto& name : model_.sampleNames())
        samples_->addAction(sampleTitle(name), &model_, [this, name] { model_.openSample(name); });
}

void EmptyStateView::refreshError()
{
    const auto& error = model_.error();
    error_->setText(error.value_or(QString()));
    error_->setVisible(error.has_value());
}

void EmptyStateView::setTargeted(bool targeted)
{
    if (targeted == targeted_) return;
    targeted_ = targeted;
    content_->update();
}

QColor EmptyStateView::outlineColor() const
{
    if (targeted_) return palette().color(QPalette::Highlight);
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(0.4);
    return color;
}

} // namespace FolmiraApp
