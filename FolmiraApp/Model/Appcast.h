#pragma once

// The update feed: an RSS appcast whose items each carry a version and the
// address of that version's page.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace FolmiraApp::Appcast {

// Feeds larger than this are not read: a feed lists a few releases.
inline constexpr qint64 maximumBytes = 4 * 1024 * 1024;

struct Item {
    QString version; // the version shown to people, else the build version
    QUrl page;       // the item's link, else its release notes, else its download
};

// The items that carry both a version and an address, in feed order. Nothing
// when the feed is not well-formed XML.
std::optional<std::vector<Item>> read(const QByteArray& feed);

// The item with the highest version that is newer than `current`, if any.
std::optional<Item> newerThan(const std::vector<Item>& items, const QString& current);

} // namespace FolmiraApp::Appcast
