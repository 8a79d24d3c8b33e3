#include "Platform/RichText/Destinations.h"

#include <algorithm>
#include <array>

namespace Platform::RichText {

namespace {

// Sorted, for binary search.
constexpr std::array<std::string_view, 97> destinationWords = {
    "NeXTGraphic", "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atndate", "atnicn", "atnid",
    "atnparent", "atnref", "atntime", "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart", "buptim",
    "category", "colorschememapping", "colortbl", "comment", "company", "creatim", "datastore", "do",
    "doccomm", "docvar", "expandedcolortbl", "falt", "fchars", "filetbl", "fldinst", "fname", "fonttbl",
    "footer", "footerf", "footerl", "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc", "generator",
    "header", "headerf", "headerl", "headerr", "hlinkbase", "info", "keywords", "latentstyles", "lchars",
    "levelmarker", "levelnumbers", "leveltext", "lfolevel", "list", "listlevel", "listname",
    "listoverride", "listoverridetable", "listpicture", "listtable", "listtext", "manager", "mmathPr",
    "nonshppict", "objalias", "objclass", "objdata", "object", "objname", "objsect", "operator", "panose",
    "passwordhash", "pgdsctbl", "pict", "pn", "pntext", "pntxta", "pntxtb", "printim", "private",
    "protusertbl", "revtbl", "revtim", "rsidtbl", "rxe", "shpinst", "stylesheet", "subject", "tc",
    "template", "themedata", "title",
};
static_assert(std::is_sorted(destinationWords.begin(), destinationWords.end()));

} // namespace

bool isDestinationWord(std::string_view name)
{
    return std::binary_search(destinationWords.begin(), destinationWords.end(), name);
}

bool isTransparentDestination(std::string_view name) { return name == "shppict"; }

std::optional<char32_t> specialCharacter(std::string_view name)
{
    struct Entry {
        std::string_view name;
        char32_t scalar;
    };
    static constexpr std::array<Entry, 15> entries = {{
        {"bullet", U'\u2022'}, {"emdash", U'\u2014'}, {"endash", U'\u2013'}, {"emspace", U'\u2003'},
        {"enspace", U'\u2002'}, {"qmspace", U'\u2005'}, {"lquote", U'\u2018'}, {"rquote", U'\u2019'},
        {"ldblquote", U'\u201C'}, {"rdblquote", U'\u201D'}, {"zwj", U'\u200D'}, {"zwnj", U'\u200C'},
        {"zwbo", U'\u200B'}, {"ltrmark", U'\u200E'}, {"rtlmark", U'\u200F'},
    }};
    for (const Entry& entry : entries)
        if (entry.name == name) return entry.scalar;
    return std::nullopt;
}

} // namespace Platform::RichText
