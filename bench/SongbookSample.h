#pragma once

// The benchmarks' songbook: 200 generated songs of verses and choruses with
// chords above every other word, a comment, a repeated chorus and a chord
// diagram, prepared with varied transpositions.

#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <string>
#include <vector>

namespace SongbookSample {

inline std::string song(int seed)
{
    static const char* const chords[] = {"G", "C", "D7", "Em", "Am7", "F#m7b5", "Bb/D", "Csus4"};
    static const char* const words[] = {"morning ", "river ", "light ", "over ", "the ", "valley ", "we ", "gather "};
    std::string text = "{title: Song " + std::to_string(seed) + "}\n{artist: Someone}\n{key: G}\n{capo: 2}\n";
    for (int block = 0; block < 5; ++block) {
        bool chorus = block % 3 == 1;
        text += chorus ? "{start_of_chorus}\n" : "{start_of_verse: Verse " + std::to_string(block + 1) + "}\n";
        for (int l = 0; l < 6; ++l) {
            for (int w = 0; w < 7; ++w) {
                if ((w + l + seed) % 2 == 0) text += "[" + std::string(chords[(w + l + block + seed) % 8]) + "]";
                text += words[(w * 3 + l + seed + block) % 8];
            }
            text += "\n";
        }
        text += chorus ? "{end_of_chorus}\n" : "{end_of_verse}\n";
        if (block == 2) text += "{c: Slower here}\n{chorus}\n";
    }
    text += "{define: G base-fret 1 frets 3 2 0 0 0 3}\n";
    return text;
}

inline std::vector<TunequillKit::PreparedSong> book(int count = 200)
{
    using namespace TunequillKit;
    std::vector<PreparedSong> songs;
    for (int i = 0; i < count; ++i)
        songs.emplace_back(ChordProParser::parse(song(i)), i % 5 - 2, std::nullopt, Accidentals::automatic, false);
    return songs;
}

} // namespace SongbookSample
