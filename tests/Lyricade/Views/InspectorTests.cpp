// The print-settings inspector: one field of the selected book per control,
// the presets' mapping, no write on display, the Flowing rule and high
// contrast's disabled controls.

#include "DetailFixtures.h"

#include "Lyricade/Views/InspectorParts.h"
#include "Lyricade/Views/InspectorPresets.h"
#include "Lyricade/Views/InspectorView.h"
#include "Lyricade/Views/PreviewArea.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QWheelEvent>

#include <functional>

namespace LyricadeTest {
namespace {

class InspectorTest : public DetailViewTest {
protected:
    InspectorView& inspector()
    {
        if (!view_) {
            view_ = std::make_unique<InspectorView>(*model);
            view_->resize(290, 500);
            view_->show();
        }
        return *view_;
    }
    void TearDown() override
    {
        view_.reset();
        DetailViewTest::TearDown();
    }
    static void choose(QComboBox* combo, int row)
    {
        combo->setCurrentIndex(row);
        emit combo->activated(row);
    }
    static QStringList items(QComboBox* combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts;
    }
    std::unique_ptr<InspectorView> view_;
};

TEST_F(InspectorTest, EveryControlWritesOneFieldOfTheSelectedBookAsOneChange)
{
    struct Case {
        const char* control;
        std::function<void(InspectorView&)> act;
        std::function<void(BookSettings&)> expect;
    };
    const std::vector<Case> cases = {
        {"Preset", [](auto& v) { choose(v.presetPicker(), 1); }, [](auto& s) { s.fontSize = 24; }},
        {"Lyrics size", [](auto& v) { v.sizeSlider()->setValue(210); }, [](auto& s) { s.fontSize = 21; }},
        {"Page size", [](auto& v) { choose(v.pageSizePicker(), 3); }, [](auto& s) { s.pageSize = PageSize::a5; }},
        {"Typeface", [](auto& v) { choose(v.typefacePicker(), 1); }, [](auto& s) { s.typeface = Typeface::serif; }},
        {"Bold chorus", [](auto& v) { v.boldChorusToggle()->click(); }, [](auto& s) { s.boldChorus = false; }},
        {"Chords in color", [](auto& v) { v.chordsInColorToggle()->click(); }, [](auto& s) { s.chordsInColor = false; }},
        {"Songs", [](auto& v) { choose(v.flowPicker(), 1); }, [](auto& s) { s.flow = Flow::flowing; }},
        {"Columns", [](auto& v) { v.columnsPicker()->button(1)->click(); }, [](auto& s) { s.columns = 2; }},
        {"Two-page songs", [](auto& v) { v.spreadsToggle()->click(); }, [](auto& s) { s.spreads = true; }},
        {"Chorus each time", [](auto& v) { v.repeatChorusToggle()->click(); }, [](auto& s) { s.repeatChorus = true; }},
        {"Chord diagrams", [](auto& v) { v.diagramsToggle()->click(); }, [](auto& s) { s.diagrams = false; }},
        {"Spelling", [](auto& v) { choose(v.spellingPicker(), 2); }, [](auto& s) { s.accidentals = Accidentals::flats; }},
        {"Nashville", [](auto& v) { v.nashvilleToggle()->click(); }, [](auto& s) { s.nashville = true; }},
        {"Set list page", [](auto& v) { v.setListPageToggle()->click(); }, [](auto& s) { s.setListPage = true; }},
        {"Contents", [](auto& v) { v.contentsToggle()->click(); }, [](auto& s) { s.tableOfContents = true; }},
        {"Index", [](auto& v) { v.indexToggle()->click(); }, [](auto& s) { s.index = true; }},
        {"Page numbers", [](auto& v) { v.pageNumbersToggle()->click(); }, [](auto& s) { s.pageNumbers = false; }},
    };
    for (const Case& c : cases) {
        view_.reset();
        bookModel(bookLibrary(2), true);
        clock->advance(AppModel::saveDelay);
        auto& v = inspector();
        BookSettings expected = book().settings;
        c.expect(expected);
        QSignalSpy changes(model.get(), &AppModel::libraryChanged);
        c.act(v);
        EXPECT_EQ(changes.count(), 1) << c.control;
        EXPECT_EQ(book().settings, expected) << c.control;
        EXPECT_TRUE(model->savePending()) << c.control;
        EXPECT_TRUE(model->previewPending()) << c.control;
    }
}

TEST(InspectorPresets, SizesAreWholePointsWithinTheSongbookRange)
{
    const struct {
        double in, out;
    } cases[] = {{14, 16}, {32, 28}, {22.5, 23}, {18.4, 18}, {16, 16}, {27.5, 28}, {28.4, 28}};
    for (const auto& c : cases) EXPECT_EQ(presetSize(c.in), c.out) << c.in;

    const std::vector<SongHost::Preset> host = {{"Large Print", 18}, {"Extra Large", 24}};
    EXPECT_EQ(presetOptions(host, 24), (std::vector<PresetOption>{{"Large Print", 18}, {"Extra Large", 24}}));
    EXPECT_EQ(presetOptions(host, 19).back(), (PresetOption{"19 pt", 19}));
    EXPECT_EQ(presetOptions(host, 18.5).back(), (PresetOption{"18 pt", 18.5}));
    EXPECT_TRUE(presetOptions({}, 19).empty());
}

TEST_F(InspectorTest, AFractionalSizeIsShownAsItIsAndNeverWrittenBack)
{
    Library library = bookLibrary(2);
    library.books.front().settings.fontSize = 18.5;
    bookModel(library);
    QSignalSpy changes(model.get(), &AppModel::libraryChanged);
    auto& v = inspector();
    EXPECT_EQ(v.sizeText()->text(), "18 pt");
    EXPECT_EQ(v.sizeSlider()->points(), 18.5);
    EXPECT_EQ(v.sizeSlider()->accessibleDescription(), "18 points");
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(v.sizeSlider());
    EXPECT_EQ(slider->valueInterface()->currentValue().toDouble(), 18.5) << "points, not the slider's position";
    EXPECT_EQ(slider->valueInterface()->maximumValue().toDouble(), 28);
    EXPECT_EQ(slider->text(QAccessible::Value), "18 points");
    EXPECT_EQ(items(v.presetPicker()), QStringList({"Large Print", "Extra Large", "18 pt"}));
    EXPECT_EQ(v.presetPicker()->currentIndex(), 2);
    // Other edits redraw the form; the size stays 18.5 until it is edited.
    v.nashvilleToggle()->click();
    model->setSelection(SidebarItem::allSongs());
    model->setSelection(SidebarItem::book(book().id));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(book().settings.fontSize, 18.5);

    choose(v.presetPicker(), 0);
    EXPECT_EQ(book().settings.fontSize, 18);
    EXPECT_EQ(items(v.presetPicker()), QStringList({"Large Print", "Extra Large"})) << "the extra option is gone";
}

TEST_F(InspectorTest, NoPresetsLeaveOnlyHighContrastInLargePrint)
{
    make(false, bookLibrary(1));
    model.reset();
    model = std::make_unique<AppModel>(SongHost::silent(), false, bookLibrary(1), services());
    model->setSelection(SidebarItem::book(model->library().books.front().id));
    auto& v = inspector();
    EXPECT_FALSE(v.presetPicker()->isVisible());
    EXPECT_FALSE(InspectorParts::captionOf(v.presetPicker())->isVisible());
    EXPECT_TRUE(v.highContrastToggle()->isVisible());
}

TEST_F(InspectorTest, FlowingHidesTwoPageSongsWithoutChangingIt)
{
    bookModel(bookLibrary(2));
    auto& v = inspector();
    EXPECT_TRUE(v.spreadsToggle()->isVisible());
    choose(v.flowPicker(), 1);
    EXPECT_FALSE(v.spreadsToggle()->isVisible());
    EXPECT_FALSE(book().settings.spreads);
    choose(v.flowPicker(), 0);
    EXPECT_TRUE(v.spreadsToggle()->isVisible());
    EXPECT_FALSE(v.spreadsToggle()->isChecked());
}

TEST_F(InspectorTest, HighContrastDisablesTwoTogglesAndOnlyCallsTheHost)
{
    bookModel(bookLibrary(2));
    auto& v = inspector();
    QSignalSpy changes(model.get(), &AppModel::libraryChanged);
    v.highContrastToggle()->click();
    EXPECT_EQ(recorder.contrast, std::vector<bool>{true});
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(v.highContrastToggle()->isChecked()) << "until the application hands back the style";

    SongStyle style = model->style();
    style.highContrast = true;
    model->applyStyle(style);
    EXPECT_TRUE(v.highContrastToggle()->isChecked());
    EXPECT_FALSE(v.boldChorusToggle()->isEnabled());
    EXPECT_FALSE(v.chordsInColorToggle()->isEnabled());
    EXPECT_TRUE(v.boldChorusToggle()->isChecked()) << "stored values stay";
    EXPECT_TRUE(v.nashvilleToggle()->isEnabled());
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(InspectorTest, SectionsLabelsAndTheLicensingLink)
{
    bookModel(bookLibrary(2, PageSize::letter, BookKind::setList));
    auto& v = inspector();
    EXPECT_EQ(v.sectionTitles(), QStringList({"Large print", "Print", "Layout", "Chords", "Pages", ""}));
    EXPECT_EQ(items(v.pageSizePicker()),
              QStringList({"Letter (8.5 × 11 in)", "A4", "Half Letter (5.5 × 8.5 in)", "A5"}));
    EXPECT_EQ(items(v.typefacePicker()), QStringList({"Helvetica Neue", "Serif (Charter)"}));
    EXPECT_EQ(items(v.spellingPicker()), QStringList({"By key", "Sharps (♯)", "Flats (♭)"}));
    EXPECT_EQ(items(v.flowPicker()), QStringList({"One song per page", "Flowing"}));
    EXPECT_EQ(v.setListPageToggle()->accessibleName(), "Set list page");
    model->changeLibrary([](Library& l) { l.books.front().kind = BookKind::book; });
    EXPECT_EQ(v.setListPageToggle()->accessibleName(), "Set list page at the front");
    EXPECT_EQ(InspectorParts::captionOf(v.setListPageToggle())->text(), "Set list page at the front");
    // The small and large "A" beside the size slider are only drawn: nothing beside it is read out.
    for (QWidget* mark : v.sizeSlider()->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (mark != v.sizeSlider()) {
            EXPECT_EQ(QAccessible::queryAccessibleInterface(mark)->text(QAccessible::Name), "");
        }
    }

    v.licensingLink()->click();
    EXPECT_TRUE(model->licensingShown());
    model->setSelection(SidebarItem::allSongs());
    EXPECT_FALSE(v.form()->isVisible()) << "no book, no form";
}

TEST_F(InspectorTest, SegmentedChoicesReadAsNamedGroupsOfRadioButtons)
{
    // Qt reads a checkable tool button as a check box, in no group.
    bookModel(bookLibrary(2, PageSize::letter));
    auto& v = inspector();
    PreviewArea preview(*model, defaults());
    v.columnsPicker()->button(1)->click();
    const struct {
        QButtonGroup* choice;
        QString group;
        QStringList names;
        int checked;
    } cases[] = {{v.columnsPicker(), "Columns", {"One", "Two"}, 1},
                 {preview.modePicker(), "Preview", {"Pages", "Booklet"}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group.toStdString());
        QStringList names;
        for (int id = 0; id < c.choice->buttons().size(); ++id) {
            QAccessibleInterface* segment = QAccessible::queryAccessibleInterface(c.choice->button(id));
            EXPECT_EQ(segment->role(), QAccessible::RadioButton);
            EXPECT_EQ(segment->state().checked, id == c.checked);
            names << segment->text(QAccessible::Name);
            QAccessibleInterface* holder = segment->parent();
            ASSERT_NE(holder, nullptr);
            EXPECT_EQ(holder->role(), QAccessible::Grouping);
            EXPECT_EQ(holder->text(QAccessible::Name), c.group);
        }
        EXPECT_EQ(names, c.names);
        // One Tab stop, the chosen segment; the arrows move the choice, round from the last to the first.
        QAbstractButton* chosen = c.choice->button(c.checked);
        for (QAbstractButton* each : c.choice->buttons())
            EXPECT_EQ(each->focusPolicy() == Qt::NoFocus, each != chosen);
        const int next = (c.checked + 1) % 2;
        QTest::keyClick(chosen, Qt::Key_Right);
        EXPECT_EQ(c.choice->checkedId(), next);
        EXPECT_NE(c.choice->button(next)->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(chosen->focusPolicy(), Qt::NoFocus);
        QTest::keyClick(c.choice->button(next), Qt::Key_Down);
        EXPECT_EQ(c.choice->checkedId(), c.checked);
    }
    EXPECT_EQ(book().settings.columns, 2) << "the arrows choose as a click does";
}

TEST_F(InspectorTest, PickersShowTheirLongestChoiceWholeAtLargeFontsAndTheLeastWidth)
{
    bookModel(bookLibrary(2));
    const LargeFonts large; // as they are when the window is made
    auto& v = inspector();
    // With room, each picker is as wide as its longest choice, on one line;
    // in the form's least width its choices wrap in a taller box, none cut
    // and none scrolled to.
    for (const bool room : {true, false}) {
        SCOPED_TRACE(room ? "with room" : "at the least width");
        v.resize(room ? v.neededWidth() : v.leastWidth(), 600);
        ASSERT_TRUE(HangGuard::settled(&v));
        EXPECT_FALSE(v.horizontalScrollBar()->isVisible());
        for (QComboBox* combo : {v.pageSizePicker(), v.typefacePicker(), v.spellingPicker(), v.flowPicker()}) {
            SCOPED_TRACE(combo->accessibleName().toStdString());
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const QRect field =
                combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
            for (const QString& text : items(combo)) {
                // A measure in brackets (8.5 × 11 in) is not split across lines.
                QString unsplit = text;
                const qsizetype open = unsplit.indexOf('(');
                if (open >= 0) unsplit = unsplit.left(open) + unsplit.mid(open).replace(' ', QChar::Nbsp);
                const QRect shown =
                    combo->fontMetrics().boundingRect(QRect(0, 0, field.width(), 0), Qt::TextWordWrap, unsplit);
                EXPECT_LE(shown.width(), field.width()) << text.toStdString();
                EXPECT_LE(shown.height(), field.height()) << text.toStdString();
            }
            if (room) {
                EXPECT_GE(combo->width(), combo->sizeHint().width());
                EXPECT_EQ(combo->height(), combo->sizeHint().height());
            }
        }
        if (!room) {
            EXPECT_GT(v.pageSizePicker()->height(), v.pageSizePicker()->sizeHint().height()) << "wrapped";
        }
    }
}

TEST_F(InspectorTest, TheWheelScrollsPastAnUnfocusedPicker)
{
    bookModel(bookLibrary(2));
    auto& v = inspector();
    v.resize(290, 200);
    QApplication::processEvents();
    const int before = v.spellingPicker()->currentIndex();
    const QPointF at(5, 5);
    QWheelEvent wheel(at, v.spellingPicker()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(v.spellingPicker(), &wheel);
    EXPECT_EQ(v.spellingPicker()->currentIndex(), before);
    EXPECT_GT(v.verticalScrollBar()->value(), 0);
    EXPECT_EQ(book().settings.accidentals, Accidentals::automatic);
}

} // namespace
} // namespace LyricadeTest
