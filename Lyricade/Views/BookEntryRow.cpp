#include "Lyricade/Views/BookEntryRow.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/EntryAccessible.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongWording.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Lyricade {

using namespace TunequillKit;

QString capoText(std::int64_t capo)
{
    return capo == 0 ? QStringLiteral("No capo") : QStringLiteral("Capo %1").arg(capo);
}

namespace {

EntryPopUp* popUp(QWidget* parent, const QString& accessibleName, const QString& tip)
{
    auto* button = new EntryPopUp(parent);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAccessibleName(accessibleName);
    button->setToolTip(tip);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::NoFocus); // until the row is the current one
    button->setChoices(new QMenu(button));
    // Read by the button's name when it opens.
    button->menu()->setAccessibleName(accessibleName);
    return button;
}

// One menu item, checked while it is the current choice, read with its key names in words.
void addChoice(QMenu* menu, const QString& text, std::function<void()> choose)
{
    QAction* action = menu->addAction(text);
    ChoiceButton::speak(*action, spokenKeys(text));
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, menu, [choose = std::move(choose)] { choose(); });
}

} // namespace

EntryRow::EntryRow(AppModel& model, int number, const SongEntry& entry, QWidget* parent)
    : QWidget(parent), model_(model), entry_(entry)
{
    installEntryAccessibility();
    const auto song = model_.song(entry_.songID);
    const auto book = model_.selectedBook();
    const Accidentals accidentals = (book ? book->settings : BookSettings()).accidentals;

    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(6, 2, 6, 2);
    row_->setSpacing(8);
    number_ = new QLabel(QString::number(number), this);
    number_->setFont(FontRole::font(this, FontRole::callout));
    number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number_->setFixedWidth(22);
    FontRole::makeSecondary(number_, FontRole::smallDigits);
    row_->addWidget(number_);

    texts_ = new QVBoxLayout;
    texts_->setSpacing(1);
    // A long title wraps onto a second line and the row grows, and past that
    // is cut at its end; the detail line loses its middle, keeping the ends
    // that tell names apart. The labels' accessible names stay whole.
    auto* title = new ElidingLabel(song ? songTitle(song.get()) : QStringLiteral("Missing song"), this, 2);
    title->setMinimumWidth(40);
    connect(title, &ElidingLabel::linesChanged, this, &EntryRow::heightChanged);
    title_ = title;
    texts_->addWidget(title_);
    if (song)
        if (auto named = artistOrSubtitle(*song)) {
            detail_ = new ElidingLabel(*named, this);
            detail_->setFont(FontRole::font(this, FontRole::caption));
            FontRole::makeSecondary(detail_);
            texts_->addWidget(detail_);
        }
    row_->addLayout(texts_, 1);

    choices_ = new QHBoxLayout;
    choices_->setSpacing(8);
    choices_->addSpacing(4);
    if (song && song->effectiveKey()) {
        buildKeyMenu(*song, accidentals);
        choices_->addWidget(key_);
    }
    buildCapoMenu(song.get());
    choices_->addWidget(capo_);
    showChoices();
    row_->addLayout(choices_);
    restWidth_ = row_->minimumSize().width() - choices_->minimumSize().width();
    for (QToolButton* button : {key_, capo_})
        if (button) button->installEventFilter(this);
    setAccessibleName(spokenText());

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu()->exec(mapToGlobal(pos)); });
}

int EntryRow::leastWidth() const
{
    const QMargins margins = row_->contentsMargins();
    const int texts = std::max(title_->minimumWidth(), choices_->sizeHint().width());
    return margins.left() + number_->width() + row_->spacing() + texts + margins.right();
}

void EntryRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeChoices();
}

int EntryRow::besideWidth() const
{
    return restWidth_ + choices_->minimumSize().width();
}

void EntryRow::placeChoices()
{
    const bool under = width() < besideWidth();
    if (under == choicesUnder_) return;
    choicesUnder_ = under;
    // Under the texts they start where the texts start, in the same order.
    if (under) {
        row_->removeItem(choices_);
        choices_->addStretch(1);
        texts_->addLayout(choices_);
    } else {
        texts_->removeItem(choices_);
        delete choices_->takeAt(choices_->count() - 1);
        row_->addLayout(choices_);
    }
    emit heightChanged();
}

void EntryRow::buildKeyMenu(const Song& song, Accidentals accidentals)
{
    key_ = popUp(this, QStringLiteral("Key"), QStringLiteral("Key"));
    key_->setFont(FontRole::font(this, FontRole::callout, QFont::DemiBold));
    for (int t = lowestShift; t <= highestShift; ++t) {
        QString text = prettyName(soundingKey(song, t)->name(accidentals));
        if (t == 0)
            text += QStringLiteral(" (as written)");
        else
            text += QStringLiteral(" (%1%2)").arg(t > 0 ? QStringLiteral("+") : QString()).arg(t);
        addChoice(key_->menu(), text, [this, t] { change([t](SongEntry& e) { e.transpose = t; }); });
    }
}

void EntryRow::buildCapoMenu(const Song* song)
{
    capo_ = popUp(this, QStringLiteral("Capo"), QStringLiteral("Capo: the chords are printed as the shapes you play with it"));
    const std::int64_t written = song ? song->capo : 0;
    capo_->setFont(FontRole::font(this, FontRole::callout));
    QMenu* menu = capo_->menu();
    const QString asWritten = QStringLiteral("As written") +
                              (written > 0 ? QStringLiteral(" (capo %1)").arg(written) : QStringLiteral(" (no capo)"));
    addChoice(menu, asWritten, [this] { change([](SongEntry& e) { e.capo.reset(); }); });
    menu->addSeparator();
    for (int n = 0; n <= highestCapo; ++n)
        addChoice(menu, capoText(n), [this, n] { change([n](SongEntry& e) { e.capo = n; }); });
}

void EntryRow::setEntry(const SongEntry& entry)
{
    entry_ = entry;
    showChoices();
    setSpokenName(*this, spokenText());
    // The buttons' new texts change their widths ("G", then "C♯"): the menus
    // may now fit beside the texts, or no longer.
    choices_->invalidate();
    placeChoices();
}

void EntryRow::showChoices()
{
    const auto song = model_.song(entry_.songID);
    if (key_ && song) {
        const auto book = model_.selectedBook();
        const std::string plain =
            soundingKey(*song, entry_.transpose)->name((book ? book->settings : BookSettings()).accidentals);
        key_->setChoice(prettyName(plain), spokenKeys(prettyName(plain)));
        const QList<QAction*> keys = key_->menu()->actions();
        for (int i = 0; i < keys.size(); ++i) keys[i]->setChecked(entry_.transpose == lowestShift + i);
    }
    capo_->setChoice(capoText(entry_.capo.value_or(song ? song->capo : 0)));
    // "As written", a line, then 0 … highestCapo.
    const QList<QAction*> capos = capo_->menu()->actions();
    for (int i = 0; i < capos.size(); ++i)
        capos[i]->setChecked(i == 0 ? !entry_.capo : entry_.capo == i - 2);
}

QString EntryRow::spokenText() const
{
    QString text = number_->text() + QStringLiteral(", ") + title_->text();
    if (key_) text += QStringLiteral(", Key ") + key_->spokenChoice();
    return text + QStringLiteral(", ") + capo_->shownChoice();
}

void EntryRow::setTabStops(bool on)
{
    current_ = on;
    update();
    for (QToolButton* button : {key_, capo_})
        if (button) button->setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
}

void EntryRow::paintEvent(QPaintEvent*)
{
    // The row covers its item, so the list's focus ring on it is drawn here.
    const QWidget* viewport = parentWidget();
    const auto* list = viewport ? qobject_cast<const QAbstractItemView*>(viewport->parentWidget()) : nullptr;
    if (!current_ || !list || !list->hasFocus()) return;
    QPainter painter(this);
    const QColor under = palette().color(selected_ ? QPalette::Highlight : QPalette::Base);
    FocusRing::draw(painter, rect(), FocusRing::colour(palette(), under), 3);
}

bool EntryRow::eventFilter(QObject* watched, QEvent* event)
{
    // Space opens the menu as a press; Return does the same here.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QToolButton*>(watched)->showMenu();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EntryRow::setSelected(bool selected)
{
    if (selected == selected_) return;
    selected_ = selected;
    const QPalette own = parentWidget() ? parentWidget()->palette() : palette();
    for (QWidget* part : std::initializer_list<QWidget*>{number_, title_, detail_, key_, capo_}) {
        if (!part) continue;
        QPalette palette = part->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            // The selection's own text colour, dimmed text included, so all of it reads on the selection.
            const QColor ink = selected ? own.color(group, QPalette::HighlightedText)
                               : part == number_ ? FontRole::secondary(this, FontRole::smallDigits)
                               : part == detail_ ? FontRole::secondary(this)
                                                                      : own.color(group, QPalette::WindowText);
            palette.setColor(group, QPalette::WindowText, ink);
            palette.setColor(group, QPalette::Text, ink);
            palette.setColor(group, QPalette::ButtonText, ink);
            // A pressed or hovered pop-up is shaded from its button colour,
            // somewhat lighter or darker: on the selection, from a shade of
            // the selection's own away from its text, with room for that.
            if (part == key_ || part == capo_) {
                const QColor selection = own.color(group, QPalette::Highlight);
                palette.setColor(group, QPalette::Button,
                                 selected ? FontRole::shadeUnder(ink, selection, 125, 5.5)
                                          : own.color(group, QPalette::Button));
                palette.setColor(group, QPalette::Window, selected ? selection : own.color(group, QPalette::Window));
            }
        }
        part->setPalette(palette);
    }
}

QMenu* EntryRow::keyMenu() const { return key_ ? key_->menu() : nullptr; }

QMenu* EntryRow::capoMenu() const { return capo_->menu(); }

std::unique_ptr<QMenu> EntryRow::contextMenu()
{
    auto menu = std::make_unique<QMenu>();
    menu->setAccessibleName(title_->text());
    const Uuid songID = entry_.songID;
    const Uuid entryID = entry_.id;
    AppModel* model = &model_;
    // The row may be gone once the model changes, so the actions hold only the model.
    menu->addAction(QStringLiteral("Edit Song"), model, [model, songID] {
        model->setSelection(SidebarItem::allSongs());
        model->setSelectedSongID(songID);
    });
    menu->addAction(QStringLiteral("Remove from Book"), model, [model, entryID] { model->removeEntries({entryID}); });
    return menu;
}

void EntryRow::change(const std::function<void(SongEntry&)>& edit)
{
    const auto index = model_.selectedBookIndex();
    if (!index) return;
    const Uuid id = entry_.id;
    model_.changeLibrary([&](Library& library) {
        for (SongEntry& e : library.books[*index].entries)
            if (e.id == id) {
                edit(e);
                break;
            }
    });
}

} // namespace Lyricade
