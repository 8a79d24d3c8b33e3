#include "FolmiraApp/Model/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace FolmiraApp {

namespace {

constexpr int connectTimeoutMs = 2000;
constexpr int writeTimeoutMs = 5000;

QStringList absolute(const QStringList& files)
{
    QStringList paths;
    for (const auto& file : files) paths << QFileInfo(file).absoluteFilePath();
    return paths;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath.isEmpty() ? defaultSocketPath() : std::move(socketPath))
{
    // Only the user may connect: the runtime folder is private, and so is the socket.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("folmira.socket"));
}

SingleInstance::Role SingleInstance::claim(const QStringList& files)
{
    // Held while looking for a running Folmira and, when there is none,
    // while taking the socket over: a process that starts at the same moment
    // waits here and then finds this one listening.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // a lock whose process has died is taken over at once
    const bool locked = lock.tryLock(connectTimeoutMs);

    if (handOver(files)) return Role::handedOver;
    if (!locked) return Role::first; // no socket to be had; run alone rather than not at all
    // Nobody answers, so a socket file still there is a crashed run's.
    QLocalServer::removeServer(socketPath_);
    server_.listen(socketPath_);
    return Role::first;
}

bool SingleInstance::handOver(const QStringList& files)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(connectTimeoutMs)) return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << absolute(files);
    QDataStream wire(&socket);
    wire << message;
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(writeTimeoutMs)) break;
    socket.disconnectFromServer();
    // The running Folmira exists either way: never start a second one.
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QByteArray message;
            in >> message;
            if (!in.commitTransaction()) {
                if (socket->bytesAvailable() > maximumMessageBytes) socket->abort();
                return; // the rest is still on its way
            }
            QStringList files;
            QDataStream list(message);
            list >> files;
            socket->disconnectFromServer();
            emit filesReceived(files);
        });
    }
}

} // namespace FolmiraApp
