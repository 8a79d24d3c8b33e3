#include "Lyricade/Views/SongEditorKey.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongWording.h"
#include "Lyricade/Views/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Lyricade {

using TunequillKit::Accidentals;
using TunequillKit::Key;
using TunequillKit::Note;

QString keyText(const std::optional<Key>& key, int transpose)
{
    const QString suffix = transpose == 0  ? QStringLiteral("as written")
                           : transpose > 0 ? QStringLiteral("+%1").arg(transpose)
                                           : QString::number(transpose);
    if (!key) return suffix;
    const Key shown{Note(key->tonic.pitch + transpose), key->minor};
    const QString name = QString::fromStdString(TunequillKit::Accidental::pretty(shown.name(Accidentals::automatic)));
    return QStringLiteral("Key %1 (%2)").arg(name, suffix);
}

namespace {

// Drawn in the palette's text colour: the style's own arrows are a dimmer shade.
QToolButton* arrow(Symbol symbol, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAccessibleName(name);
    button->setAutoRepeat(true);
    // Two to the height of a line, growing with the desktop's font, so
    // large fonts bring larger targets and room inside the focus ring.
    const int height = std::max(12, button->fontMetrics().height() * 3 / 4);
    button->setFixedSize(height * 5 / 3, height);
    showSymbol(*button, symbol, std::max(8, height - 4));
    return button;
}

} // namespace

KeyStepper::KeyStepper(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    key_ = new QLabel(this);
    key_->setTextFormat(Qt::PlainText);
    // In a narrow column "(as written)" goes under "Key G" rather than off the edge.
    key_->setWordWrap(true);
    key_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FontRole::makeSecondary(key_);
    // Up over down, as a stepper stands.
    stepper_ = new QWidget(this);
    auto* arrows = new QVBoxLayout(stepper_);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    up_ = arrow(Symbol::arrowUp, QStringLiteral("Transpose up"), stepper_);
    down_ = arrow(Symbol::arrowDown, QStringLiteral("Transpose down"), stepper_);
    arrows->addWidget(up_);
    arrows->addWidget(down_);
    stepper_->setAccessibleName(QStringLiteral("Transpose"));
    stepper_->setToolTip(QStringLiteral("Transpose the preview (Alt+↑ / Alt+↓)"));
    row->addWidget(key_);
    row->addWidget(stepper_);

    connect(up_, &QToolButton::clicked, this, [this] { model_.transpose(1); });
    connect(down_, &QToolButton::clicked, this, [this] { model_.transpose(-1); });
    connect(&model_, &AppModel::editorTransposeChanged, this, &KeyStepper::refresh);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &KeyStepper::refresh);
    connect(&model_, &AppModel::libraryChanged, this, &KeyStepper::refresh);
    refresh();
}

QString KeyStepper::text() const { return key_->text(); }

int KeyStepper::widthOnOneLine() const
{
    return key_->fontMetrics().horizontalAdvance(key_->text()) + layout()->spacing() + stepper_->sizeHint().width();
}

void KeyStepper::refresh()
{
    std::optional<Key> key;
    if (const auto song = model_.selectedSong())
        if (const auto parsed = model_.song(song->id)) key = parsed->effectiveKey();
    const QString text = keyText(key, model_.editorTranspose());
    key_->setText(text);
    // What a screen reader says for the stepper's value; on the arrows too,
    // where a change is read out to whoever just pressed one.
    for (QWidget* part : {stepper_, static_cast<QWidget*>(up_), static_cast<QWidget*>(down_)})
        setSpokenDescription(*part, spokenKeys(text));
}

} // namespace Lyricade
