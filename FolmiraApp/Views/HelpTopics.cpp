#include "FolmiraApp/Views/HelpTopics.h"

#include "FolmiraApp/Model/QtText.h"
#include "FolmiraKit/FolmiraKit.h"

#include <algorithm>

namespace FolmiraApp {

namespace {

constexpr std::array<HelpTopic, 6> songbookTopics{HelpTopic::songs,     HelpTopic::songFiles, HelpTopic::books,
                                                  HelpTopic::transpose, HelpTopic::songPrint, HelpTopic::licensing};
constexpr std::array<HelpTopic, 1> moreTopics{HelpTopic::keys};

template <std::size_t N>
bool contains(const std::array<HelpTopic, N>& list, HelpTopic topic)
{
    return std::find(list.begin(), list.end(), topic) != list.end();
}

QStringList documentPages(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::start:
        return {
            QStringLiteral("The picker at the top of the window chooses what to make: Document turns a file into a "
                           "clean large-print copy, and Songbook turns chord sheets into large-print songbooks and "
                           "set lists."),
            QStringLiteral("Document: drop a file on the window (or choose File › Open, Ctrl+O). The original shows on "
                           "the left and the large-print copy on the right. Adjust the size and spacing in the "
                           "settings on the right, then Export (Ctrl+E) or Print (Ctrl+P). Not sure yet? Help › Try a "
                           "Sample."),
            QStringLiteral("Songbook: the sample hymns and campfire songs are already in your library. Pick a songbook "
                           "or set list on the left to see its pages, or import your own song files with File › "
                           "Import Songs (Ctrl+O)."),
            QStringLiteral("The font, high contrast and the presets are shared by both modes, so a songbook prints in "
                           "the same large-print font as your documents."),
        };
    case HelpTopic::reads:
        return {
            QStringLiteral("Word (.docx), RTF, plain text (.txt), Markdown (.md), and PDFs that are mostly text, "
                           "including two-column newsletters and bulletins (read left column first) and simple "
                           "tables."),
            QStringLiteral("Headings, numbered and bulleted lists, tables and pictures come across. Page headers and "
                           "footers that repeat on every page, and the old page numbers, are left out."),
            QStringLiteral("Scanned PDFs (pictures of pages with no text inside) can’t be re-flowed: open the original "
                           "Word or text file instead, or a PDF whose words you can select in a PDF viewer. Old .doc "
                           "files need saving as .docx first."),
        };
    case HelpTopic::look:
        return {
            QStringLiteral("Size runs from 14 to 32 point (songbooks: 16 to 28). The presets are Large print 18 pt, "
                           "Extra large 24 pt, Recipe card and Hymn sheet / lyrics (Ctrl+1–Ctrl+4); in Songbook mode "
                           "they set the selected book’s lyric size."),
            QStringLiteral("Atkinson Hyperlegible is a typeface made by the Braille Institute for readers with low "
                           "vision; Verdana, Arial and Helvetica are offered too. Songbooks print in the same font, or "
                           "in the serif Charter if you prefer."),
            QStringLiteral("High contrast (Ctrl+Shift+H) makes every word bold and the lines heavier, with no grey; in "
                           "songbooks the chords print in black too. It applies to both modes."),
        };
    case HelpTopic::notes:
        return {
            QStringLiteral("Every large-print copy lists what changed under What changed in the settings: pictures "
                           "left out, headers and footnotes dropped, a table listed row by row because it couldn’t "
                           "fit at this size."),
            QStringLiteral("When a file can’t be made large (a scan, a locked PDF, an old .doc), the window says why in "
                           "plain words."),
        };
    case HelpTopic::printing:
        return {
            QStringLiteral("Export (Ctrl+E) saves a PDF; Print (Ctrl+P) opens the print dialog with the paper already "
                           "set. Both work on the copy shown, and neither changes your original file."),
            QStringLiteral("Paper: US Letter, A4, US Legal or Half Letter for documents. New songbooks start on the "
                           "same paper (Legal starts them on Letter); each songbook keeps its own page size."),
        };
    default: return {};
    }
}

QStringList songbookPages(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::songs:
        return {
            QStringLiteral("Songbook mode keeps a library of your songs. Put them in order in a songbook (contents at "
                           "the front, an index at the back) or a set list (a big-print running order first). Make "
                           "one with File › New Songbook (Ctrl+Shift+N) or New Set List (Ctrl+Alt+Shift+N)."),
            QStringLiteral("Drag songs from All Songs onto a songbook or set list in the sidebar, or use Add Songs "
                           "(Ctrl+Shift+A). Drag to reorder, Delete to remove. The preview on the right is exactly "
                           "what prints."),
            QStringLiteral("Used Tunequill before? File › Import Tunequill Library… brings its songs, songbooks and "
                           "set lists here. Songs you already have aren’t added twice."),
        };
    case HelpTopic::songFiles:
        return {
            QStringLiteral("Songbook mode reads ChordPro files (.cho, .chopro, .chordpro, .crd, .pro) and plain "
                           "chords-over-lyrics text (.txt), one file or a whole folder at a time. Text files are "
                           "converted on the way in, with each chord line going above the words it belongs to."),
            QStringLiteral("In ChordPro the chords go in square brackets right before the syllable: A[G]mazing "
                           "[C]grace. {title: …}, {key: G} and {capo: 2} describe the song; {start_of_chorus} … "
                           "{end_of_chorus} marks a chorus, which prints in bold. The ? button above the editor lists "
                           "the rest."),
            QStringLiteral("Any song can be edited in All Songs: the page on the right updates as you type, and the "
                           "stepper above it tries the song in another key."),
        };
    case HelpTopic::books:
        return {
            QStringLiteral("Each songbook or set list has its own print settings (Ctrl+Alt+I): lyric size, page size, "
                           "one song per page or flowing, one or two columns, bold choruses, chords in color, "
                           "contents, index and a set list page."),
            QStringLiteral("A verse or chorus never splits across a page or column. With one song per page, two-page "
                           "songs start on a left-hand page so both are open at once."),
        };
    case HelpTopic::transpose:
        return {
            QStringLiteral("Each song in a book has its own key and capo menus. The key line on the page says what the "
                           "song sounds in, and with a capo which shapes are printed (“Key of B♭ · Capo 3 (G "
                           "shapes)”)."),
            QStringLiteral("Alt+↑ and Alt+↓ move the selected songs up or down a half step. Chord spelling "
                           "follows the key (flats in F, B♭, E♭…), or choose sharps or flats in the print settings."),
            QStringLiteral("Nashville numbers (Ctrl+Alt+N) print 1, 4, 5, 6m… instead of chord names, for bands that "
                           "read them."),
        };
    case HelpTopic::songPrint:
        return {
            QStringLiteral("Export (Ctrl+E) saves the whole book as a PDF; Print (Ctrl+P) prints it. Export Booklet "
                           "(Ctrl+Shift+E) and the Booklet preview (Ctrl+Shift+B) put two pages on each side of a "
                           "sheet in folding order."),
            QStringLiteral("To print a booklet: print two-sided and flip on the short edge, stack the sheets in order, "
                           "fold in half and staple on the fold."),
        };
    case HelpTopic::licensing:
        return {
            QStringLiteral("Song lyrics and music belong to their writers and publishers. Printing or copying "
                           "copyrighted songs for a church, school or group usually needs a license, for example from "
                           "CCLI or a similar licensing service, or the publisher’s permission."),
            QStringLiteral("%1 only lays out the songs you bring and never downloads lyrics, and its sample songs are "
                           "in the public domain. Keeping track of what your group may print is up to you.")
                .arg(qstr(FolmiraKit::Brand::name)),
        };
    default: return {};
    }
}

QStringList shortcutPage()
{
    return {
        QStringLiteral("Both modes: Ctrl+O open or import · Ctrl+E export · Ctrl+P print · Ctrl+= and Ctrl+− bigger "
                       "and smaller · Ctrl+1–Ctrl+4 presets · Ctrl+Shift+H high contrast · Ctrl+Alt+I settings · "
                       "Alt+1 Document · Alt+2 Songbook · Ctrl+? or F1 Help"),
        QStringLiteral("Documents: Ctrl+Shift+W close the document."),
        QStringLiteral("Songbooks: Ctrl+N new song · Ctrl+Shift+N new songbook · Ctrl+Alt+Shift+N new set list · "
                       "Ctrl+Shift+E export booklet · Alt+↑ Alt+↓ transpose · Ctrl+Shift+↑ Ctrl+Shift+↓ move "
                       "a song · Ctrl+Shift+A add songs · Ctrl+Shift+1 one song per page · Ctrl+Shift+2 two columns · "
                       "Ctrl+Alt+N Nashville numbers · Ctrl+Shift+B pages or booklet · Delete removes a song from the "
                       "book · Tab types a tab in the song editor; Ctrl+Tab and Ctrl+Shift+Tab leave it."),
    };
}

} // namespace

QString title(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::start: return QStringLiteral("Getting started");
    case HelpTopic::reads: return QStringLiteral("What it reads");
    case HelpTopic::look: return QStringLiteral("Size, font and contrast");
    case HelpTopic::notes: return QStringLiteral("What changed, and refusals");
    case HelpTopic::printing: return QStringLiteral("Saving and printing");
    case HelpTopic::songs: return QStringLiteral("Making a songbook");
    case HelpTopic::songFiles: return QStringLiteral("Song files and ChordPro");
    case HelpTopic::books: return QStringLiteral("Songbooks and set lists");
    case HelpTopic::transpose: return QStringLiteral("Keys, capo and Nashville numbers");
    case HelpTopic::songPrint: return QStringLiteral("Printing songbooks and booklets");
    case HelpTopic::licensing: return QStringLiteral("Song licensing");
    case HelpTopic::keys: return QStringLiteral("Keyboard shortcuts");
    }
    return {};
}

const char* iconName(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::start: return "help-about";
    case HelpTopic::reads: return "text-x-generic";
    case HelpTopic::look: return "preferences-desktop-font";
    case HelpTopic::notes: return "dialog-information";
    case HelpTopic::printing: return "document-print";
    case HelpTopic::songs: return "audio-x-generic";
    case HelpTopic::songFiles: return "text-x-script";
    case HelpTopic::books: return "x-office-document";
    case HelpTopic::transpose: return "view-sort-ascending";
    case HelpTopic::songPrint: return "document-print-preview";
    case HelpTopic::licensing: return "emblem-documents";
    case HelpTopic::keys: return "input-keyboard";
    }
    return "help-about";
}

QStringList paragraphs(HelpTopic topic)
{
    switch (section(topic)) {
    case HelpSection::documents: return documentPages(topic);
    case HelpSection::songbooks: return songbookPages(topic);
    case HelpSection::more: return shortcutPage();
    }
    return {};
}

QString title(HelpSection section)
{
    switch (section) {
    case HelpSection::documents: return QStringLiteral("Documents");
    case HelpSection::songbooks: return QStringLiteral("Songbooks");
    case HelpSection::more: return QStringLiteral("More");
    }
    return {};
}

HelpSection section(HelpTopic topic)
{
    if (contains(songbookTopics, topic)) return HelpSection::songbooks;
    if (contains(moreTopics, topic)) return HelpSection::more;
    return HelpSection::documents;
}

std::vector<HelpTopic> topics(HelpSection wanted)
{
    std::vector<HelpTopic> found;
    for (auto topic : allHelpTopics)
        if (section(topic) == wanted) found.push_back(topic);
    return found;
}

} // namespace FolmiraApp
