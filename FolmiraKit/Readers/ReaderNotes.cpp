#include "FolmiraKit/Readers/ReaderNotes.h"

#include <string>

namespace FolmiraKit {

ConversionNote picturesLeftOutNote(int count)
{
    return ConversionNote(ConversionNote::Kind::warning,
                          std::to_string(count) + " picture" + (count == 1 ? "" : "s") +
                              " in a format Folmira can\u2019t draw (such as WMF or EMF drawings) " +
                              (count == 1 ? "was" : "were") + " left out.");
}

ConversionNote cellPicturesLeftOutNote(int count)
{
    return ConversionNote(ConversionNote::Kind::warning,
                          std::to_string(count) + (count == 1 ? " picture inside a table was" : " pictures inside tables were") +
                              " left out: Folmira keeps only the text of table cells.");
}

std::vector<ConversionNote> notesLeftOutNotes(int footnotes, int endnotes)
{
    std::vector<ConversionNote> out;
    if (footnotes > 0)
        out.emplace_back(ConversionNote::Kind::warning, "Footnotes (" + std::to_string(footnotes) + ") aren\u2019t included.");
    if (endnotes > 0)
        out.emplace_back(ConversionNote::Kind::warning, "Endnotes (" + std::to_string(endnotes) + ") aren\u2019t included.");
    return out;
}

} // namespace FolmiraKit
