#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>

#include "platform/posix/user_socket.h"

namespace vantrel::qt {

namespace {
// The hand-over message's number, and the answer once it has been handled.
constexpr char kHandOver[] = "1025\n";
constexpr char kTaken[] = "ok\n";
constexpr qsizetype kMaxMessage = 64;
// Connections served at once, and how long one may stay without its message.
constexpr int kMaxClients = 4;
constexpr int kIdleMs = 2000;
constexpr int kListenRetryMs = 1000;

bool ownUser(qintptr socket) {
    return posix::peerUser(int(socket)) == ::getuid();
}

}  // namespace

QString SingleInstance::nameForThisSession() {
    return QStringLiteral("TVantrelForm-%1-%2")
        .arg(::getuid())
        .arg(QString::fromStdString(posix::displayName()));
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {
    // Not UserAccessOption: with it a second listen() silently takes a live server's name.
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    // Connections beyond these wait in the kernel's queue, holding no file of this process.
    server_.setMaxPendingConnections(kMaxClients);
    keepListening_.setInterval(kListenRetryMs);
    QObject::connect(&keepListening_, &QTimer::timeout, &server_, [this] {
        if (!server_.isListening()) tryListen();
    });
    QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                     [this] { takeConnections(); });
}

SingleInstance::~SingleInstance() {
    keepListening_.stop();
    server_.disconnect();
    for (QLocalSocket* client : server_.findChildren<QLocalSocket*>()) {
        client->disconnect();
        delete client;
    }
    server_.close();
}

SingleInstance::HandOver SingleInstance::handOverToRunningCopy(int connectMs, int answerMs) const {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(connectMs)) return HandOver::NoCopy;
    // Another user's listener on the name is not this user's copy, and is told nothing.
    if (!ownUser(socket.socketDescriptor())) return HandOver::NoCopy;
    socket.write(kHandOver);
    // From here on the copy is known to run: whatever it answers, this start must not become a
    // second copy.
    if (!socket.waitForBytesWritten(answerMs)) return HandOver::Unanswered;
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kMaxMessage) {
        if (!socket.waitForReadyRead(answerMs)) break;
        answer += socket.readAll();
    }
    return answer == kTaken ? HandOver::Taken : HandOver::Unanswered;
}

bool SingleInstance::listen(std::function<void()> onHandOver) {
    onHandOver_ = std::move(onHandOver);
    keepListening_.start();
    return tryListen();
}

bool SingleInstance::tryListen() {
    server_.close();
    return server_.listen(name_);
}

void SingleInstance::takeConnections() {
    // A failed accept (out of files) closes the server; it listens again at the next retry. Qt
    // must not be asked for connections meanwhile.
    while (clients_ < kMaxClients && server_.isListening() && server_.hasPendingConnections()) {
        serve(server_.nextPendingConnection());
    }
}

void SingleInstance::serve(QLocalSocket* client) {
    if (!ownUser(client->socketDescriptor())) {
        client->abort();
        client->deleteLater();
        return;
    }
    ++clients_;
    QObject::connect(client, &QObject::destroyed, &server_, [this] {
        --clients_;
        takeConnections();
    });
    QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    QTimer::singleShot(kIdleMs, client, [client] { client->abort(); });
    QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
        // Anything but the one short message is dropped.
        if (client->bytesAvailable() > kMaxMessage) {
            client->abort();
            return;
        }
        if (!client->canReadLine()) return;
        if (client->readLine() != kHandOver) {
            client->abort();
            return;
        }
        if (onHandOver_) onHandOver_();
        client->write(kTaken);
        client->disconnectFromServer();
    });
}

}  // namespace vantrel::qt
