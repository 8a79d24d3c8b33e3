#include "FolmiraApp/Views/WelcomeView.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/TextStyles.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/Views/Decoration.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/ScreenFit.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QTimer>
#include <QVBoxLayout>

namespace FolmiraApp {

namespace {

constexpr int padding = 26;
constexpr int spacing = 14;
constexpr int cardPadding = 12;
constexpr int cardRadius = 12;
// The ring's corners are tighter than the card's, so that it keeps to the card's edge there too.
constexpr int cardRingRadius = 6;
constexpr int cardIconWidth = 40;
constexpr int cardSymbolSize = 28;

QLabel* decoration(const QPixmap& pixmap, QWidget* parent)
{
    auto* label = new Lyricade::Decoration(parent); // not announced
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

ModeCard::ModeCard(DocKind kind, const QString& title, const QString& text, QWidget* parent)
    : QAbstractButton(parent), kind_(kind)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(title);
    setAccessibleDescription(QStringLiteral("Opens this mode"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    row->setSpacing(spacing);
    symbol_ = decoration(QPixmap(), this);
    symbol_->setFixedWidth(cardIconWidth);
    paintSymbol();
    row->addWidget(symbol_, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    title_ = TextStyle::wrapping(title, this);
    title_->setFont(TextStyle::font(this, TextStyle::headline, QFont::Bold));
    text_ = TextStyle::wrapping(text, this);
    text_->setFont(TextStyle::font(this, TextStyle::callout));
    TextStyle::makeSecondary(text_);
    for (QLabel* label : {title_, text_}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        texts->addWidget(label);
    }
    row->addLayout(texts, 1);

    auto* chevron = decoration(themeIcon("go-next", QStyle::SP_ArrowRight).pixmap(16, 16), this);
    row->addWidget(chevron, 0, Qt::AlignVCenter);

    // The card lies on the window, not on a button's face: its labels take the
    // window's text colours (a button's would override the secondary text).
    setBackgroundRole(QPalette::Window);
}

// The theme's picture of the mode, its shape kept and its colour the accent's
// (the selection colour, which follows the palette and high contrast).
void ModeCard::paintSymbol()
{
    QPixmap pixmap = modeIcon(kind_).pixmap(QSize(cardSymbolSize, cardSymbolSize), devicePixelRatioF());
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), palette().color(QPalette::Highlight));
    painter.end();
    symbol_->setPixmap(pixmap);
}

void ModeCard::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) paintSymbol();
}

void ModeCard::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QString ModeCard::title() const
{
    return title_->text();
}

QString ModeCard::text() const
{
    return text_->text();
}

void ModeCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::WindowText);
    // Light enough in every state for the secondary text on it to stay readable.
    fill.setAlphaF(isDown() ? 0.10 : (underMouse() ? 0.075 : 0.05));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cardRadius, cardRadius);
    painter.fillPath(shape, fill);
    // The fill alone hardly parts from the window: the edge shows where the card is.
    painter.setPen(QPen(Lyricade::FocusRing::edge(palette()), 1));
    painter.drawPath(shape);
    if (hasFocus()) Lyricade::FocusRing::draw(painter, rect(), Lyricade::FocusRing::colour(palette()), cardRingRadius);
}

WelcomeView::WelcomeView(AppModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
    setObjectName(QStringLiteral("welcome"));
    // A title bar without a close button: only the sheet's own buttons end it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::WindowModal);
    const QString name = qstr(FolmiraKit::Brand::name);
    setWindowTitle(QStringLiteral("Welcome to %1").arg(name));

    // The texts and cards scroll where the screen is too short for them (a
    // small screen at large fonts), above the buttons, which stay in view;
    // elsewhere the sheet is exactly as tall as its texts.
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(spacing);
    scroller_ = new QScrollArea(this);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget(scroller_);
    frame->addWidget(scroller_);
    auto* stack = new QVBoxLayout(content_);
    stack->setContentsMargins(padding, padding, padding, 0);
    stack->setSpacing(spacing);

    title_ = TextStyle::wrapping(QStringLiteral("Welcome to %1").arg(name), content_);
    title_->setFont(TextStyle::font(this, TextStyle::largeTitle, QFont::Bold));
    stack->addWidget(title_);
    introduction_ = TextStyle::wrapping(
        QStringLiteral("Clean large print you can read without glasses: documents re-flowed in a big, clear typeface, "
                       "and songbooks with the chords above the words. Pick one to start; you can switch any time at "
                       "the top of the window."),
        content_);
    introduction_->setFont(TextStyle::font(this, TextStyle::title3));
    stack->addWidget(introduction_);

    document_ = new ModeCard(DocKind::document, QStringLiteral("Document"),
                             QStringLiteral("A recipe, bulletin, letter, menu or instructions sheet (Word, RTF, text, "
                                            "Markdown, or a PDF with text) made large: 14 to 32 point, one column, "
                                            "black on white."),
                             content_);
    songbook_ = new ModeCard(DocKind::songbook, QStringLiteral("Songbook"),
                             QStringLiteral("Chord sheets (ChordPro or chords-over-lyrics text) into large-print "
                                            "songbooks and set lists: any key, capo, contents and index, booklets."),
                             content_);
    stack->addWidget(document_);
    stack->addWidget(songbook_);

    footer_ = new QWidget(this);
    auto* footer = new QHBoxLayout(footer_);
    footer->setContentsMargins(padding, 0, padding, padding);
    import_ = new QPushButton(QStringLiteral("Import Tunequill Library…"), footer_);
    import_->setToolTip(QStringLiteral("Used Tunequill? Bring its songs, songbooks and set lists into Songbook mode"));
    import_->setAutoDefault(false);
    close_ = new QPushButton(QStringLiteral("Close"), footer_);
    close_->setAutoDefault(false);
    footer->addWidget(import_);
    footer->addStretch(1);
    footer->addWidget(close_);

    scroller_->setWidget(content_);
    frame->addWidget(footer_);

    connect(document_, &QAbstractButton::clicked, this, [this] { finish(DocKind::document); });
    connect(songbook_, &QAbstractButton::clicked, this, [this] { finish(DocKind::songbook); });
    connect(close_, &QPushButton::clicked, this, [this] { finish(std::nullopt); });
    connect(import_, &QPushButton::clicked, this, [this] {
        finish(std::nullopt);
        // The import opens its own panel: not from inside the click that closed the sheet.
        QTimer::singleShot(0, this, &WelcomeView::importRequested);
    });
    connect(&model_, &AppModel::showWelcomeChanged, this, &WelcomeView::followModel);

    fitToScreen();
}

void WelcomeView::fitToScreen()
{
    // The sheet's width where the screen has it, else the screen's (a small
    // screen at large fonts), the texts wrapped to it; the height follows the
    // texts, up to the screen's free height, and the sheet scrolls below that.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QSize room = Lyricade::roomOnScreen(*this, owner);
    const int width = std::min(sheetWidth, room.width());
    const int full = content_->heightForWidth(width) + spacing + footer_->sizeHint().height();
    if (full <= room.height()) setFixedSize(width, full);
    // Scrolled, the texts keep their width beside the scroll bar where there is room.
    else setFixedSize(std::min(sheetWidth + scroller_->verticalScrollBar()->sizeHint().width(), room.width()),
                      room.height());
    Lyricade::fitOnScreen(*this, owner);
}

void WelcomeView::showEvent(QShowEvent* event)
{
    // The parent's frame is known by now.
    fitToScreen();
    QDialog::showEvent(event);
}

QString WelcomeView::title() const
{
    return title_->text();
}

QString WelcomeView::introduction() const
{
    return introduction_->text();
}

void WelcomeView::finish(std::optional<DocKind> kind)
{
    model_.finishWelcome(kind);
    followModel(); // closes the sheet even when showWelcome was already false
}

void WelcomeView::followModel()
{
    if (model_.showWelcome() || !isVisible()) return;
    ending_ = true;
    done(QDialog::Accepted);
    ending_ = false;
}

void WelcomeView::reject()
{
    finish(std::nullopt);
}

void WelcomeView::closeEvent(QCloseEvent* event)
{
    // The window manager's close gesture does not end the sheet. (QDialog's own
    // handler would turn it into reject(), that is, into Close.)
    if (ending_)
        event->accept();
    else
        event->ignore();
}

} // namespace FolmiraApp
