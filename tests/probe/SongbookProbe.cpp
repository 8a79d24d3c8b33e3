// Imports one song file as the library does (a chords-over-lyrics sheet is
// converted), lays it out and renders it as a songbook, the way the preview
// does, and prints what came of it, one line: "songbook <pages> <pdf bytes>"
// or "failed <reason>". Tests run it as a child process so that its cost is
// its own.

#include "TunequillKit/TunequillKit.h"

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: songbook-probe FILE\n";
        return 2;
    }
    using namespace TunequillKit;
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string source = SongFile::chordPro(text, "Probe");
    BookSettings settings;
    std::vector<PreparedSong> songs;
    songs.emplace_back(ChordProParser::parse(source), 0, std::nullopt, settings.accidentals, settings.nashville);
    try {
        const BookLayout layout = BookLayouter(settings, systemMeasurer(), "Probe", "").layout(songs);
        const Platform::Bytes pdf = Renderer::pdf(layout, settings, "Probe");
        std::cout << "songbook " << layout.pages.size() << ' ' << pdf.size() << '\n';
    } catch (const Renderer::PdfFailure& failure) {
        std::cout << "failed " << failure.what() << '\n';
    }
    return 0;
}
