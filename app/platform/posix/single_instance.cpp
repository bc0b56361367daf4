#include "app/platform/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include "config/board_index.h"
#include "station/station.h"

namespace quillon {

namespace {

constexpr const char* kActivate = "activate\n";
constexpr int kConnectTimeoutMs = 500;
// A first instance that holds the lock may not be listening yet: it is asked again for
// this long before the later process gives up and ends all the same.
constexpr int kAskForMs = 5000;

bool AskRunningInstance(const QString& name) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kAskForMs) {
        QLocalSocket socket;
        socket.connectToServer(name);
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

}  // namespace

// The lock that decides who is first, and the socket later processes knock on.
struct SingleInstance::Claimed {
    std::unique_ptr<QLockFile> lock;
    QLocalServer* server = nullptr;  // child of the SingleInstance
};

QString SingleInstance::DefaultName(int boardIndex) {
    const QString board = QString::fromStdString(BoardSuffix(boardIndex));
    const QString named = qEnvironmentVariable("QUILLON_INSTANCE_NAME");
    if (!named.isEmpty()) {
        return named + board;
    }
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        user = QString::number(getuid());
    }
    return QString(Station::kCaption) + "-" + user + board;
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim() {
    // The lock decides who is first; the lock of a process that died is taken over.
    auto claimed = std::make_unique<Claimed>();
    claimed->lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(name_ + ".lock"));
    claimed->lock->setStaleLockTime(0);
    if (!claimed->lock->tryLock(0)) {
        AskRunningInstance(name_);
        return false;
    }
    QLocalServer::removeServer(name_);  // left behind by a process that died
    QLocalServer* server = new QLocalServer(this);
    claimed->server = server;
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    socket->readLine();
                    emit activationRequested();
                }
            });
        }
    });
    server->listen(name_);
    claimed_ = std::move(claimed);
    return true;
}

}  // namespace quillon
