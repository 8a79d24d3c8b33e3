// The song editor: loading a song, every keystroke stored at once with one
// file write after the pause, the stored text kept as it was but for what
// was typed, undo, warnings, the source line, the key text
// and stepper, and the quick reference.

#include "DetailFixtures.h"

#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/QuickReference.h"
#include "Lyricade/Views/SongEditorKey.h"
#include "Lyricade/Views/SongEditorText.h"
#include "Lyricade/Views/SongEditorView.h"
#include "Lyricade/Views/SongRootView.h"
#include "PixelMeasures.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QStyleFactory>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

#include <filesystem>

namespace LyricadeTest {
namespace {

class SongEditorTest : public DetailViewTest {
protected:
    // Two songs, the first (in G) selected under All Songs.
    AppModel& songs(bool persist = false)
    {
        Library library;
        library.songs.push_back(storedSong("Grace", "{key: G}\n[G]Amazing [C]grace\n"));
        library.songs.push_back(storedSong("Fall", "{key: F}\n[F]Autumn [Bb]leaves\n"));
        library.songs.back().fileName = "fall.cho";
        AppModel& m = make(persist, library);
        m.setSelectedSongID(library.songs.front().id);
        settle();
        return m;
    }
    SongEditorView& editor()
    {
        if (!editor_) {
            editor_ = std::make_unique<SongEditorView>(*model);
            editor_->resize(1000, 700);
            editor_->show();
        }
        return *editor_;
    }
    const StoredSong& song(int index) const { return model->library().songs.at(static_cast<std::size_t>(index)); }
    // An editor on a library of `sources`, the first selected.
    SongEditorView& editing(const std::vector<std::string>& sources)
    {
        Library library;
        for (const std::string& source : sources) library.songs.push_back(storedSong("", source));
        editor_.reset();
        make(false, library);
        model->setSelectedSongID(library.songs.front().id);
        return editor();
    }
    void placeCursor(int position, int anchor = -1)
    {
        QTextCursor cursor(editor_->editor()->document());
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        editor_->editor()->setTextCursor(cursor);
    }
    void undo() { QTest::keySequence(editor_->editor(), QKeySequence::Undo); }
    void redo() { QTest::keySequence(editor_->editor(), QKeySequence::Redo); }
    // The editor shows what the selected song holds, line for line.
    ::testing::AssertionResult showsTheSong() const
    {
        const QString raw = editor_->editor()->document()->toRawText();
        const QString stored = QString::fromStdString(model->selectedSong()->source);
        if (raw == SongEditorText::shownText(stored)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the editor shows " << raw.size() << " characters, the song "
                                             << SongEditorText::shownText(stored).size();
    }
    void TearDown() override
    {
        editor_.reset();
        DetailViewTest::TearDown();
    }
    std::unique_ptr<SongEditorView> editor_;
};

TEST_F(SongEditorTest, LoadingShowsTheSourceWithoutWritingAndSchedulesOnePreview)
{
    songs();
    QSignalSpy libraryChanges(model.get(), &AppModel::libraryChanged);
    auto& e = editor();
    EXPECT_EQ(e.editor()->toPlainText().toStdString(), song(0).source);
    EXPECT_EQ(libraryChanges.count(), 0);
    EXPECT_FALSE(model->savePending());
    EXPECT_TRUE(model->previewPending());

    model->setSelectedSongID(song(1).id);
    EXPECT_EQ(e.editor()->toPlainText().toStdString(), song(1).source);
    EXPECT_EQ(e.loadedID(), song(1).id);
    EXPECT_EQ(libraryChanges.count(), 0);
    QTest::keyClicks(e.editor(), "x");
    EXPECT_EQ(song(1).source, e.editor()->toPlainText().toStdString()) << "the edit goes to the new song";
    EXPECT_EQ(song(0).source, "{title: Grace}\n{key: G}\n[G]Amazing [C]grace\n");
}

// Songs written on other systems: CR LF and CR line ends, no-break and other
// Unicode spaces, tabs. Looking at them in Songbook mode writes nothing; an
// edit changes the stored text only where the user typed, and a line break
// typed in is the song's own line end.
TEST_F(SongEditorTest, SongsStayAsStoredAndAnEditChangesOnlyWhatWasTyped)
{
    Library library;
    library.songs.push_back(storedSong("", "{title: Grace}\r\n[G]Amazing\u00a0grace,\thow [C]sweet\r\n\r\n"));
    library.songs.push_back(storedSong("", "{title: Old Mac}\r[F]Old\u2003line\u00a0ends\r"));
    library.songs.push_back(storedSong("", "{title: Mixed}\r\n\n[C]one\u2028two\u2029three\n"));
    writeFile(libraryPath(), library.encode());
    const std::string stored = readFile(libraryPath());
    make(true);
    QSignalSpy libraryChanges(model.get(), &AppModel::libraryChanged);
    SongRootView root(*model, defaults());
    root.resize(1360, 860);
    root.show();
    settle();
    SongEditorView* e = root.findChild<SongEditorView*>();
    ASSERT_TRUE(e);
    for (const StoredSong& each : library.songs) {
        model->setSelectedSongID(each.id);
        settle();
        EXPECT_EQ(e->editor()->document()->toRawText(), SongEditorText::shownText(QString::fromStdString(each.source)));
    }
    EXPECT_EQ(libraryChanges.count(), 0);
    EXPECT_FALSE(model->savePending());
    clock->advance(AppModel::saveDelay * 2);
    EXPECT_EQ(readFile(libraryPath()), stored) << "byte for byte";

    // Typed at a place in the first song, then taken back.
    model->setSelectedSongID(library.songs[0].id);
    const std::string source = library.songs[0].source;
    QTextCursor at = e->editor()->document()->find(QStringLiteral("Amazing"));
    at.clearSelection();
    e->editor()->setTextCursor(at);
    const std::size_t place = source.find("Amazing") + 7;
    QTest::keyClicks(e->editor(), "!");
    EXPECT_EQ(song(0).source, std::string(source).insert(place, "!"));
    QTest::keyClick(e->editor(), Qt::Key_Return);
    EXPECT_EQ(song(0).source, std::string(source).insert(place, "!\r\n"));
    QTest::keyClick(e->editor(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(song(0).source, std::string(source).insert(place, "!\r\n\r\n"));
    for (int i = 0; i < 3; ++i) QTest::keyClick(e->editor(), Qt::Key_Backspace);
    EXPECT_EQ(song(0).source, source);

    // Of two line ends in a row, the one the user deleted goes.
    model->setSelectedSongID(library.songs[2].id);
    const std::string mixed = library.songs[2].source;
    e->editor()->setTextCursor(QTextCursor(e->editor()->document()->findBlockByNumber(1)));
    QTest::keyClick(e->editor(), Qt::Key_Backspace);
    EXPECT_EQ(song(2).source, std::string(mixed).erase(mixed.find("\r\n"), 2));
    EXPECT_EQ(song(1).source, library.songs[1].source);
}

// Songs that mix CR, LF and CR LF, one starting with a CR and one with an LF.
// A typed line break takes the form of the line end beside it, so it never
// joins one into a CR LF and always reaches the song; undo and redo give back
// the line ends the editor no longer knows; a lone CR and a lone LF brought
// together by a deletion stay two line ends, and the LF comes back as soon as
// something stands between them again.
TEST_F(SongEditorTest, MixedLineEndsKeepEveryOtherByteThroughReturnBackspaceUndoAndRedo)
{
    struct Case {
        std::string song;
        std::string returnAfterA;       // Return at the end of A
        std::string returnBeforeC;      // Return at the start of C
        std::string crLfDeleted;        // Backspace at the start of C
        std::string aDeleted;           // Backspace after A
        std::string xInPlaceOfA;        // then x typed
    };
    const Case cases[] = {
        {"\rA\nB\r\nC", "\rA\n\nB\r\nC", "\rA\nB\r\n\r\nC", "\rA\nBC", "\r\r\nB\r\nC", "\rx\nB\r\nC"},
        {"\nA\rB\r\nC", "\nA\r\rB\r\nC", "\nA\rB\r\n\r\nC", "\nA\rBC", "\n\rB\r\nC", "\nx\rB\r\nC"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(::testing::PrintToString(each.song));
        auto& e = editing({each.song});
        const auto stored = [&] { return song(0).source; };
        // Shown as ¶A¶B¶C: A ends at 2, C starts at 5.
        placeCursor(2);
        QTest::keyClick(e.editor(), Qt::Key_Return);
        EXPECT_EQ(stored(), each.returnAfterA);
        EXPECT_TRUE(showsTheSong());
        undo();
        EXPECT_EQ(stored(), each.song);
        redo();
        EXPECT_EQ(stored(), each.returnAfterA);
        QTest::keyClick(e.editor(), Qt::Key_Backspace);
        EXPECT_EQ(stored(), each.song);

        placeCursor(5);
        QTest::keyClick(e.editor(), Qt::Key_Return);
        EXPECT_EQ(stored(), each.returnBeforeC);
        undo();
        EXPECT_EQ(stored(), each.song);

        placeCursor(5);
        QTest::keyClick(e.editor(), Qt::Key_Backspace);
        EXPECT_EQ(stored(), each.crLfDeleted);
        undo();
        EXPECT_EQ(stored(), each.song) << "the CR LF comes back";
        redo();
        EXPECT_EQ(stored(), each.crLfDeleted);
        undo();
        EXPECT_EQ(stored(), each.song);

        placeCursor(2);
        QTest::keyClick(e.editor(), Qt::Key_Backspace);
        EXPECT_EQ(stored(), each.aDeleted);
        EXPECT_TRUE(showsTheSong()) << "the blank line is in the song";
        QTest::keyClick(e.editor(), Qt::Key_X);
        EXPECT_EQ(stored(), each.xInPlaceOfA);
        undo();
        EXPECT_EQ(stored(), each.aDeleted);
        undo();
        EXPECT_EQ(stored(), each.song);
        redo();
        EXPECT_EQ(stored(), each.aDeleted);
        redo();
        EXPECT_EQ(stored(), each.xInPlaceOfA);
    }
}

// A selection dragged elsewhere in the song takes its own line ends along
// and changes no other byte, through undo and redo.
TEST_F(SongEditorTest, AMovedSelectionKeepsItsLineEndsThroughUndoAndRedo)
{
    const std::string mixed = "Word one\r\nline two\rline three\nline four\r\nend";
    struct Case {
        std::string source;
        int start, end, to; // in the editor's text, before the move
        std::string moved;
    };
    const Case cases[] = {
        {mixed, 0, 4, 42, " one\r\nline two\rline three\nline four\r\nendWord"},
        {mixed, 14, 29, 0, "two\rline three\nWord one\r\nline line four\r\nend"},
        {mixed, 5, 18, 39, "Word line three\nline four\r\none\r\nline two\rend"},
        // Moved after a lone CR, a lone LF is kept apart from it as the editor shows.
        {"A\rB\nC", 3, 5, 2, "A\r\r\nCB"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(::testing::PrintToString(each.moved));
        auto& e = editing({each.source});
        placeCursor(each.end, each.start);
        e.moveSelection(each.to);
        EXPECT_EQ(song(0).source, each.moved);
        EXPECT_TRUE(showsTheSong());
        undo();
        EXPECT_EQ(song(0).source, each.source) << "one undo step";
        redo();
        EXPECT_EQ(song(0).source, each.moved);
    }
    // Onto itself nothing moves.
    const int steps = editor().editor()->document()->availableUndoSteps();
    placeCursor(4, 0);
    editor().moveSelection(2);
    EXPECT_EQ(editor().editor()->document()->availableUndoSteps(), steps);
}

// Of two line ends in a row, the one the user deleted goes, also after the
// other one was deleted and the deletion undone.
TEST_F(SongEditorTest, OfTwoLineEndsTheDeletedOneGoesAlsoAfterAnUndo)
{
    auto& e = editing({"A\r\n\nB"});
    placeCursor(3);
    QTest::keyClick(e.editor(), Qt::Key_Backspace);
    EXPECT_EQ(song(0).source, "A\r\nB");
    undo();
    EXPECT_EQ(song(0).source, "A\r\n\nB");
    placeCursor(2);
    QTest::keyClick(e.editor(), Qt::Key_Backspace);
    EXPECT_EQ(song(0).source, "A\nB");
    undo();
    EXPECT_EQ(song(0).source, "A\r\n\nB");
}

// A byte-order mark at the start is no character of the editor's, and no
// edit, undo or redo takes it away, in the library or in its file.
TEST_F(SongEditorTest, ALeadingByteOrderMarkStays)
{
    const std::string mark = "\xEF\xBB\xBF";
    const std::string original = mark + "{title: Marked}\r\nA\r\n";
    Library library;
    library.songs.push_back(storedSong("", original));
    writeFile(libraryPath(), library.encode());
    make(true);
    model->setSelectedSongID(library.songs.front().id);
    auto& e = editor();
    EXPECT_FALSE(e.editor()->document()->toRawText().startsWith(QChar(0xfeff)));
    placeCursor(0);
    QTest::keyClick(e.editor(), Qt::Key_X);
    EXPECT_EQ(song(0).source, mark + "x{title: Marked}\r\nA\r\n");
    e.editor()->selectAll();
    QTest::keyClicks(e.editor(), "new");
    EXPECT_EQ(song(0).source, mark + "new");
    e.editor()->selectAll();
    QTest::keyClick(e.editor(), Qt::Key_Delete);
    EXPECT_EQ(song(0).source, mark);
    while (e.editor()->document()->isUndoAvailable()) undo();
    EXPECT_EQ(song(0).source, original);
    redo();
    EXPECT_EQ(song(0).source, mark + "x{title: Marked}\r\nA\r\n");
    clock->advance(AppModel::saveDelay);
    EXPECT_EQ(Library::decode(readFile(libraryPath())).songs.front().source, song(0).source);
}

// Random typing, line breaks, deletions, replaced selections, pastes, undos
// and redos in songs of every mix of line ends: the editor always shows what the song
// holds, undoing everything gives the song back byte for byte, and redoing
// everything again gives the edited song back.
TEST_F(SongEditorTest, RandomEditsUndoneAndRedoneGiveBackEveryByte)
{
    const std::vector<std::string> sources = {"\rA\nB\r\nC", "\nA\rB\r\nC\r", "\r\n\n\rX\r\r\n\n\r",
                                              "\xEF\xBB\xBF" "A\r\nB\nC\rD"};
    auto& e = editing(sources);
    QPlainTextEdit* text = e.editor();
    QApplication::clipboard()->setText(QStringLiteral("p\r\nq\rr\n"));
    for (std::size_t index = 0; index < sources.size(); ++index) {
        for (quint32 seed = 1; seed <= 5; ++seed) {
            SCOPED_TRACE(::testing::Message() << "song " << index << ", seed " << seed);
            model->setSelectedSongID(std::nullopt);
            model->setSelectedSongID(song(static_cast<int>(index)).id);
            QRandomGenerator random(seed);
            const auto anywhere = [&] { return static_cast<int>(random.bounded(text->document()->characterCount())); };
            for (int step = 0; step < 60; ++step) {
                const quint32 what = random.bounded(10);
                if (what < 8) placeCursor(anywhere(), what >= 5 ? anywhere() : -1);
                switch (what) {
                case 0: QTest::keyClick(text, Qt::Key_X); break;
                case 1: QTest::keyClick(text, Qt::Key_Return); break;
                case 2: case 5: QTest::keyClick(text, Qt::Key_Backspace); break;
                case 3: QTest::keyClick(text, Qt::Key_Delete); break;
                case 4: QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier); break;
                case 6: QTest::keyClick(text, Qt::Key_Y); break;
                case 7: QTest::keySequence(text, QKeySequence::Paste); break;
                case 8: undo(); break;
                default: redo(); break;
                }
                ASSERT_TRUE(showsTheSong()) << "after step " << step;
            }
            while (text->document()->isRedoAvailable()) redo();
            ASSERT_TRUE(showsTheSong());
            const std::string edited = song(static_cast<int>(index)).source;
            while (text->document()->isUndoAvailable()) undo();
            EXPECT_EQ(song(static_cast<int>(index)).source, sources[index]);
            while (text->document()->isRedoAvailable()) redo();
            EXPECT_EQ(song(static_cast<int>(index)).source, edited);
            model->updateSource(song(static_cast<int>(index)).id, sources[index]);
        }
    }
}

TEST_F(SongEditorTest, EachKeystrokeIsStoredAtOnceAndTheFileIsWrittenOnceAfterThePause)
{
    songs(true);
    clock->advance(AppModel::saveDelay);
    std::filesystem::remove(libraryPath());
    auto& e = editor();
    const std::string before = song(0).source;
    QSignalSpy libraryChanges(model.get(), &AppModel::libraryChanged);

    e.editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(e.editor(), Qt::Key_A);
    EXPECT_EQ(song(0).source, before + "a");
    clock->advance(Milliseconds(300));
    QTest::keyClick(e.editor(), Qt::Key_Backspace);
    EXPECT_EQ(song(0).source, before);
    EXPECT_EQ(libraryChanges.count(), 2);

    clock->advance(Milliseconds(599));
    EXPECT_FALSE(std::filesystem::exists(libraryPath())) << "0.6 s after the last keystroke, not the first";
    clock->advance(Milliseconds(1));
    EXPECT_TRUE(std::filesystem::exists(libraryPath()));
    std::filesystem::remove(libraryPath());
    clock->advance(Milliseconds(5000));
    EXPECT_FALSE(std::filesystem::exists(libraryPath())) << "written once";
}

TEST_F(SongEditorTest, UndoAndRedoRestoreTheTextInTheLibrary)
{
    songs();
    auto& e = editor();
    const std::string before = song(0).source;
    e.editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(e.editor(), "la la");
    EXPECT_EQ(song(0).source, before + "la la");
    QTest::keySequence(e.editor(), QKeySequence::Undo);
    EXPECT_EQ(e.editor()->toPlainText().toStdString(), before);
    EXPECT_EQ(song(0).source, before);
    QTest::keySequence(e.editor(), QKeySequence::Redo);
    EXPECT_EQ(song(0).source, before + "la la");
    // Loading a song starts a fresh history: undo never brings back another song's text.
    model->setSelectedSongID(song(1).id);
    QTest::keySequence(e.editor(), QKeySequence::Undo);
    EXPECT_EQ(e.editor()->toPlainText().toStdString(), song(1).source);
}

TEST_F(SongEditorTest, EditingWithNoSongSelectedChangesNothing)
{
    songs();
    model->setSelectedSongID(std::nullopt);
    auto& e = editor();
    QSignalSpy libraryChanges(model.get(), &AppModel::libraryChanged);
    QTest::keyClicks(e.editor(), "words");
    EXPECT_EQ(libraryChanges.count(), 0);
    EXPECT_EQ(song(0).source, "{title: Grace}\n{key: G}\n[G]Amazing [C]grace\n");
    EXPECT_EQ(e.sourceLine()->text(), "Chords go in [brackets] before the syllable");
    EXPECT_EQ(e.keyStepper()->text(), "as written");
}

TEST_F(SongEditorTest, TheSourceLineNamesTheImportedFile)
{
    songs();
    auto& e = editor();
    EXPECT_EQ(e.sourceLine()->text(), "Chords go in [brackets] before the syllable");
    model->setSelectedSongID(song(1).id);
    EXPECT_EQ(e.sourceLine()->text(), "Imported from fall.cho");
}

TEST_F(SongEditorTest, AtMostFourWarningsAreListed)
{
    Library library;
    std::string body;
    for (int i = 1; i <= 6; ++i) body += "{nonsense" + std::to_string(i) + ": x}\n";
    library.songs.push_back(storedSong("Odd", body + "[G]la\n"));
    library.songs.push_back(storedSong("Plain"));
    make(false, library);
    model->setSelectedSongID(library.songs.front().id);
    settle();
    ASSERT_EQ(model->previewWarnings().size(), 6);
    auto& e = editor();
    EXPECT_EQ(e.shownWarnings(), model->previewWarnings().mid(0, 4));

    model->setSelectedSongID(library.songs.back().id);
    settle();
    EXPECT_TRUE(e.shownWarnings().isEmpty());
}

TEST(KeyText, TheKeyMovedByTheTransposition)
{
    const struct {
        const char* key;
        int transpose;
        const char* text;
    } cases[] = {
        {"", 0, "as written"},       {"", -3, "-3"},          {"", 4, "+4"},
        {"G", 2, "Key A (+2)"},      {"F", -2, "Key E♭ (-2)"}, {"Am", 3, "Key Cm (+3)"},
        {"G", 0, "Key G (as written)"}, {"E", -5, "Key B (-5)"}, {"Bb", 6, "Key E (+6)"},
    };
    for (const auto& c : cases) {
        const auto key = *c.key ? Key::parse(c.key) : std::nullopt;
        EXPECT_EQ(keyText(key, c.transpose).toStdString(), c.text) << c.key << " " << c.transpose;
    }
}

TEST_F(SongEditorTest, TheStepperWrapsAndASongLoadResetsIt)
{
    songs();
    auto& e = editor();
    const std::string source = song(0).source;
    for (int i = 0; i < 6; ++i) e.keyStepper()->upButton()->click();
    EXPECT_EQ(model->editorTranspose(), 6);
    EXPECT_EQ(e.keyStepper()->text(), "Key D♭ (+6)");
    e.keyStepper()->upButton()->click();
    EXPECT_EQ(model->editorTranspose(), -5);
    e.keyStepper()->downButton()->click();
    EXPECT_EQ(model->editorTranspose(), 6);
    EXPECT_EQ(song(0).source, source) << "the stepper moves the preview only";

    model->setSelectedSongID(song(1).id);
    EXPECT_EQ(model->editorTranspose(), 0);
    EXPECT_EQ(e.keyStepper()->text(), "Key F (as written)");
}

TEST_F(SongEditorTest, TheStepperArrowsGrowWithTheDesktopsFont)
{
    songs();
    const QFont usual = QApplication::font();
    const QSize before = KeyStepper(*model).upButton()->size();
    QFont large = usual;
    large.setPointSizeF(usual.pointSizeF() * 1.5); // the desktop at 144 dpi
    QApplication::setFont(large);
    KeyStepper stepper(*model);
    QApplication::setFont(usual);
    EXPECT_GT(stepper.upButton()->height(), before.height());
    EXPECT_GT(stepper.upButton()->width(), before.width());
    EXPECT_EQ(stepper.downButton()->size(), stepper.upButton()->size());
}

TEST_F(SongEditorTest, TabIsTypedButCtrlTabLeavesTheSongEitherWay)
{
    songs();
    auto& e = editor();
    e.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&e));
    const std::string before = song(0).source;
    e.editor()->setFocus();
    QTest::keyClick(e.editor(), Qt::Key_Tab, Qt::ControlModifier);
    QWidget* after = QApplication::focusWidget();
    EXPECT_NE(after, e.editor());
    EXPECT_TRUE(after && (after->focusPolicy() & Qt::TabFocus));
    EXPECT_EQ(song(0).source, before);

    e.editor()->setFocus();
    QTest::keyClick(e.editor(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), e.helpButton()) << "back to the control before the text";
    EXPECT_EQ(song(0).source, before);

    e.editor()->setFocus();
    QTest::keyClick(e.editor(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), e.editor());
    const QString description = QAccessible::queryAccessibleInterface(e.editor())->text(QAccessible::Description);
    EXPECT_TRUE(description.contains("Ctrl+Tab") && description.contains("Ctrl+Shift+Tab")) << description.toStdString();
    EXPECT_NE(song(0).source.find('\t'), std::string::npos) << "a plain Tab is typed";
}

TEST_F(SongEditorTest, TheHelpButtonTogglesTheQuickReference)
{
    songs();
    auto& e = editor();
    EXPECT_EQ(e.helpButton()->accessibleName(), "ChordPro quick reference");
    e.helpButton()->click();
    ASSERT_TRUE(e.quickReference());
    EXPECT_TRUE(e.quickReference()->isVisible());
    EXPECT_GE(e.quickReference()->geometry().top(), e.helpButton()->mapToGlobal(QPoint(0, 0)).y())
        << "below the button";
    e.quickReference()->close();
    EXPECT_FALSE(e.quickReference());
    e.helpButton()->click();
    ASSERT_TRUE(e.quickReference());

    // A window of its own that takes the focus, named for a screen reader, closed by Escape.
    QWidget* card = e.quickReference();
    EXPECT_TRUE(card->isWindow());
    EXPECT_NE(card->windowType(), Qt::Popup);
    ASSERT_TRUE(HangGuard::windowActive(card));
    // The focus on its card, which scrolls from the keyboard and reads by its title: no unnamed stop.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus && card->isAncestorOf(focus));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name), "ChordPro in a nutshell");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(card)->text(QAccessible::Name), "ChordPro quick reference");
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_FALSE(e.quickReference());
}

TEST(CheatSheetCard, ElevenRowsInOrderBetweenTitleAndFooterAtAFixedWidth)
{
    CheatSheet card;
    card.show();
    const QStringList texts = card.texts();
    ASSERT_EQ(texts.size(), 2 + 2 * 11);
    EXPECT_EQ(texts.front(), "ChordPro in a nutshell");
    EXPECT_EQ(texts.back(), "Chords-over-lyrics text files are converted when you import them.");
    EXPECT_EQ(texts[1], "{title: Amazing Grace}");
    EXPECT_EQ(texts[2], "title (also {subtitle}, {artist})");
    EXPECT_EQ(texts[3], "{key: G}  {capo: 2}  {tempo: 80}");
    EXPECT_EQ(texts[7], "{start_of_verse: Verse 1} … {end_of_verse}");
    EXPECT_EQ(texts[21], "{new_page}  {column_break}");
    EXPECT_EQ(texts[22], "break here");
    EXPECT_EQ(card.width(), 440);
    EXPECT_EQ(card.height(), card.sizeHint().height()) << "as tall as its content";
}

TEST_F(SongEditorTest, TheQuickReferenceButtonAndTheTransposeArrowsShowOnEveryPalette)
{
    // Icons drawn in the palette's text colour, at 3 : 1 or more on the window
    // behind them, whatever the theme, and drawn again when it changes.
    installDesktopAccessible();
    songs();
    auto& view = editor();
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const QPalette palettes[] = {FontRole::readablePalette(fusion->standardPalette()), PixelMeasures::dark(),
                                 PixelMeasures::highContrast(), PixelMeasures::highContrastLight()};
    for (const QPalette& palette : palettes) {
        view.setPalette(palette);
        for (QToolButton* button : {view.helpButton(), view.keyStepper()->upButton(), view.keyStepper()->downButton()}) {
            SCOPED_TRACE(button->accessibleName().toStdString() + " on " +
                         palette.color(QPalette::Window).name().toStdString());
            const QImage shot = button->grab().toImage();
            EXPECT_GE(PixelMeasures::strongest(shot, shot.rect(), palette.color(QPalette::Window)), 3.0);
        }
    }
    // Named by its name alone: its tip repeats it.
    QAccessibleInterface* help = QAccessible::queryAccessibleInterface(view.helpButton());
    EXPECT_EQ(help->text(QAccessible::Name), "ChordPro quick reference");
    EXPECT_EQ(help->text(QAccessible::Description), "");
}

} // namespace
} // namespace LyricadeTest
