#include "QtSingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr QByteArrayView kShowLog = "show-log\n";
// A second start may come while the first is still between taking the lock and listening.
constexpr int kConnectMs = 5000;
constexpr int kRetryMs = 50;

// Per user (the runtime folder is private to the user) and per folder, however it was spelled.
QString InstanceBase(const QString& folder) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QFileInfo(folder).absoluteFilePath();
    QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return dir + "/mascot-" + QString::fromLatin1(hash);
}

} // namespace

QtSingleInstance::QtSingleInstance(const QString& folder)
    : m_socketPath(InstanceBase(folder) + ".sock"), m_lock(InstanceBase(folder) + ".lock") {
    // A lock left by a crashed instance names a dead process and is taken over at once.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &QtSingleInstance::Accept);
}

bool QtSingleInstance::Claim() {
    if (!m_lock.tryLock(0)) return false;
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket this instance still runs; later starts then only fail to reach it.
    m_server.listen(m_socketPath);
    return true;
}

bool QtSingleInstance::NotifyRunning() const {
    QDeadlineTimer deadline(kConnectMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(kRetryMs)) break;
        if (deadline.hasExpired()) return false;
        QThread::msleep(kRetryMs);
    }
    socket.write(kShowLog.data(), kShowLog.size());
    bool sent = socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromServer();
    return sent;
}

void QtSingleInstance::Accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            if (!socket->canReadLine()) return;
            if (socket->readLine() == kShowLog.toByteArray()) emit ShowRequested();
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}
