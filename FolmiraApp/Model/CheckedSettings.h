#pragma once

// The user's defaults file (~/.config/Folmira/Folmira.conf, QSettings' INI
// text) with its writes checked. QSettings writes the file from the event
// loop through a temporary file that replaces the old one; here a write that
// fails part way (a full disk) leaves the old file whole, where QSettings'
// own writer would put the cut-short copy in its place, and the failure is
// said: on standard error, and once a session to whoever asked to hear of it.
// The text is read and made in memory, as Qt's INI reader and writer do on
// files, so a full temporary folder costs nothing. A line Qt's reader can't
// make out is skipped and every other key kept; a hand-edited key that would
// not read back as itself is left out of the write, so it stops no save; a
// file that can't be read at all is never written over.
// Without that a changed setting (the mode, a text size) is lost at quit
// without a word.

#include <QSettings>
#include <QString>

#include <functional>

namespace FolmiraApp {

class CheckedSettings final : public QSettings {
public:
    // The headline and the detail of the one report.
    using Report = std::function<void(const QString& text, const QString& detail)>;

    // The application's own file, as QSettings("Folmira", "Folmira").
    CheckedSettings();
    // A file of its own (tests).
    explicit CheckedSettings(const QString& fileName);
    // Writes what is still pending; a failure then goes to standard error only.
    ~CheckedSettings() override;

    // Called once a session: at the first failed write, from the event loop,
    // or here and now when the file could not be read (it is then left as it
    // is and never written this session).
    void onFailure(Report report);

    // Writes the pending changes now; false once a write of this session has
    // failed (QSettings keeps its first error) or the file could not be read.
    bool save();

protected:
    bool event(QEvent* event) override;

private:
    // After a write: reports a failure the first time; `tell` false reports on standard error only.
    bool checked(bool tell);

    Report report_;
    bool failed_ = false;
};

} // namespace FolmiraApp
