#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include "station/station.h"

namespace quillon {

namespace {

constexpr const char* kActivate = "activate\n";
constexpr int kConnectTimeoutMs = 500;
// A first instance that holds the lock may not be listening yet: it is asked again for
// this long before the later process gives up and ends all the same.
constexpr int kAskForMs = 5000;

}  // namespace

QString SingleInstance::DefaultName() {
    const QString named = qEnvironmentVariable("QUILLON_INSTANCE_NAME");
    if (!named.isEmpty()) {
        return named;
    }
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        user = QString::number(getuid());
    }
    return QString(Station::kCaption) + "-" + user;
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim() {
    // The lock decides who is first; the lock of a process that died is taken over.
    lock_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(name_ + ".lock"));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        AskRunningInstance();
        return false;
    }
    QLocalServer::removeServer(name_);  // left behind by a process that died
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
    server_->listen(name_);
    return true;
}

bool SingleInstance::AskRunningInstance() const {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kAskForMs) {
        QLocalSocket socket;
        socket.connectToServer(name_);
        if (socket.waitForConnected(kConnectTimeoutMs)) {
            socket.write(kActivate);
            const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                socket->readLine();
                emit activationRequested();
            }
        });
    }
}

}  // namespace quillon
