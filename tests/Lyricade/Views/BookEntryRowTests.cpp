// A book entry's row: its texts, the key and capo menus, and what choosing
// from them writes.

#include "ViewFixture.h"

#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongWording.h"
#include "PixelMeasures.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <tuple>

namespace LyricadeTest {
namespace {

class EntryRowTest : public ViewTest {
protected:
    // One book holding the given songs' entries, selected.
    void build(const std::vector<StoredSong>& songs, const std::vector<SongEntry>& entries,
               Accidentals accidentals = Accidentals::automatic, bool persist = false)
    {
        Songbook book(Uuid::random(), "Camp", BookKind::book, entries);
        book.settings.accidentals = accidentals;
        make(persist, libraryOf(songs, {book}));
        model->setSelection(SidebarItem::book(book.id));
        clock->advance(Milliseconds(1000));
    }

    EntryRow& row(std::size_t index = 0)
    {
        const SongEntry& entry = model->library().books[0].entries[index];
        rows.push_back(std::make_unique<EntryRow>(*model, static_cast<int>(index) + 1, entry));
        return *rows.back();
    }

    static QStringList checked(const QMenu& menu)
    {
        QStringList out;
        for (const QAction* a : menu.actions())
            if (a->isChecked()) out << a->text();
        return out;
    }

    std::vector<std::unique_ptr<EntryRow>> rows;
};

TEST_F(EntryRowTest, KeyMenuOffersTwelveKeysAroundTheWrittenOne)
{
    const StoredSong g = storedSong("Gee", "{key: G}\n[G]Words\n");
    const QStringList sharps{"D (-5)", "D♯ (-4)", "E (-3)", "F (-2)", "F♯ (-1)", "G (as written)",
                             "G♯ (+1)", "A (+2)", "A♯ (+3)", "B (+4)", "C (+5)", "C♯ (+6)"};
    const QStringList flats{"D (-5)", "E♭ (-4)", "E (-3)", "F (-2)", "G♭ (-1)", "G (as written)",
                            "A♭ (+1)", "A (+2)", "B♭ (+3)", "B (+4)", "C (+5)", "D♭ (+6)"};
    // Automatic spells each key its own way: F♯ major with a sharp, A♭ major with a flat.
    const QStringList automatic{"D (-5)", "E♭ (-4)", "E (-3)", "F (-2)", "F♯ (-1)", "G (as written)",
                                "A♭ (+1)", "A (+2)", "B♭ (+3)", "B (+4)", "C (+5)", "D♭ (+6)"};
    struct Case {
        Accidentals accidentals;
        QStringList items;
    };
    for (const Case& c : {Case{Accidentals::automatic, automatic}, Case{Accidentals::sharps, sharps},
                          Case{Accidentals::flats, flats}}) {
        build({g}, {entryFor(g)}, c.accidentals);
        EntryRow& r = row();
        ASSERT_NE(r.keyMenu(), nullptr);
        EXPECT_EQ(texts(*r.keyMenu()), c.items);
        EXPECT_EQ(checked(*r.keyMenu()), QStringList{"G (as written)"});
        EXPECT_EQ(r.keyButton()->shownChoice(), "G");
        EXPECT_EQ(r.keyButton()->accessibleName(), "Key");
        EXPECT_EQ(r.keyButton()->toolTip(), "Key");
    }
}

TEST_F(EntryRowTest, KeyAndCapoReadAsChoicesWithTheirAccidentalsInWords)
{
    // The screen keeps the signs; a screen reader hears words ("Bb" is read "B B").
    struct Case {
        const char* song;
        QString shown, spoken, capo;
    };
    const Case cases[] = {
        {"{key: Bb}\n[Bb]Words\n", "B♭", "B flat", "No capo"},
        {"{key: F#m}\n{capo: 3}\n[F#m]Words\n", "Am", "A minor", "Capo 3"},
        {"{key: F#m}\n[F#m]Words\n", "F♯m", "F sharp minor", "No capo"},
        {"{key: G}\n[G]Words\n", "G", "G", "No capo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.song);
        const StoredSong song = storedSong("Tune", c.song);
        build({song}, {entryFor(song)});
        EntryRow& r = row();
        EXPECT_EQ(r.keyButton()->shownChoice(), c.shown);
        for (const auto& [button, name, value] :
             {std::tuple{r.keyButton(), "Key", c.spoken}, std::tuple{r.capoButton(), "Capo", c.capo}}) {
            QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(button);
            EXPECT_EQ(reads->role(), QAccessible::ComboBox);
            EXPECT_EQ(reads->text(QAccessible::Name), name);
            EXPECT_EQ(reads->text(QAccessible::Value), value);
        }
        EXPECT_EQ(r.accessibleName(), "1, Tune, Key " + c.spoken + ", " + c.capo);
    }
    // Key names among words; other words stay as they are.
    for (const auto& [shown, spoken] : std::initializer_list<std::pair<QString, QString>>{
             {"Key E♭ (-2)", "Key E flat (-2)"}, {"A♭m (+1)", "A flat minor (+1)"}, {"Key Cm (+3)", "Key C minor (+3)"},
             {"As written (capo 2)", "As written (capo 2)"}, {"Bm, G", "B minor, G"}})
        EXPECT_EQ(spokenKeys(shown), spoken);
}

TEST_F(EntryRowTest, LabelsSoundWithCapoAndStoredTransposition)
{
    const StoredSong am = storedSong("Minor", "{key: Am}\n{capo: 2}\n{artist: Ann}\n[Am]Words\n");
    SongEntry far = entryFor(am, 9);
    SongEntry ownCapo = entryFor(am);
    ownCapo.capo = 0;
    build({am}, {entryFor(am), far, ownCapo}, Accidentals::sharps);

    EntryRow& plain = row(0);
    EXPECT_EQ(plain.keyButton()->shownChoice(), "Bm") << "the key that sounds, capo included";
    EXPECT_EQ(plain.capoButton()->shownChoice(), "Capo 2");
    EXPECT_EQ(texts(*plain.capoMenu()).front(), "As written (capo 2)");
    EXPECT_EQ(checked(*plain.capoMenu()), QStringList{"As written (capo 2)"});
    EXPECT_EQ(plain.detailLabel()->text(), "Ann");
    EXPECT_EQ(plain.numberLabel()->text(), "1");

    EntryRow& outside = row(1);
    EXPECT_EQ(outside.keyButton()->shownChoice(), "G♯m") << "A + 2 + 9";
    EXPECT_TRUE(checked(*outside.keyMenu()).isEmpty()) << "9 is outside the menu";

    EntryRow& none = row(2);
    EXPECT_EQ(none.capoButton()->shownChoice(), "No capo");
    EXPECT_EQ(checked(*none.capoMenu()), QStringList{"No capo"});
    EXPECT_EQ(texts(*none.capoMenu()),
              (QStringList{"As written (capo 2)", "-", "No capo", "Capo 1", "Capo 2", "Capo 3", "Capo 4", "Capo 5",
                           "Capo 6", "Capo 7", "Capo 8", "Capo 9"}));
    EXPECT_EQ(none.capoButton()->accessibleName(), "Capo");
}

TEST_F(EntryRowTest, MissingAndKeylessSongsKeepTheCapoMenu)
{
    const StoredSong words = storedSong("Words", "{subtitle: Sub}\nNo chords at all\n");
    SongEntry missing{Uuid::random(), Uuid::random(), 0, std::nullopt};
    build({words}, {missing, entryFor(words)});
    EntryRow& gone = row(0);
    EXPECT_EQ(gone.titleLabel()->text(), "Missing song");
    EXPECT_EQ(gone.detailLabel(), nullptr);
    EXPECT_EQ(gone.keyButton(), nullptr);
    EXPECT_EQ(gone.capoButton()->shownChoice(), "No capo");
    EXPECT_EQ(texts(*gone.capoMenu()).front(), "As written (no capo)");
    action(*gone.capoMenu(), "Capo 3")->trigger();
    EXPECT_EQ(model->library().books[0].entries[0].capo, 3);

    EntryRow& keyless = row(1);
    EXPECT_EQ(keyless.keyButton(), nullptr);
    EXPECT_EQ(keyless.detailLabel()->text(), "Sub");
}

TEST_F(EntryRowTest, PressedPopUpsOnASelectedRowKeepTheirTextReadable)
{
    const StoredSong g = storedSong("Gee", "{key: G}\n[G]Words\n");
    build({g}, {entryFor(g)});
    EntryRow& r = row(0);
    // The desktop's usual palette, and a dark high-contrast one with dark text
    // on its selection, where a deeper shade of the selection fell under 4.5 : 1.
    QPalette highContrast;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) highContrast.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) highContrast.setColor(role, Qt::white);
    highContrast.setColor(QPalette::Highlight, QColor(0x8d, 0xa0, 0x55));
    highContrast.setColor(QPalette::HighlightedText, QColor(0x40, 0x40, 0x40));
    for (const QPalette& palette : {r.palette(), highContrast}) {
        r.setSelected(false);
        r.setPalette(FontRole::readablePalette(palette));
        r.resize(360, r.sizeHint().height());
        for (bool selected : {true, false}) {
            r.setSelected(selected);
            for (QToolButton* button : {r.keyButton(), r.capoButton()}) {
                button->setDown(true);
                // The fill is the colour most of the pressed button is drawn in.
                const QImage shot = button->grab().toImage();
                std::map<QRgb, int> counts;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x) ++counts[shot.pixel(x, y)];
                const auto fill = std::max_element(counts.begin(), counts.end(),
                                                   [](const auto& a, const auto& b) { return a.second < b.second; });
                EXPECT_GE(FontRole::contrast(button->palette().color(QPalette::ButtonText), QColor(fill->first)), 4.5)
                    << button->accessibleName().toStdString() << (selected ? " selected" : "") << " on "
                    << palette.color(QPalette::Window).name().toStdString();
                button->setDown(false);
            }
        }
    }
}

TEST_F(EntryRowTest, TheNumberReadsOnEveryPalette)
{
    // A lone "1", on the list's base, as drawn (most of a stroke, not its
    // darkest pixel), in the common desktops' sans faces that are installed:
    // on the desktop's usual palette, a dark one, and both high-contrast
    // ones, each given to the list after the row was made, as it stands on
    // the list once made and as a new theme comes.
    const StoredSong g = storedSong("Gee", "{key: G}\n[G]Words\n");
    build({g}, {entryFor(g)});
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const QPalette palettes[] = {FontRole::readablePalette(fusion->standardPalette()), PixelMeasures::dark(),
                                 PixelMeasures::highContrast(), PixelMeasures::highContrastLight()};
    const QFont desktop = QApplication::font();
    for (const char* family : {"DejaVu Sans", "Liberation Sans", "Noto Sans"}) {
        if (!QFontDatabase::hasFamily(family)) continue;
        QFont face = desktop;
        face.setFamilies({family});
        QApplication::setFont(face);
        for (const QPalette& palette : palettes) {
            SCOPED_TRACE(std::string(family) + " on " + palette.color(QPalette::Base).name().toStdString());
            QWidget list;
            list.setPalette(palette);
            list.setAutoFillBackground(true);
            list.setBackgroundRole(QPalette::Base);
            EntryRow& r = row(0);
            r.setParent(&list);
            r.resize(360, r.sizeHint().height());
            list.resize(r.size());
            const QImage shot = list.grab().toImage();
            const QRect number = r.numberLabel()->geometry();
            EXPECT_GE(PixelMeasures::typical(shot, number, palette.color(QPalette::Base)), 4.5);
            r.setParent(nullptr);
        }
    }
    QApplication::setFont(desktop);
}

TEST_F(EntryRowTest, ChoosingWritesOnlyThisEntryInOneChange)
{
    const StoredSong g = storedSong("Gee", "{key: G}\n[G]Words\n");
    build({g}, {entryFor(g), entryFor(g)}, Accidentals::automatic, true);
    EXPECT_FALSE(model->savePending());
    QSignalSpy changes(model.get(), &AppModel::libraryChanged);
    QSignalSpy previews(model.get(), &AppModel::previewPDFChanged);
    action(*row(1).keyMenu(), "A (+2)")->trigger();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(model->savePending());
    clock->advance(Milliseconds(1000));
    EXPECT_EQ(previews.count(), 1) << "one refresh";
    EXPECT_NE(readFile(libraryPath()).find("\"transpose\": 2"), std::string::npos) << "saved";
    EXPECT_EQ(model->library().books[0].entries[0].transpose, 0) << "the same song's other entry stays";
    EXPECT_EQ(model->library().books[0].entries[1].transpose, 2);

    action(*row(1).capoMenu(), "Capo 4")->trigger();
    action(*row(1).capoMenu(), "As written (no capo)")->trigger();
    EXPECT_EQ(changes.count(), 3);
    EXPECT_FALSE(model->library().books[0].entries[1].capo.has_value());

    EntryRow& unselected = row(0);
    model->setSelection(SidebarItem::allSongs());
    action(*unselected.keyMenu(), "A (+2)")->trigger();
    EXPECT_EQ(changes.count(), 3) << "no book selected: nothing changes";
}

TEST_F(EntryRowTest, AKeyChangedInPlacePlacesTheMenusAgainForTheirNewWidths)
{
    const StoredSong g = storedSong("Gee", "{key: G}\n[G]Words\n");
    build({g}, {entryFor(g), entryFor(g, 6)});
    // The least widths with the menus beside the title, for "G" and for "C♯".
    const int narrow = row(0).minimumSizeHint().width();
    ASSERT_GT(row(1).minimumSizeHint().width(), narrow);
    const struct {
        std::size_t from;
        std::int64_t transpose;
        bool under;
    } cases[] = {{0, 6, true}, {1, 0, false}};
    for (const auto& c : cases) {
        QWidget holder; // no layout: the row keeps the width it is given
        EntryRow r(*model, 1, model->library().books[0].entries[c.from], &holder);
        r.setGeometry(0, 0, narrow, 200);
        holder.resize(narrow, 200);
        holder.show();
        ASSERT_TRUE(HangGuard::settled(&holder));
        SongEntry changed = r.entry();
        changed.transpose = c.transpose;
        r.setEntry(changed);
        ASSERT_TRUE(HangGuard::settled(&holder));
        // Under where "C♯" no longer fits beside the title, beside again where "G" does.
        EXPECT_EQ(r.choicesUnder(), c.under) << c.transpose;
    }
}

TEST_F(EntryRowTest, ContextMenuEditsOrRemoves)
{
    const StoredSong g = storedSong("Gee");
    build({g}, {entryFor(g), entryFor(g)});
    const Uuid second = model->library().books[0].entries[1].id;
    model->setSelectedEntryIDs({second});
    auto menu = row(1).contextMenu();
    EXPECT_EQ(texts(*menu), (QStringList{"Edit Song", "Remove from Book"}));
    EXPECT_EQ(menu->accessibleName(), "Gee") << "read by the song's title as it opens";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(row(1).capoMenu())->text(QAccessible::Name), "Capo")
        << "as its button";
    action(*menu, "Remove from Book")->trigger();
    ASSERT_EQ(model->library().books[0].entries.size(), 1u);
    EXPECT_TRUE(model->selectedEntryIDs().empty());

    action(*row(0).contextMenu(), "Edit Song")->trigger();
    EXPECT_EQ(model->selection(), SidebarItem::allSongs());
    EXPECT_EQ(model->selectedSongID(), g.id);
}

} // namespace
} // namespace LyricadeTest
