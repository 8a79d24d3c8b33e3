#include "FolmiraApp/Views/PaneParts.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/Wording.h"
#include "FolmiraApp/Views/Icons.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace FolmiraApp {

namespace {

QColor secondary(const QWidget* widget)
{
    return Lyricade::FontRole::secondary(widget);
}

void setTextColor(QWidget* widget, const QColor& color)
{
    auto palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont scaledFont(const QWidget* widget, double factor, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

// A pane header reads as one element, its title and detail together, as a
// sighted user takes it in at a glance; its two labels are not read apart.
class PaneHeaderAccessible : public QAccessibleWidget {
public:
    explicit PaneHeaderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* paneHeaderFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("FolmiraApp::PaneHeader") && object && object->isWidgetType())
        return new PaneHeaderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

QHBoxLayout* centredRow(QWidget* widget)
{
    // An alignment flag would keep a wrapping label at its one-line height;
    // stretches on both sides centre it and let it grow to its full height.
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget, 100);
    row->addStretch(1);
    return row;
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText); // a file name is shown as written
    // Words wrap onto another line before any is cut; only a word longer
    // than the whole width (a long file name) is shortened.
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text)
{
    if (text == full_) return;
    full_ = text;
    Lyricade::setSpokenName(*this, text);
    refit();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refit();
}

void ElidedLabel::refit()
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString& word : full_.split(u' ', Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    const bool cut = widest > width();
    setText(cut ? metrics.elidedText(full_, Qt::ElideMiddle, std::max(0, width())) : full_);
    setToolTip(cut ? full_ : QString());
}

PaneHeader::PaneHeader(const QString& title, QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(paneHeaderFactory);
        return true;
    }();
    (void)installed;
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 8, 14, 8);
    row->setSpacing(8);
    title_ = new QLabel(title, this);
    title_->setFont(scaledFont(this, 1.0, QFont::DemiBold));
    detail_ = new ElidedLabel(this);
    setTextColor(detail_, secondary(this));
    row->addWidget(title_);
    row->addWidget(detail_, 1);
    setAccessibleName(title);
}

void PaneHeader::setDetail(const QString& detail)
{
    detail_->setFullText(detail);
    Lyricade::setSpokenName(*this, detail.isEmpty() ? title() : QStringLiteral("%1, %2").arg(title(), detail));
}

RefusalView::RefusalView(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(16);
    column->addStretch(1);

    auto* symbol = new QLabel(this);
    symbol->setPixmap(themeIcon("dialog-warning", QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    symbol->setAlignment(Qt::AlignCenter);
    column->addWidget(symbol);

    auto* title = new QLabel(QStringLiteral("Folmira can’t make this one large"), this);
    title->setObjectName(QStringLiteral("refusalTitle"));
    title->setFont(scaledFont(this, 1.6, QFont::DemiBold));
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    column->addWidget(title);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("refusalMessage"));
    message_->setTextFormat(Qt::PlainText); // names the file
    message_->setFont(scaledFont(this, 1.3, QFont::Normal));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);
    message_->setMaximumWidth(460);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addLayout(centredRow(message_));
    column->addStretch(1);
    setAccessibleName(title->text());
    // Takes the focus where the copy would be, so the refusal is read out.
    setFocusPolicy(Qt::StrongFocus);
    Lyricade::FocusRing::ringWhenFocused(this);
}

void RefusalView::setMessage(const QString& message)
{
    message_->setText(message);
    Lyricade::setSpokenDescription(*this, message);
}

StatusBar::StatusBar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(10);
    row->addStretch(1);
    icon_ = new QLabel(this);
    icon_->setPixmap(themeIcon("dialog-information", QStyle::SP_MessageBoxInformation).pixmap(16, 16));
    label_ = new QLabel(this);
    setTextColor(label_, secondary(this));
    // Reached by Tab (only while it shows), so the count is read out too.
    label_->setFocusPolicy(Qt::StrongFocus);
    Lyricade::FocusRing::ringWhenFocused(label_);
    label_->setContentsMargins(4, 2, 4, 2); // room for the ring around the words
    row->addWidget(icon_);
    row->addWidget(label_);
    // Keeps its height when empty, like a bar that is always there.
    setMinimumHeight(label_->sizeHint().height() + 14);
    connect(&model_, &AppModel::resultChanged, this, &StatusBar::refresh);
    connect(&model_, &AppModel::documentChanged, this, &StatusBar::refresh);
    connect(&model_, &AppModel::fileURLChanged, this, &StatusBar::refresh);
    refresh();
}

void StatusBar::refresh()
{
    const auto text = notesLabel(model_.notes().size(), model_.fileURL().has_value());
    label_->setText(text);
    icon_->setVisible(!text.isEmpty());
    label_->setVisible(!text.isEmpty());
    // Named once, on the label the focus reaches, so it is read once.
    Lyricade::setSpokenName(*label_, text);
}

void StatusBar::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
}

QWidget* makeDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace FolmiraApp
