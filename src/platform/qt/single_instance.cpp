#include "platform/qt/single_instance.h"

#include <unistd.h>
#include <QLocalSocket>

namespace vantrel::qt {

namespace {
// The hand-over message's number, and the answer once it has been handled.
constexpr char kHandOver[] = "1025\n";
constexpr char kTaken[] = "ok\n";
constexpr qsizetype kMaxMessage = 64;
}  // namespace

QString SingleInstance::nameForCurrentUser() {
    return QStringLiteral("TVantrelForm-%1").arg(::getuid());
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {
    // Not UserAccessOption: with it a second listen() silently takes a live server's name.
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

bool SingleInstance::handOverToRunningCopy(int timeoutMs) const {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kHandOver);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kMaxMessage) {
        if (!socket.waitForReadyRead(timeoutMs)) break;
        answer += socket.readAll();
    }
    return answer == kTaken;
}

bool SingleInstance::listen(std::function<void()> onHandOver) {
    onHandOver_ = std::move(onHandOver);
    if (!server_.listen(name_)) return false;
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket* client = server_.nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
                // Anything but the one short message is dropped: the socket is open to every
                // process of this user.
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
    });
    return true;
}

}  // namespace vantrel::qt
