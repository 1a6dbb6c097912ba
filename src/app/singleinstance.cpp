#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr const char *kInstanceName = "MERIDO Viewer";
constexpr QByteArrayView kActivate = "activate\n";
constexpr int kConnectTimeoutMs = 1000;
} // namespace

QString SingleInstance::defaultServerName()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir())
        return QDir(runtimeDir).filePath(QLatin1String(kInstanceName));
    return QLatin1String(kInstanceName);
}

SingleInstance::SingleInstance(const QString &serverName, QObject *parent)
    : QObject(parent), serverName(serverName)
{}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kActivate.data(), kActivate.size());
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim()
{
    if (askRunningInstance())
        return false;
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName)) {
        // Either another instance won the race a moment ago, or a crashed one left its
        // socket file behind: ask once more, and take the name over only if nobody answers.
        if (askRunningInstance())
            return false;
        QLocalServer::removeServer(serverName);
        if (!server->listen(serverName))
            return true; // run without the guard rather than not at all
    }
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains('\n'))
                    Q_EMIT activationRequested();
            });
        }
    });
    return true;
}
