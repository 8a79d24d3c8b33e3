#include "FolmiraApp/Model/IniText.h"

// The rules are Qt's own for its INI format, so that a file either program
// writes reads the same in the other: lines may continue inside quotes and
// after a backslash; keys escape "/" as "\" and other characters as %XX or
// %UXXXX; values are C-escaped, quoted when they hold ";", "," or "=" or
// begin or end with a space, lists are joined with ", ", and any value that
// is no text, number or Boolean is "@Type(...)" (a data stream for most).

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace FolmiraApp::IniText {

namespace {

// --- Lines ---

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isSpecial(char c) { return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\'; }

struct Line {
    QByteArrayView text;
    qsizetype equals = -1; // within text; -1 when it has no "=" outside quotes
};

// The next logical line from `pos` on, as Qt's reader cuts it: leading space
// and ";" comment lines skipped; a quote or a backslash carries it over a
// line end. None at the end of the text.
std::optional<Line> nextLine(QByteArrayView data, qsizetype& pos)
{
    const qsizetype size = data.size();
    qsizetype start = pos;
    while (start < size && isSpace(data[start])) ++start;
    qsizetype equals = -1;
    bool inQuotes = false;
    qsizetype i = start;
    while (i < size) {
        const char c = data[i++];
        if (!isSpecial(c)) continue;
        if (c == '=') {
            if (!inQuotes && equals == -1) equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char next = data[i++];
                if (i < size) {
                    const char after = data[i];
                    if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n')) ++i;
                }
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (i == start + 1) { // ';' opening a comment line
            while (i < size && data[i] != '\n' && data[i] != '\r') ++i;
            while (i < size && isSpace(data[i])) ++i;
            start = i;
        } else if (!inQuotes) {
            --i;
            break;
        }
    }
    pos = i;
    if (i == start) return std::nullopt;
    return Line{data.sliced(start, i - start), equals == -1 ? -1 : equals - start};
}

// --- Keys ---

constexpr char hexDigits[] = "0123456789ABCDEF";

bool isKeyCharacter(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

void escapeKey(const QString& key, QByteArray& out)
{
    for (const QChar qc : key) {
        char16_t c = qc.unicode();
        if (c == '/') {
            out += '\\';
        } else if (isKeyCharacter(c)) {
            out += char(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += hexDigits[c / 16];
            out += hexDigits[c % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) out += hexDigits[(c >> shift) & 0xF];
        }
    }
}

QString unescapeKey(QByteArrayView key)
{
    const QString decoded = QString::fromUtf8(key);
    const qsizetype size = decoded.size();
    QString out;
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = decoded[i].unicode();
        if (c == '\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c != '%' || i == size - 1) {
            out += QChar(c);
            ++i;
            continue;
        }
        const bool wide = decoded[i + 1] == u'U';
        const qsizetype first = i + (wide ? 2 : 1);
        const qsizetype digits = wide ? 4 : 2;
        bool ok = first + digits <= size;
        const ushort code = ok ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            out += u'%';
            ++i;
            continue;
        }
        out += QChar(code);
        i = first + digits;
    }
    return out;
}

// --- Values ---

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int octValue(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

void chopTrailingSpaces(QString& text, qsizetype limit)
{
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t')) text.chop(1);
}

char simpleEscape(char c)
{
    switch (c) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    case '"':
    case '?':
    case '\'':
    case '\\': return c;
    default: return 0;
    }
}

// One value's text: unquoted, unescaped, split at commas outside quotes.
class ValueReader {
public:
    explicit ValueReader(QByteArrayView text) : text_(text) {}

    // The text, or the list when a comma made one.
    bool read(QString& single, QStringList& list)
    {
        skipSpaces();
        if (readAll() && !quoted_) chopTrailingSpaces(current_, chopLimit_);
        if (isList_) list_.append(current_);
        single = current_;
        list = list_;
        return isList_;
    }

private:
    void skipSpaces()
    {
        while (i_ < text_.size() && (text_[i_] == ' ' || text_[i_] == '\t')) ++i_;
        chopLimit_ = current_.size();
    }

    // False when the text ended inside an escape: then nothing is chopped.
    bool readAll()
    {
        while (i_ < text_.size()) {
            const char c = text_[i_];
            if (c == '\\') {
                if (!escape()) return false;
            } else if (c == '"') {
                ++i_;
                quoted_ = true;
                inQuotes_ = !inQuotes_;
                if (!inQuotes_) skipSpaces();
            } else if (c == ',' && !inQuotes_) {
                if (!quoted_) chopTrailingSpaces(current_, chopLimit_);
                isList_ = true;
                list_.append(current_);
                current_.clear();
                quoted_ = false;
                ++i_;
                skipSpaces();
            } else {
                qsizetype j = i_ + 1;
                while (j < text_.size() && text_[j] != '\\' && text_[j] != '"' && text_[j] != ',') ++j;
                current_ += utf8_(text_.sliced(i_, j - i_));
                i_ = j;
            }
        }
        return true;
    }

    bool escape()
    {
        ++i_;
        if (i_ >= text_.size()) return false;
        const char c = text_[i_++];
        if (const char plain = simpleEscape(c)) {
            current_ += QLatin1Char(plain);
        } else if (c == 'x') {
            if (i_ >= text_.size()) return false;
            if (hexValue(text_[i_]) != -1) return number(16, hexValue);
        } else if (octValue(c) != -1) {
            --i_;
            return number(8, octValue);
        } else if ((c == '\n' || c == '\r') && i_ < text_.size()) {
            // A backslash at a line end continues the value on the next line.
            const char next = text_[i_];
            if ((next == '\n' || next == '\r') && next != c) ++i_;
        }
        // Any other escaped character is dropped.
        chopLimit_ = current_.size();
        return true;
    }

    // \x and octal escapes: as many digits as follow, kept to 16 bits.
    bool number(int base, int (*digit)(char))
    {
        char16_t value = 0;
        while (i_ < text_.size() && digit(text_[i_]) != -1)
            value = char16_t(value * base + digit(text_[i_++]));
        current_ += QChar(value);
        chopLimit_ = current_.size();
        return i_ < text_.size();
    }

    QByteArrayView text_;
    qsizetype i_ = 0;
    QString current_;
    QStringList list_;
    bool isList_ = false;
    bool inQuotes_ = false;
    bool quoted_ = false;
    qsizetype chopLimit_ = 0;
    QStringDecoder utf8_{QStringDecoder::Utf8};
};

QVariant streamed(const QString& text, qsizetype offset, QDataStream::Version version)
{
    QByteArray bytes = QStringView(text).sliced(offset).toLatin1();
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    stream.setVersion(version);
    QVariant value;
    stream >> value;
    return value;
}

// The numbers of "@Rect(1 2 3 4)" from `offset` on, when there are
// `count`; split at each space and each ")" as Qt splits them.
std::optional<QList<int>> numbers(const QString& text, qsizetype offset, qsizetype count)
{
    QStringList parts;
    QString item;
    for (qsizetype i = offset; i < text.size(); ++i) {
        if (text[i] == u')') {
            parts.append(item);
        } else if (text[i] == u' ') {
            parts.append(item);
            item.clear();
        } else {
            item += text[i];
        }
    }
    if (parts.size() != count) return std::nullopt;
    QList<int> out;
    for (const QString& part : parts) out.append(part.toInt());
    return out;
}

QVariant toVariant(const QString& text)
{
    if (text.startsWith(u'@') && text.endsWith(u')')) {
        if (text.startsWith(QLatin1String("@ByteArray("))) return QStringView(text).sliced(11).chopped(1).toLatin1();
        if (text.startsWith(QLatin1String("@String("))) return QStringView(text).sliced(8).chopped(1).toString();
        if (text.startsWith(QLatin1String("@Variant("))) return streamed(text, 9, QDataStream::Qt_4_0);
        if (text.startsWith(QLatin1String("@DateTime("))) return streamed(text, 10, QDataStream::Qt_5_6);
        if (text.startsWith(QLatin1String("@Rect(")))
            if (auto n = numbers(text, 6, 4)) return QRect((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
        if (text.startsWith(QLatin1String("@Size(")))
            if (auto n = numbers(text, 6, 2)) return QSize((*n)[0], (*n)[1]);
        if (text.startsWith(QLatin1String("@Point(")))
            if (auto n = numbers(text, 7, 2)) return QPoint((*n)[0], (*n)[1]);
        if (text == QLatin1String("@Invalid()")) return QVariant();
    }
    if (text.startsWith(QLatin1String("@@"))) return text.sliced(1);
    return text;
}

QVariant listToVariant(QStringList list)
{
    for (QString& item : list) {
        if (!item.startsWith(u'@')) continue;
        if (!item.startsWith(QLatin1String("@@"))) {
            QVariantList values;
            for (const QString& each : list) values.append(toVariant(each));
            return values;
        }
        item.remove(0, 1);
    }
    return list;
}

QVariant readValue(QByteArrayView text)
{
    QString single;
    QStringList list;
    return ValueReader(text).read(single, list) ? listToVariant(list) : toVariant(single);
}

QString streamText(const QVariant& value, const char* kind, QDataStream::Version version)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(version);
        stream << value;
    }
    return QLatin1String(kind) + QLatin1String(bytes.constData(), bytes.size()) + u')';
}

QString valueText(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType: return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QLatin1String("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size()) + u')';
    }
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        const QString text = value.toString();
        if (text.contains(QChar::Null)) return QLatin1String("@String(") + text + u')';
        return text.startsWith(u'@') ? u'@' + text : text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("@Rect(%1 %2 %3 %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QSize: return QStringLiteral("@Size(%1 %2)").arg(value.toSize().width()).arg(value.toSize().height());
    case QMetaType::QPoint: return QStringLiteral("@Point(%1 %2)").arg(value.toPoint().x()).arg(value.toPoint().y());
    case QMetaType::QDateTime: return streamText(value, "@DateTime(", QDataStream::Qt_5_6);
    default: return streamText(value, "@Variant(", QDataStream::Qt_4_0);
    }
}

void escapeText(const QString& text, QByteArray& out)
{
    const bool raw = text.startsWith(QLatin1String("@ByteArray(")) || text.startsWith(QLatin1String("@Variant(")) ||
                     text.startsWith(QLatin1String("@DateTime("));
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfDigit = false; // a digit after \x or \0 would be read as part of it
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == ';' || c == ',' || c == '=') needsQuotes = true;
        if (escapeNextIfDigit && c < 0x80 && hexValue(char(c)) != -1) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfDigit = false;
        if (c == 0) {
            out += "\\0";
            escapeNextIfDigit = true;
        } else if (c == '\a') out += "\\a";
        else if (c == '\b') out += "\\b";
        else if (c == '\f') out += "\\f";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\v') out += "\\v";
        else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c <= 0x1F || (c >= 0x7F && raw)) {
            out += "\\x" + QByteArray::number(c, 16);
            escapeNextIfDigit = true;
        } else if (raw) {
            out += char(c);
        } else {
            out += toUtf8(QStringView(&qc, 1));
        }
    }
    if (needsQuotes || (start < out.size() && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

void writeValue(const QVariant& value, QByteArray& out)
{
    const int type = value.metaType().id();
    // A one-item list reads back as its item, so it is written as one.
    const bool list = type == QMetaType::QStringList || (type == QMetaType::QVariantList && value.toList().size() != 1);
    if (!list) return escapeText(valueText(value), out);
    const QVariantList items = value.toList();
    if (items.isEmpty()) out += "@Invalid()";
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i != 0) out += ", ";
        escapeText(valueText(items[i]), out);
    }
}

// --- Sections ---

QByteArray sectionLine(const QString& section)
{
    QByteArray name;
    escapeKey(section, name);
    if (name.isEmpty()) return "[General]\n";
    if (name.compare("general", Qt::CaseInsensitive) == 0) return "[%General]\n";
    return '[' + name + "]\n";
}

// The section and the rest of a key: split at its first "/".
std::pair<QString, QString> splitKey(const QString& key)
{
    const qsizetype slash = key.indexOf(u'/');
    if (slash == -1) return {QString(), key};
    return {key.left(slash), key.mid(slash + 1)};
}

QByteArray entryLine(const QString& name, const QVariant& value)
{
    QByteArray line;
    escapeKey(name, line);
    line += '=';
    writeValue(value, line);
    line += '\n';
    return line;
}

// A value read back is the one written when it reads the same: a Boolean or
// a number comes back as its text.
bool sameValue(const QVariant& written, const QVariant& read)
{
    return written == read || written.toString() == read.toString();
}

// The key's own section and line read back alone give it and its value.
bool readsBack(const QString& key, const QVariant& value)
{
    const auto [section, name] = splitKey(key);
    const QSettings::SettingsMap back = read(sectionLine(section) + entryLine(name, value));
    return back.size() == 1 && back.firstKey() == key && sameValue(value, back.first());
}

} // namespace

QSettings::SettingsMap read(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
    QSettings::SettingsMap map;
    QString section;
    qsizetype pos = 0;
    while (auto line = nextLine(bytes, pos)) {
        const QByteArrayView text = line->text;
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            const QByteArrayView name = text.first(close < 0 ? text.size() : close).sliced(1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0) section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0) section = QString::fromLatin1(name.sliced(1)) + u'/';
            else section = unescapeKey(name) + u'/';
            continue;
        }
        // A line without "=" (a comment or a stray line) carries no key.
        if (line->equals < 0) continue;
        const QString key = section + unescapeKey(text.first(line->equals).trimmed());
        map.insert(key, readValue(text.sliced(line->equals + 1)));
    }
    return map;
}

QByteArray write(const QSettings::SettingsMap& map, QStringList* dropped)
{
    // Sections in the order of their names, "[General]" first, as Qt writes
    // a file whose keys came in no order of their own.
    QMap<QString, QByteArray> sections;
    for (auto item = map.begin(); item != map.end(); ++item) {
        if (!readsBack(item.key(), item.value())) {
            if (dropped) dropped->append(item.key());
            continue;
        }
        const auto [section, name] = splitKey(item.key());
        sections[section] += entryLine(name, item.value());
    }
    QByteArray out;
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        if (!out.isEmpty()) out += '\n';
        out += sectionLine(section.key()) + section.value();
    }
    return out;
}

} // namespace FolmiraApp::IniText
