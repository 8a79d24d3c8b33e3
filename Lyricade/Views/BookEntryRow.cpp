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

// `tabStop` while its row is the current one.
EntryPopUp* popUp(QWidget* parent, const QString& accessibleName, const QString& tip, bool tabStop)
{
    auto* button = new EntryPopUp(parent);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAccessibleName(accessibleName);
    button->setToolTip(tip);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    button->setChoices(new QMenu(button));
    // Read by the button's name when it opens; as its title, which a menu
    // never shown takes silently, where an accessible name is announced.
    button->menu()->setWindowTitle(accessibleName);
    return button;
}

// One menu item, checked while it is the current choice; named by nameChoice.
QAction* addChoice(QMenu* menu, std::function<void()> choose)
{
    QAction* action = menu->addAction(QString());
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, menu, [choose = std::move(choose)] { choose(); });
    return action;
}

// Shows `text` on a menu item, read with its key names in words.
void nameChoice(QAction& item, const QString& text)
{
    if (item.text() == text) return;
    item.setText(text);
    ChoiceButton::speak(item, spokenKeys(text));
}

} // namespace

EntryRow::EntryRow(AppModel& model, int number, const SongEntry& entry, QWidget* parent)
    : QWidget(parent), model_(model), entry_(entry)
{
    installEntryAccessibility();
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(6, 2, 6, 2);
    row_->setSpacing(8);
    number_ = new QLabel(this);
    // In the text's own ink and bold: a lone "1", dimmed or in a regular
    // weight, is a hairline that anti-aliasing greys below its ink's
    // contrast, in every common sans.
    number_->setFont(FontRole::font(this, FontRole::callout, QFont::Bold));
    number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number_->setFixedWidth(22);
    row_->addWidget(number_);

    texts_ = new QVBoxLayout;
    texts_->setSpacing(1);
    // A long title wraps onto a second line and the row grows, and past that
    // is cut at its end; so is the detail line. The labels' accessible names
    // stay whole.
    auto* title = new ElidingLabel(QString(), this, 2);
    title->setMinimumWidth(40);
    connect(title, &ElidingLabel::linesChanged, this, &EntryRow::heightChanged);
    title_ = title;
    texts_->addWidget(title_);
    row_->addLayout(texts_, 1);

    choices_ = new QHBoxLayout;
    choices_->setSpacing(8);
    choices_->addSpacing(4);
    buildCapoMenu();
    choices_->addWidget(capo_);
    row_->addLayout(choices_);
    fill(number);
    restWidth_ = row_->minimumSize().width() - choices_->minimumSize().width();

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu()->exec(mapToGlobal(pos)); });
}

void EntryRow::showEntry(int number, const SongEntry& entry)
{
    const int height = sizeHint().height();
    entry_ = entry;
    fill(number);
    // The new texts change the menus' widths and the title's lines.
    choices_->invalidate();
    placeChoices();
    if (sizeHint().height() != height) emit heightChanged();
}

void EntryRow::fill(int number)
{
    const auto song = model_.song(entry_.songID);
    const auto book = model_.selectedBook();
    const Accidentals accidentals = (book ? book->settings : BookSettings()).accidentals;
    // Texts are set only where they differ: Qt announces every one set.
    const auto showText = [](QLabel* label, const QString& text) {
        if (label->text() != text) label->setText(text);
    };
    showText(number_, QString::number(number));
    showText(title_, song ? songTitle(song.get()) : QStringLiteral("Missing song"));
    showDetail(song ? artistOrSubtitle(*song) : std::nullopt);
    showKeyMenu(song && song->effectiveKey() ? song.get() : nullptr, accidentals);
    nameCapos(song.get());
    paintParts();
    showChoices();
    setSpokenName(*this, spokenText());
}

void EntryRow::showDetail(const std::optional<QString>& named)
{
    if (!named) {
        delete detail_;
        detail_ = nullptr;
        return;
    }
    if (detail_) {
        if (detail_->text() != *named) detail_->setText(*named);
        return;
    }
    // The subtitle or artist wraps as the title does, cut only at its end.
    auto* detail = new ElidingLabel(*named, this, 2);
    detail->setFont(FontRole::font(this, FontRole::caption));
    connect(detail, &ElidingLabel::linesChanged, this, &EntryRow::heightChanged);
    detail_ = detail;
    texts_->insertWidget(1, detail_);
}

void EntryRow::showKeyMenu(const Song* song, Accidentals accidentals)
{
    if (!song) {
        // The focus stays in the row, on its other menu.
        if (key_ && key_->hasFocus()) capo_->setFocus(Qt::OtherFocusReason);
        delete key_;
        key_ = nullptr;
        return;
    }
    if (!key_) {
        buildKeyMenu();
        choices_->insertWidget(1, key_);
    }
    const QList<QAction*> items = key_->menu()->actions();
    for (int t = lowestShift; t <= highestShift; ++t) {
        QString text = prettyName(soundingKey(*song, t)->name(accidentals));
        if (t == 0)
            text += QStringLiteral(" (as written)");
        else
            text += QStringLiteral(" (%1%2)").arg(t > 0 ? QStringLiteral("+") : QString()).arg(t);
        nameChoice(*items.at(t - lowestShift), text);
    }
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

void EntryRow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) paintParts();
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

void EntryRow::buildKeyMenu()
{
    key_ = popUp(this, QStringLiteral("Key"), QStringLiteral("Key"), current_);
    key_->setFont(FontRole::font(this, FontRole::callout, QFont::DemiBold));
    key_->installEventFilter(this);
    for (int t = lowestShift; t <= highestShift; ++t)
        addChoice(key_->menu(), [this, t] { change([t](SongEntry& e) { e.transpose = t; }); });
}

void EntryRow::buildCapoMenu()
{
    capo_ = popUp(this, QStringLiteral("Capo"), QStringLiteral("Capo: the chords are printed as the shapes you play with it"),
                  current_);
    capo_->setFont(FontRole::font(this, FontRole::callout));
    capo_->installEventFilter(this);
    QMenu* menu = capo_->menu();
    addChoice(menu, [this] { change([](SongEntry& e) { e.capo.reset(); }); });
    menu->addSeparator();
    for (int n = 0; n <= highestCapo; ++n)
        nameChoice(*addChoice(menu, [this, n] { change([n](SongEntry& e) { e.capo = n; }); }), capoText(n));
}

void EntryRow::nameCapos(const Song* song)
{
    const std::int64_t written = song ? song->capo : 0;
    const QString asWritten = QStringLiteral("As written") +
                              (written > 0 ? QStringLiteral(" (capo %1)").arg(written) : QStringLiteral(" (no capo)"));
    nameChoice(*capo_->menu()->actions().front(), asWritten);
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
    paintParts();
}

void EntryRow::paintParts()
{
    const bool selected = selected_;
    const QPalette own = parentWidget() ? parentWidget()->palette() : palette();
    for (QWidget* part : std::initializer_list<QWidget*>{number_, title_, detail_, key_, capo_}) {
        if (!part) continue;
        QPalette palette = part->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            // The selection's own text colour, dimmed text included, so all of it reads on the selection.
            const QColor ink = selected ? own.color(group, QPalette::HighlightedText)
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
