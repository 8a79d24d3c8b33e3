#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/ChordMarks.h"
#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/PlainTextConverter.h"
#include "TunequillKit/Song/SongFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace TunequillKit;
namespace Converter = TunequillKit::PlainTextConverter;

TEST(PlainTextConverter, HeadingLabels)
{
    struct Case {
        const char* line;
        std::optional<std::string> label;
    };
    const Case cases[] = {
        {"[CHORUS]", "Chorus"},
        {"Verse 2:", "Verse 2"},
        {"Chorus x2", "Chorus x2"},
        {"(Chorus ×3)", "Chorus ×3"},
        {"verse 1a", "Verse 1a"},
        {"Bridge – softly", "Bridge – softly"},
        {"Pre Chorus", "Pre chorus"},
        {"pre-chorus", "Pre-chorus"},
        {"  Middle 8  ", "Middle 8"},
        {"Verses", std::nullopt},
        {"Tagline", std::nullopt},
        {"Chorus of the song", std::nullopt},
        {"Verse 1 and then some more words go here", std::nullopt},
        {"", std::nullopt},
        {"Hello", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Converter::headerLabel(c.line), c.label) << c.line;
}

TEST(PlainTextConverter, ChordAndTabLines)
{
    struct Case {
        const char* line;
        bool chord;
    };
    const Case cases[] = {
        {"G  D/F#  Em7  C", true}, {"| G . C . |", false}, {"N.C.", false},   {"(G) x2", true},
        {"|G  C|  D|", true},      {"Am I wrong", false},  {"   ", false},    {"G - C % (D) 4x", true},
        {"Bb / | Eb", true},       {"C\u00A0G", false},   {"A", true},      {"A man", false},
        {"E------", false},        {"B--5--5-5-5--5-8--8-5", false}, {"Cm7/add2 G", true},
        // A label before the chords, a note after them, a few words two spaces on.
        {"Interlude: A#m7 Asus4/A#  A#m7", true}, {"Chorus -  A  D  E7", true}, {"Refrain :  F  G", true},
        {"F Am Gm7 C7 [C7-9-5: x32322]", true},   {"G  D  (x2)", true},        {"Dm  F  (let ring)", true},
        {"Esus4  unknown", true},                 {"Esus4  A7-9/unk  A13/unk", true},
        {"Esus4 unknown", false},                 {"G  C  one two three four", false},
        // Sentences with a chord-like word, and lines of notes that are no chords to play.
        {"A day in May", false},  {"A  man came walking", false}, {"C  is for cookie", false},
        {"Note: A new day", false}, {"Intro:", false},           {"Tuning: E A D G", false},
        {"Key: G  D", false},      {"(B)  a list item", false},   {"Intro: A", false},
        {"G   C  then F", false},  {"By the river: G  C", true},  {"Tuning:  D  A  D  G  A  D", false},
        // Fingerings are no chords and no repeat counts.
        {"C  x32010", false},      {"G      320003", false},      {"A7  X02020  D", false}, {"E  022100", false},
        {"Am7  x02010", false},    {"Cmaj7  x32000", false},      {"Take C: G  D", false},  {"||: G  C :||", true},
        // Minor chords in lower case, as Polish and Czech sheets write them, among other chords only.
        {"d  g  A7  d", true},     {"a  e", true},                {"fis  h7  E", true},     {"as I go", false},
        {"as", false},             {"a ja idę", false},           {"e  a  dom", false},     {"dm  g", false},
        {"1. Am I wrong", false},  {"2. A day in May", false},    {"1.5 G", false},         {"x. G  C", false},
        {"12 G  C", false},        {"123. G  C", false},          {"Take 2. G  C", false},
        {"Tonart: G", false},      {"Tónina: Ami", false},        {"Strój: D A D G", false}, {"Tono: Dm", false},
    };
    for (const auto& c : cases) EXPECT_EQ(Converter::isChordLine(c.line), c.chord) << c.line;
    // Texts of chord brackets that hold no mark stay whole.
    for (const char* text : {"(G)", "N.C.", "Am G", "G|C", "Intro:", ":", "x", "1", "Riff 2"})
        EXPECT_FALSE(ChordMarks::split(text)) << text;

    for (const char* line : {"e|--0--3--|", "  B |-1-1h3-|  ", "G#|--5/7--|", "d|x-x-x-x|", "e-0-0-0-0", "E------",
                             "B--5--5-5-5--5-8--8-5", "E ----|----0---|"})
        EXPECT_TRUE(Converter::isTabLine(line)) << line;
    // A note after the string, a tie, a leading bar, techniques, other instruments' strings.
    for (const char* line : {"G|--1-------5-----|(repeat)", "e|-----| do not use e string", "B|--13=14--|",
                             "|e|--0--2--|", "|--0--2--|", "g|--2h4--2p0--|", "E|--5b7r5--7s9~~--|", "Bb|-0-0-x-x-|",
                             "A|--0--|", "e-----3-----  let ring", "e:--0--2--"})
        EXPECT_TRUE(Converter::isTabLine(line)) << line;
    for (const char* line : {"e|-0|", "Every |--word--|", "H|------|", "G - - -", "C-7-5", "E----", "G 3-5-7",
                             "|-----|-----|", "B-b-b-baby", "A--men", "| G | C |", "e|-0| a note"})
        EXPECT_FALSE(Converter::isTabLine(line)) << line;
    // A player's marks over and under a staff, and strings with neither name nor bar.
    for (const char* line :
         {"   PM- - - - -|  let ring - - |", "  h   p   /", "P.M.----|", "  sl  ~~~  harm.", "  x x x"})
        EXPECT_TRUE(Converter::isStaffNoteLine(line)) << line;
    for (const char* line : {"let it ring", "Hold on", "- - - -", "PM me later", "", "  1   2"})
        EXPECT_FALSE(Converter::isStaffNoteLine(line)) << line;
    for (const char* line : {"--------|", "--7/9---9\\7--|", " --0--2h3---"})
        EXPECT_TRUE(Converter::isNamelessString(line)) << line;
    for (const char* line : {"-----", "--7--", "|------|", "-- words --------", "e|-------|"})
        EXPECT_FALSE(Converter::isNamelessString(line)) << line;
}

TEST(PlainTextConverter, ChordLinesKeepTheirLabelAndNote)
{
    struct Case {
        const char* line;
        const char* chords;
        const char* marks;
        const char* label;
        const char* note;
    };
    const Case cases[] = {
        {"Interlude: A#m7 Asus4/A#  A#m7", "           A#m7 Asus4/A#  A#m7", "", "Interlude:", ""},
        {"Chorus -  A  D", "          A  D", "", "Chorus", ""},
        {"Ref.: C G Ami (2x)", "      C G Ami", "", "Ref.:", "(2x)"},
        {"| G  F#|  x3", "  G  F#", "|      |", "", "x3"},
        {"F Am [C7-9-5: x32322]", "F Am", "", "", "[C7-9-5: x32322]"},
        {"(G)  |:D  C:|  N.C.", "(G)    D  C    N.C.", "     |:    :|", "", ""},
        {"Esus4  A7-9/unk  unknown", "Esus4  A7-9/unk", "", "", "unknown"},
        {"G / / / | C", "G         C", "  / / / |", "", ""},
        {"x2  G  C  (repeat)", "    G  C", "", "", "x2 (repeat)"},
        {"||: G  C :||", "    G  C", "||:      :||", "", ""},
        {"G  D(x2)", "G  D", "", "", "(x2)"},
        {"1. Ami  C  D", "   Ami  C  D", "", "1.", ""},
        {"Ref. G  Hmi  (2x)", "     G  Hmi", "", "Ref.", "(2x)"},
        {"B\u266D|  E\u266D", "B\u266D   E\u266D", "  |", "", ""}, // a bar after a sign keeps its column
    };
    for (const auto& c : cases) {
        auto read = Converter::readChordLine(c.line);
        ASSERT_TRUE(read) << c.line;
        EXPECT_EQ(read->chords, c.chords) << c.line;
        EXPECT_EQ(read->marks, c.marks) << c.line;
        EXPECT_EQ(read->label, c.label) << c.line;
        EXPECT_EQ(read->note, c.note) << c.line;
    }
}

TEST(PlainTextConverter, MetadataLines)
{
    using M = std::optional<std::pair<std::string, std::string>>;
    struct Case {
        const char* line;
        M meta;
    };
    const Case cases[] = {
        {"Words and Music: Jo Smith", M{{"lyricist", "Jo Smith"}}},
        {"Capo on 2nd fret", M{{"capo", "2"}}},
        {"Capo: none", M{{"capo", ""}}},
        {"BPM - 96", M{{"tempo", "96"}}},
        {"Key: Q", std::nullopt},
        {"KEY: F# minor", M{{"key", "F# minor"}}},
        {"Key: f# minor", std::nullopt},
        {"By: Someone", M{{"artist", "Someone"}}},
        {"title-Track: One", M{{"title", "Track: One"}}},
        {"  Time: 6/8 ", M{{"time", "6/8"}}},
        {"Music:", std::nullopt},
        {"Capotasto 2", std::nullopt},
        {"Author/Artist: The Lantern Singers", M{{"artist", "The Lantern Singers"}}},
        {"Words / Music: Jo", M{{"lyricist", "Jo"}}},
    };
    for (const auto& c : cases) {
        auto meta = Converter::metadataLine(c.line);
        ASSERT_EQ(meta.has_value(), c.meta.has_value()) << c.line;
        if (meta) {
            EXPECT_EQ(meta->name, c.meta->first) << c.line;
            EXPECT_EQ(meta->value, c.meta->second) << c.line;
        }
    }
}

TEST(PlainTextConverter, MergeInsertsChordsAtTheirColumns)
{
    struct Case {
        const char* chords;
        const char* lyric;
        const char* merged;
    };
    const Case cases[] = {
        {"G       C", "Morning light is here", "[G]Morning [C]light is here"},
        {"G            D", "Short", "[G]Short        [D]"},
        {"C", "", "[C]"},
        {"G  C  D", "", "[G]   [C]   [D]"},
        {"   Am", "Ça va bien", "Ça [Am]va bien"},
        {"  G", "e\u0301te\u0301", "e\u0301t[G]e\u0301"}, // columns count characters
        {"|: G :|", "la la la", "[|:]la [G]la[:|] la"},
    };
    for (const auto& c : cases) EXPECT_EQ(Converter::merge(c.chords, c.lyric), c.merged) << c.chords;
    EXPECT_EQ(Converter::escape("a [b] {c}"), "a \\[b\\] \\{c\\}");
}

TEST(PlainTextConverter, ConvertsTheHeaderAndTheBody)
{
    EXPECT_EQ(Converter::convert("My Song\n\nKey: G\n\n[Verse 1]\nG\nWords", "Fallback"),
              "{title: My Song}\n{key: G}\n{start_of_verse: Verse 1}\n[G]Words\n{end_of_verse}\n");
    struct Case {
        const char* text;
        const char* chordPro;
    };
    const Case cases[] = {
        {"\n\n  \n", "{title: F}\n"},
        {"My Song\n\nKey: Q\n\nla\n", "{title: My Song}\nKey: Q\n\nla\n"}, // Q is no key: an ordinary line
        {"Title: T\r\nArtist: A\r\nCapo: 3\r\n\r\nla {x} [y]\r\n", "{title: T}\n{artist: A}\n{capo: 3}\nla \\{x\\} \\[y\\]\n"},
        {"First line\nSecond line\n", "{title: F}\nFirst line\nSecond line\n"},
        // A line of settings under the first line leaves it the title.
        {"Cold Creek\nTuning: D A D G B E\n\nla\n", "{title: Cold Creek}\nTuning: D A D G B E\n\nla\n"},
        {"Am Brunnen\nTonart: G\nla\n", "{title: Am Brunnen}\nTonart: G\nla\n"},
        {"Evening\nTuning the old guitar by the fire: slowly\n",
         "{title: F}\nEvening\nTuning the old guitar by the fire: slowly\n"},
        {"Evening\n: D A D\n", "{title: F}\nEvening\n: D A D\n"},
        {"Intro\nChorus\n\nVerse 1\nla\n\n\n\nlo\nChorus\n", "{title: F}\n{comment: Intro}\n{chorus}\n"
                                                             "{start_of_verse: Verse 1}\nla\n{end_of_verse}\n\nlo\n{chorus}\n"},
        {"Refrain 2\n\nG\ne|--0--|\nB|--1--|\nla\n", "{title: F}\n{start_of_chorus: Refrain 2}\n[G]\n{end_of_chorus}\n"
                                                  "{start_of_tab}\ne|--0--|\nB|--1--|\n{end_of_tab}\nla\n"},
        {"Song\n\n\tG\n\twords\there\n", "{title: Song}\n        [G]words   here\n"},
        {"Bridge\nIntro:\n", "{title: F}\n{comment: Bridge}\n{comment: Intro}\n"},
        {"G C\nChorus\nla\n", "{title: F}\n[G]  [C]\n{start_of_chorus: Chorus}\nla\n{end_of_chorus}\n"},
        // No header line is lost.
        {"Author/Artist: Lantern\nTitle: Harbour\n\nG\nla\n", "{title: Harbour}\n{artist: Lantern}\n[G]la\n"},
        {"Song\nTitle: Other\n\nla\n", "{title: Other}\n{subtitle: Song}\nla\n"},
        // Tablature without bars stays tablature; a chord line over a tab line stays its own line.
        {"Intro\nE-----\nB--5--\n\n    F\nE ----|--0--|\n", "{title: F}\n{comment: Intro}\n{start_of_tab}\nE-----\n"
                                                         "B--5--\n{end_of_tab}\n\n    [F]\n{start_of_tab}\n"
                                                         "E ----|--0--|\n{end_of_tab}\n"},
        // Strings with notes after them, a tie and bar numbers stay one staff, the chord line over it its own line.
        {"    G\n  1      2\ne|--0--|--3--| let ring\nB|--1=2--|(repeat)\n|--------|\nla\n",
         "{title: F}\n    [G]\n{start_of_tab}\n  1      2\ne|--0--|--3--| let ring\nB|--1=2--|(repeat)\n"
         "|--------|\n{end_of_tab}\nla\n"},
        {"1 2\nla\n|--------|\n", "{title: F}\n1 2\nla\n|--------|\n"},
        // Marks over and under the strings stay in the staff; strings without names make one three together.
        {"  PM- - -|\ne|--0--0--|\nB|--1--1--|\n  h   p\nla\n",
         "{title: F}\n{start_of_tab}\n  PM- - -|\ne|--0--0--|\nB|--1--1--|\n  h   p\n{end_of_tab}\nla\n"},
        {"--------|\n--5h7-----|\n--------|\nla\n", "{title: F}\n{start_of_tab}\n--------|\n--5h7-----|\n--------|\n"
                                                     "{end_of_tab}\nla\n"},
        {"--------|\n--------|\n--------|\n", "{title: F}\n--------|\n--------|\n--------|\n"},
        {"   1      2\n  PM- -|\nE|--0--|--0--|\nla\n",
         "{title: F}\n{start_of_tab}\n   1      2\n  PM- -|\nE|--0--|--0--|\n{end_of_tab}\nla\n"},
        {"--------|\n--5h7-----|\n\nla\n", "{title: F}\n--------|\n--5h7-----|\n\nla\n"},
        // A label and a note are comments round the chords; bars and counts are no chords.
        {"Intro: G  C\n", "{title: F}\n{comment: Intro:}\n[G]   [C]\n"},
        {"Verse 1\nG  D  (x2)\nla la la\n", "{title: F}\n{start_of_verse: Verse 1}\n[G]la [D]la la\n{comment: (x2)}\n"
                                              "{end_of_verse}\n"},
        {"|: G  | C  :| x2\nla la la la\n", "{title: F}\n[|:]la [G]la [|]la[C] la[:|]\n{comment: x2}\n"},
        {"G  -  C ...  | D\nla la la la la la\n", "{title: F}\n[G]la la [C]la la l[|]a [D]la\n"}, // dashes and dots stay out
        {"| G  | C  |\n\nla\n", "{title: F}\n| [G]   | [C]   |\n\nla\n"},
        {"F Am Gm7 C7-9-5 F [C7-9-5: x32322]\nOh the night is long\n",
         "{title: F}\n[F]Oh[Am] th[Gm7]e ni[C7-9-5]ght is [F]long\n{comment: [C7-9-5: x32322]}\n"},
        {"d     g   A7\nCicha noc śpi\n", "{title: F}\n[Dm]Cicha [Gm]noc [A7]śpi\n"},
        {"fis   h7  cis\nla la la\n", "{title: F}\n[Fism]la la [Hm7]la  [Cism]\n"},
        // A lyric's own brackets stay text under the chords placed into it.
        {"G  C\nla la  [B7: x24252] {x}\n", "{title: F}\n[G]la [C]la  \\[B7: x24252\\] \\{x\\}\n"},
        {"Esus4  A7-9/unk  A13/unk\nWalking on the edge of town\n",
         "{title: F}\n[Esus4]Walking[A7-9/unk] on the ed[A13/unk]ge of town\n"},
        {"Verse 2\nChorus -  D  A\nla la la\n", "{title: F}\n{comment: Verse 2}\n{start_of_chorus: Chorus}\n"
                                                   "la la la  [D]   [A]\n{end_of_chorus}\n"},
        {"Outro -  D  A/C#  (ritard.)\n", "{title: F}\n{comment: Outro}\n[D]   [A/C#]\n{comment: (ritard.)}\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Converter::convert(c.text, "F"), c.chordPro) << c.text;
}

TEST(PlainTextConverter, ConvertedTextParsesAsIntended)
{
    Song song = ChordProParser::parse(Converter::convert(
        "Amazing\nArtist: Someone\nKey: Bb\n\nVerse 1:\nBb      Eb\nWords over here\n[not a chord]\n\nChorus\nF\nSing it\n", ""));
    EXPECT_EQ(song.title, "Amazing");
    EXPECT_EQ(song.artists, std::vector<std::string>{"Someone"});
    EXPECT_EQ(song.key, (Key{Note(10), false}));
    ASSERT_EQ(song.sections.size(), 2u);
    EXPECT_EQ(song.sections[0].label, "Verse 1");
    EXPECT_EQ(song.sections[1].kind, SectionKind::chorus);
    EXPECT_EQ(song.chordTokens(), (std::vector<std::string>{"Bb", "Eb", "F"}));
    EXPECT_EQ(song.firstLine(), "Words over here");
    EXPECT_EQ(song.sections[0].lines[1], Line::lyrics({Segment{std::nullopt, "[not a chord]"}}));
    EXPECT_TRUE(song.warnings.empty());
}

// Sheets written as players write them (banjo, bass, seven-string and
// ukulele tab, chord charts, labels and notes in several languages, a chord
// website's marks, prose with chord-like words; ChordPro with bars, counts
// and fingerings in brackets): every string of tab is tab, every chord
// placed is a chord, a mark placed with it is none, and prose keeps no chord.
TEST(PlainTextConverter, SheetsOfManyHandsConvert)
{
    int sheets = 0, placed = 0, marks = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FOLMIRA_SONG_SHEETS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream source;
        source << in.rdbuf();
        Song song = ChordProParser::parse(SongFile::chordPro(source.str(), ""));
        const std::string name = entry.path().filename().string();
        std::vector<std::string> tabs;
        for (const Section& section : song.sections)
            for (const Line& line : section.lines) {
                if (auto tab = line.as<Line::Tab>()) tabs.push_back(tab->text);
                auto lyrics = line.as<Line::Lyrics>();
                if (!lyrics) continue;
                std::string text;
                for (const Segment& segment : lyrics->segments) {
                    text += segment.text;
                    if (!segment.chord) continue;
                    std::string chord = *segment.chord;
                    if (auto split = ChordMarks::split(chord)) {
                        ++marks;
                        if (split->chord.empty()) continue;
                        chord = split->chord;
                    }
                    if (chord.size() > 2 && chord.front() == '(') chord = chord.substr(1, chord.size() - 2);
                    EXPECT_TRUE(Chord::parse(chord)) << name << ": [" << *segment.chord << "] in " << text;
                    EXPECT_NE(name, "prose-lines.txt") << text;
                    ++placed;
                }
                EXPECT_LT(std::count(text.begin(), text.end(), '-'), 4) << name << ": a string as lyrics: " << text;
            }
        // Moved a whole tone, every chord of the sheet moves, or a warning names it.
        const PreparedSong up(song, 2, std::nullopt, Accidentals::automatic, false);
        const std::vector<std::string> warnings = up.chordWarnings();
        for (const std::string& token : song.chordTokens()) {
            auto split = ChordMarks::split(token);
            const std::string chord(split ? split->chord : std::string_view(token));
            if (chord.empty() || chord.find_first_of("ABCDEFGH(") != 0) continue;
            const bool warned = std::any_of(warnings.begin(), warnings.end(),
                                            [&](const std::string& w) { return w.find(chord) != std::string::npos; });
            EXPECT_TRUE(up.style.render(chord) != chord || warned) << name << ": [" << token << "] stays unmoved";
        }
        // Every line of the sheet written with a string's dashes is a line of its tab.
        std::istringstream lines(source.str());
        for (std::string line; std::getline(lines, line);) {
            if (line.find("--") != std::string::npos) {
                EXPECT_NE(std::find(tabs.begin(), tabs.end(), line), tabs.end()) << name << ": " << line;
            }
        }
        ++sheets;
    }
    EXPECT_GE(sheets, 10);
    EXPECT_GE(placed, 100);
    EXPECT_GE(marks, 60);
}
