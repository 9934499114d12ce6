#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString userRuntimeFolder()
{
#ifdef Q_OS_WIN
    // The user's own temporary folder; Windows has no per-session runtime folder.
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
#else
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
    , folder(userRuntimeFolder())
    , lock(QDir(folder).filePath(u"kelo.lock"_s))
{
    // Only a dead process's lock is stale, never one a long run has held.
    lock.setStaleLockTime(0);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *asking = server.nextPendingConnection()) {
            asking->disconnectFromServer();
            asking->deleteLater();
            emit showRequested();
        }
    });
}

bool SingleInstance::claim()
{
#ifdef Q_OS_WIN
    // Pipe names are machine-wide: the user's folder makes it theirs.
    const QString name
        = u"kelo-"_s
        + QString::fromLatin1(
              QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
#else
    const QString name = QDir(folder).filePath(u"kelo.socket"_s);
#endif
    QDir().mkpath(folder);
    if (lock.tryLock(0)) {
        QLocalServer::removeServer(name); // a killed run's
        if (!server.listen(name))
            std::fprintf(stderr, "Kelo#: a second start will not find this one (%s)\n",
                         qPrintable(server.errorString()));
        return true;
    }
    // The first may still be starting: it listens within a few seconds.
    QLocalSocket socket;
    bool asked = false;
    for (QDeadlineTimer deadline(5000); !asked && !deadline.hasExpired(); QThread::msleep(100)) {
        socket.connectToServer(name);
        asked = socket.waitForConnected(500);
    }
    std::fprintf(stderr, "Kelo#: Kelo# already runs in this session: %s\n",
                 asked ? "its window is shown, and this start ends" : "it does not answer");
    return false;
}
