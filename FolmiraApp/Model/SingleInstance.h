#pragma once

// One Folmira per user. The first process listens on a local socket in the
// user's runtime folder; a later one hands the files it was given to that
// process and ends, so that two processes never both hold the song library.
// A socket file left behind by a process that crashed is removed. A lock file
// beside the socket keeps two processes starting at once from both listening.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace FolmiraApp {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        first,      // this process runs Folmira; files from later ones arrive by filesReceived
        handedOver, // a running Folmira took the files: end this process with status 0
    };

    // Handed-over lists larger than this are dropped: a list of paths is small.
    static constexpr qint64 maximumMessageBytes = 4 * 1024 * 1024;

    // `socketPath` empty: defaultSocketPath().
    explicit SingleInstance(QString socketPath = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket in the user's runtime folder ($XDG_RUNTIME_DIR).
    static QString defaultSocketPath();

    // Becomes the running Folmira, or hands `files` (made absolute against the
    // current folder) to the one that runs. When the socket can't be made at
    // all, this process runs on its own (first) rather than not at all.
    Role claim(const QStringList& files);

    const QString& socketPath() const { return socketPath_; }
    bool listening() const { return server_.isListening(); }

signals:
    // Files another process was started with (possibly none: it was started
    // again, and this window should come to the front).
    void filesReceived(const QStringList& files);

private:
    bool handOver(const QStringList& files);
    void accept();

    QString socketPath_;
    QLocalServer server_;
};

} // namespace FolmiraApp
