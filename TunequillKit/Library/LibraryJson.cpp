// library.json reading and writing. The songs, entries and books are read
// strictly: one bad value fails the whole file, so a damaged library is never
// half-loaded. The settings object is read key by key, each falling back to
// its default, so that settings written by another version still load.
// Numbers that stand for integers must be whole and fit in 64 bits.

#include "TunequillKit/Library/Library.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace TunequillKit {
namespace {

using Json = nlohmann::json;

// library.json nests five levels deep; anything past this is not ours, and a
// limit keeps a hostile file from costing stack or time further down.
constexpr int maxDepth = 64;

[[noreturn]] void fail(const std::string& why) { throw LibraryFormatError("The library file couldn’t be read: " + why + "."); }

// The whole of `text` is one number as JSON writes them.
bool isNumberToken(std::string_view text)
{
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > start;
    };
    if (i < text.size() && text[i] == '-') ++i;
    if (i < text.size() && text[i] == '0') ++i;
    else if (!digits()) return false;
    if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == text.size();
}

// True for a well-formed number too large for a double ("1e400"), which the
// JSON parser refuses outright. Without an exponent it takes over 300 digits.
// A malformed one is left for the parser to refuse.
bool overflows(std::string_view number)
{
    if (number.size() < 300 && number.find_first_of("eE") == std::string_view::npos) return false;
    if (!isNumberToken(number)) return false;
    try {
        [[maybe_unused]] Json value = Json::parse(number.begin(), number.end());
    } catch (const Json::out_of_range&) {
        return true;
    }
    return false;
}

// Rejects nesting deeper than maxDepth before the parser sees the text, and
// turns numbers beyond a double's range into null: inside the settings they
// then take the default like any unreadable value, elsewhere they fail as a
// missing value. Returns the text to parse (`storage` when something changed).
std::string_view readable(std::string_view text, std::string& storage)
{
    int depth = 0;
    bool inString = false;
    std::size_t copied = 0; // bytes of `text` already moved into `storage`
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth) fail("it nests deeper than " + std::to_string(maxDepth) + " levels");
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t end = text.find_first_not_of("+-.0123456789eE", i);
            if (end == std::string_view::npos) end = text.size();
            if (overflows(text.substr(i, end - i))) {
                storage.append(text.substr(copied, i - copied));
                storage += "null";
                copied = end;
            }
            i = end - 1;
        }
    }
    if (copied == 0) return text;
    storage.append(text.substr(copied));
    return storage;
}

// A JSON number as a 64-bit integer: an integer, or a float that is whole and in range.
std::optional<std::int64_t> integer(const Json& j)
{
    if (j.is_number_unsigned()) {
        auto u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (j.is_number_integer()) return j.get<std::int64_t>();
    if (j.is_number_float()) {
        double d = j.get<double>();
        // 2^63 is the first double past the range; every whole double below it fits.
        if (std::isfinite(d) && d == std::floor(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
            return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

std::optional<double> finiteNumber(const Json& j)
{
    if (!j.is_number()) return std::nullopt;
    double d = j.get<double>();
    return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

// --- strict part ---

const Json& required(const Json& object, const char* key, const char* what)
{
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) fail(std::string(what) + " has no “" + key + "”");
    return *it;
}

const Json& object(const Json& j, const char* what)
{
    if (!j.is_object()) fail(std::string(what) + " is not an object");
    return j;
}

const Json& array(const Json& object, const char* key, const char* what)
{
    const Json& j = required(object, key, what);
    if (!j.is_array()) fail(std::string("“") + key + "” of " + what + " is not a list");
    return j;
}

std::string string(const Json& object, const char* key, const char* what)
{
    const Json& j = required(object, key, what);
    if (!j.is_string()) fail(std::string("“") + key + "” of " + what + " is not text");
    return j.get<std::string>();
}

Uuid uuid(const Json& object, const char* key, const char* what)
{
    auto id = Uuid::fromString(string(object, key, what));
    if (!id) fail(std::string("“") + key + "” of " + what + " is no identifier");
    return *id;
}

std::int64_t requiredInteger(const Json& j, const char* key, const char* what)
{
    auto n = integer(j);
    if (!n) fail(std::string("“") + key + "” of " + what + " is not a whole number in range");
    return *n;
}

StoredSong readSong(const Json& j)
{
    const char* what = "a song";
    object(j, what);
    StoredSong song;
    song.id = uuid(j, "id", what);
    song.source = string(j, "source", what);
    if (auto it = j.find("fileName"); it != j.end() && !it->is_null()) {
        if (!it->is_string()) fail("“fileName” of a song is not text");
        song.fileName = it->get<std::string>();
    }
    auto added = finiteNumber(required(j, "added", what));
    if (!added) fail("“added” of a song is not a number");
    song.added = Date{*added};
    return song;
}

SongEntry readEntry(const Json& j)
{
    const char* what = "a book entry";
    object(j, what);
    SongEntry entry;
    entry.id = uuid(j, "id", what);
    entry.songID = uuid(j, "songID", what);
    entry.transpose = requiredInteger(required(j, "transpose", what), "transpose", what);
    if (auto it = j.find("capo"); it != j.end() && !it->is_null()) entry.capo = requiredInteger(*it, "capo", what);
    return entry;
}

// --- tolerant part ---

template <typename E>
void readCase(const Json& settings, const char* key, E& field)
{
    auto it = settings.find(key);
    if (it == settings.end() || !it->is_string()) return;
    if (auto value = fromString<E>(it->template get_ref<const std::string&>())) field = *value;
}

void readBool(const Json& settings, const char* key, bool& field)
{
    auto it = settings.find(key);
    if (it != settings.end() && it->is_boolean()) field = it->get<bool>();
}

BookSettings readSettings(const Json& j)
{
    if (!j.is_object()) fail("the settings of a book are not an object");
    BookSettings s; // every key left out or unreadable keeps this default
    readCase(j, "pageSize", s.pageSize);
    if (auto it = j.find("fontSize"); it != j.end())
        if (auto size = finiteNumber(*it)) s.fontSize = BookSettings::fontSizes.clamped(*size);
    readCase(j, "typeface", s.typeface);
    readBool(j, "boldChorus", s.boldChorus);
    readCase(j, "flow", s.flow);
    if (auto it = j.find("columns"); it != j.end())
        if (auto columns = integer(*it)) s.columns = *columns < 1 ? 1 : (*columns > 2 ? 2 : static_cast<int>(*columns));
    readBool(j, "spreads", s.spreads);
    readCase(j, "accidentals", s.accidentals);
    readBool(j, "nashville", s.nashville);
    readBool(j, "chordsInColor", s.chordsInColor);
    readBool(j, "repeatChorus", s.repeatChorus);
    readBool(j, "diagrams", s.diagrams);
    readBool(j, "tableOfContents", s.tableOfContents);
    readBool(j, "index", s.index);
    readBool(j, "setListPage", s.setListPage);
    readBool(j, "pageNumbers", s.pageNumbers);
    if (auto it = j.find("margin"); it != j.end())
        if (auto margin = finiteNumber(*it)) s.margin = *margin;
    return s;
}

Songbook readBook(const Json& j)
{
    const char* what = "a book";
    object(j, what);
    Songbook book;
    book.id = uuid(j, "id", what);
    book.name = string(j, "name", what);
    auto kind = fromString<BookKind>(string(j, "kind", what));
    if (!kind) fail("a book’s “kind” is neither “book” nor “setList”");
    book.kind = *kind;
    for (const Json& entry : array(j, "entries", what)) book.entries.push_back(readEntry(entry));
    book.subtitle = string(j, "subtitle", what);
    book.settings = readSettings(required(j, "settings", what));
    return book;
}

// --- writing ---

Json write(const BookSettings& s)
{
    return Json{
        {"pageSize", toString(s.pageSize)},
        {"fontSize", s.fontSize},
        {"typeface", toString(s.typeface)},
        {"boldChorus", s.boldChorus},
        {"flow", toString(s.flow)},
        {"columns", s.columns},
        {"spreads", s.spreads},
        {"accidentals", toString(s.accidentals)},
        {"nashville", s.nashville},
        {"chordsInColor", s.chordsInColor},
        {"repeatChorus", s.repeatChorus},
        {"diagrams", s.diagrams},
        {"tableOfContents", s.tableOfContents},
        {"index", s.index},
        {"setListPage", s.setListPage},
        {"pageNumbers", s.pageNumbers},
        {"margin", s.margin},
    };
}

Json write(const StoredSong& song)
{
    Json j{{"id", song.id.toString()}, {"source", song.source}, {"added", song.added.timeIntervalSinceReferenceDate}};
    if (song.fileName) j["fileName"] = *song.fileName;
    return j;
}

Json write(const SongEntry& entry)
{
    Json j{{"id", entry.id.toString()}, {"songID", entry.songID.toString()}, {"transpose", entry.transpose}};
    if (entry.capo) j["capo"] = *entry.capo;
    return j;
}

Json write(const Songbook& book)
{
    Json entries = Json::array();
    for (const auto& e : book.entries) entries.push_back(write(e));
    return Json{{"id", book.id.toString()}, {"name", book.name},         {"kind", toString(book.kind)},
                {"entries", std::move(entries)}, {"subtitle", book.subtitle}, {"settings", write(book.settings)}};
}

} // namespace

Library Library::decode(std::string_view text)
{
    std::string storage;
    std::string_view json = readable(text, storage);
    Json root;
    try {
        root = Json::parse(json.begin(), json.end());
    } catch (const Json::exception&) {
        fail("it is not valid JSON");
    }
    const char* what = "the library";
    object(root, what);
    Library library;
    const Json& songs = array(root, "songs", what);
    const Json& books = array(root, "books", what);
    library.songs.reserve(songs.size());
    for (const Json& song : songs) library.songs.push_back(readSong(song));
    library.books.reserve(books.size());
    for (const Json& book : books) library.books.push_back(readBook(book));
    return library;
}

std::string Library::encode() const
{
    Json songsJson = Json::array(), booksJson = Json::array();
    for (const auto& s : songs) songsJson.push_back(write(s));
    for (const auto& b : books) booksJson.push_back(write(b));
    Json root{{"songs", std::move(songsJson)}, {"books", std::move(booksJson)}};
    // Keys come out sorted: the JSON object keeps them in an ordered map.
    return root.dump(2, ' ', false, Json::error_handler_t::replace);
}

} // namespace TunequillKit
