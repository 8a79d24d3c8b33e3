#include "FolmiraApp/Model/Appcast.h"

#include <QVersionNumber>
#include <QXmlStreamReader>

namespace FolmiraApp::Appcast {

namespace {

// What one <item> says; elements are matched by local name, so the feed's
// namespace prefix does not matter.
struct Fields {
    QString shortVersion, version, link, releaseNotes, enclosure;

    std::optional<Item> item() const
    {
        const QString shown = !shortVersion.isEmpty() ? shortVersion : version;
        const QString address = !link.isEmpty() ? link : (!releaseNotes.isEmpty() ? releaseNotes : enclosure);
        const QUrl page(address.trimmed(), QUrl::StrictMode);
        if (shown.trimmed().isEmpty() || !page.isValid() || page.scheme().isEmpty()) return std::nullopt;
        return Item{shown.trimmed(), page};
    }
};

void readEnclosure(const QXmlStreamAttributes& attributes, Fields& fields)
{
    for (const auto& attribute : attributes) {
        const auto name = attribute.name();
        if (name == u"url") fields.enclosure = attribute.value().toString();
        if (name == u"shortVersionString" && fields.shortVersion.isEmpty())
            fields.shortVersion = attribute.value().toString();
        if (name == u"version" && fields.version.isEmpty()) fields.version = attribute.value().toString();
    }
}

void readItem(QXmlStreamReader& xml, std::vector<Item>& items)
{
    Fields fields;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == u"enclosure") {
            readEnclosure(xml.attributes(), fields);
            xml.skipCurrentElement();
        } else if (name == u"shortVersionString") {
            fields.shortVersion = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"version") {
            fields.version = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"link") {
            fields.link = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"releaseNotesLink") {
            fields.releaseNotes = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (auto item = fields.item()) items.push_back(*item);
}

} // namespace

std::optional<std::vector<Item>> read(const QByteArray& feed)
{
    QXmlStreamReader xml(feed);
    std::vector<Item> items;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"item") readItem(xml, items);
    }
    if (xml.hasError()) return std::nullopt;
    return items;
}

std::optional<Item> newerThan(const std::vector<Item>& items, const QString& current)
{
    std::optional<Item> newest;
    QVersionNumber best = QVersionNumber::fromString(current);
    for (const auto& item : items) {
        const auto version = QVersionNumber::fromString(item.version);
        if (version.isNull() || QVersionNumber::compare(version, best) <= 0) continue;
        best = version;
        newest = item;
    }
    return newest;
}

} // namespace FolmiraApp::Appcast
