#pragma once

// QSettings' INI text, read and written in memory. Qt offers its INI reader
// and writer on files only; these make out the same keys and values from the
// same bytes and write the text Qt's writer writes, with no scratch file (a
// full or missing temporary folder costs nothing).

#include <QByteArray>
#include <QByteArrayView>
#include <QSettings>
#include <QStringList>

namespace FolmiraApp::IniText {

// The keys and values Qt's INI reader makes out of `bytes`: "[section]"
// lines prefix the keys after them, a line it can't make out (a hand-edited
// one without "=") is skipped and every other key kept. Never fails.
QSettings::SettingsMap read(QByteArrayView bytes);

// INI text of `map` as Qt's writer puts it: a section for each first part of
// a key, "[General]" for keys without one. A key that would not read back as
// itself with its value (a hand-edited "//" or "[" section) is left out and
// added to `dropped`, so every other key is still written.
QByteArray write(const QSettings::SettingsMap& map, QStringList* dropped = nullptr);

} // namespace FolmiraApp::IniText
