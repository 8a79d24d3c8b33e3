#include "FolmiraApp/Views/ModePicker.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Views/Icons.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QToolButton>

#include <algorithm>

namespace FolmiraApp {

namespace {

QString label(DocKind kind)
{
    return kind == DocKind::songbook ? QStringLiteral("Songbook") : QStringLiteral("Document");
}

QString keys(int digit)
{
    return QKeySequence(Qt::ALT | (Qt::Key_0 + digit)).toString(QKeySequence::NativeText);
}

} // namespace

ModePicker::ModePicker(AppModel& model, QWidget* parent)
    : Lyricade::SegmentedChoice(QStringLiteral("What to make"), parent), model_(model)
{
    setObjectName(QStringLiteral("modePicker"));
    // The segments carry no tooltip of their own, so hovering either shows this one.
    setToolTip(toolTipText());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    segments_ = group();
    for (DocKind kind : allDocKinds) {
        // In the kinds' order, so each segment's id is its kind.
        QToolButton* segment = addSegment(label(kind));
        segment->setObjectName(QString::fromUtf8(toString(kind)));
        segment->setIcon(modeIcon(kind));
        segment->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    connect(segments_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.setKind(static_cast<DocKind>(id)); });
    connect(&model_, &AppModel::kindChanged, this, &ModePicker::followModel);
    followModel();
}

QString ModePicker::toolTipText()
{
    return QStringLiteral("A document in large print, or a large-print songbook from chord sheets (%1 / %2)")
        .arg(keys(1), keys(2));
}

QToolButton* ModePicker::segment(DocKind kind) const
{
    return static_cast<QToolButton*>(segments_->button(static_cast<int>(kind)));
}

DocKind ModePicker::selected() const
{
    return static_cast<DocKind>(segments_->checkedId());
}

void ModePicker::followModel()
{
    // One choice, one Tab stop: the chosen segment, which keeps the focus the picker had.
    segment(model_.kind())->setChecked(true);
}

CentredSlot::CentredSlot(QWidget* content, QWidget* parent) : QWidget(parent), content_(content)
{
    content_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize CentredSlot::sizeHint() const
{
    return content_->sizeHint();
}

QSize CentredSlot::minimumSizeHint() const
{
    return content_->sizeHint();
}

void CentredSlot::resizeEvent(QResizeEvent*)
{
    place();
}

void CentredSlot::moveEvent(QMoveEvent*)
{
    place();
}

void CentredSlot::place()
{
    const QSize size = content_->sizeHint();
    // The window's centre line, in this slot's coordinates.
    const int centre = mapFrom(window(), QPoint(window()->width() / 2, 0)).x();
    const int left = std::clamp(centre - size.width() / 2, 0, std::max(0, width() - size.width()));
    content_->setGeometry(left, (height() - size.height()) / 2, size.width(), size.height());
}

} // namespace FolmiraApp
