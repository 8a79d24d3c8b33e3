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

} // namespace FolmiraKit
