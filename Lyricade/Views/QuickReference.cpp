#include "Lyricade/Views/QuickReference.h"

#include "Lyricade/Views/ScreenFit.h"

#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"

#include <QFontDatabase>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace Lyricade {

const std::array<QuickReferenceRow, 11> quickReferenceRows = {{
    {"{title: Amazing Grace}", "title (also {subtitle}, {artist})"},
    {"{key: G}  {capo: 2}  {tempo: 80}", "key, capo and tempo"},
    {"A[G]mazing [C]grace", "chords before their syllable"},
    {"{start_of_verse: Verse 1} … {end_of_verse}", "a verse ({sov}/{eov})"},
    {"{start_of_chorus} … {end_of_chorus}", "a chorus, printed in bold ({soc}/{eoc})"},
    {"{chorus}", "repeat the chorus here"},
    {"{start_of_bridge} … {end_of_bridge}", "a bridge"},
    {"{start_of_tab} … {end_of_tab}", "guitar tab, kept as written"},
    {"{comment: Slowly}", "a note to the band ({c})"},
    {"{define: Am base-fret 1 frets x 0 2 2 1 0}", "a chord diagram"},
    {"{new_page}  {column_break}", "break here"},
}};

CheatSheet::CheatSheet(QWidget* parent) : QWidget(parent)
{
    setFixedWidth(cardWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(6);
    column->addWidget(DetailParts::headline(QStringLiteral("ChordPro in a nutshell"), this));

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(FontRole::font(this, FontRole::callout).pointSizeF());
    const QFont caption = FontRole::font(this, FontRole::caption);
    for (const auto& row : quickReferenceRows) {
        auto* pair = new QVBoxLayout;
        pair->setSpacing(0);
        auto* example = new QLabel(QString::fromUtf8(row.example), this);
        example->setFont(mono);
        example->setTextFormat(Qt::PlainText);
        auto* what = new QLabel(QString::fromUtf8(row.caption), this);
        what->setFont(caption);
        what->setTextFormat(Qt::PlainText);
        FontRole::makeSecondary(what);
        pair->addWidget(example);
        pair->addWidget(what);
        column->addLayout(pair);
    }
    auto* footer = new QLabel(QStringLiteral("Chords-over-lyrics text files are converted when you import them."), this);
    footer->setFont(caption);
    footer->setWordWrap(true);
    FontRole::makeSecondary(footer);
    column->addWidget(footer);
    // Fixed width, the height of the content: the card never scrolls.
    for (auto* label : findChildren<QLabel*>()) label->setMaximumWidth(cardWidth - 28);
}

QStringList CheatSheet::texts() const
{
    QStringList all;
    for (auto* label : findChildren<QLabel*>()) all << label->text();
    return all;
}

QuickReferencePopup::QuickReferencePopup(QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    // A popup would hold the pointer and keyboard without ever being a
    // window that assistive technologies see.
    setFrameShape(QFrame::StyledPanel);
    setWindowTitle(QStringLiteral("ChordPro quick reference"));
    setAccessibleName(QStringLiteral("ChordPro quick reference"));
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    // The card scrolls only where the screen is shorter than it.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The card is the window's one Tab stop, named by its title; its arrows scroll it.
    scroll_->setAccessibleName(QStringLiteral("ChordPro in a nutshell"));
    sheet_ = new CheatSheet(scroll_);
    scroll_->setWidget(sheet_);
    column->addWidget(scroll_);
}

void QuickReferencePopup::showBelow(QWidget* anchor)
{
    const QSize whole = QSize(CheatSheet::cardWidth, sheet_->heightForWidth(CheatSheet::cardWidth)) +
                        QSize(2 * frameWidth(), 2 * frameWidth());
    resize(whole);
    move(anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height() + 4)));
    fitOnScreen(*this);
    if (height() < whole.height()) { // room beside the words for the scroll bar
        resize(whole.width() + scroll_->verticalScrollBar()->sizeHint().width(), height());
        fitOnScreen(*this);
    }
    show();
    raise();
    activateWindow();
    scroll_->setFocus(Qt::OtherFocusReason);
}

void QuickReferencePopup::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit closed();
}

} // namespace Lyricade
