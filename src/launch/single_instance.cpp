#include "launch/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "launch/launch_rules.h"
#include "platform/user_folders.h"

namespace launch {
namespace {

// How long a peer may take to send its whole message, and how long a start
// waits for the running frame to take its addresses.
constexpr int kPeerTimeoutMs = 10000;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kAnswerTimeoutMs = 30000;

bool sameUser(qintptr fd) {
  struct ucred cred {};
  socklen_t size = sizeof cred;
  if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred)
    return false;
  return cred.uid == ::geteuid();
}

// Whether `folder` is the user's alone, made so when it is the user's: a
// folder another user made in the temporary folder under our name is not.
bool privateFolder(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & 077) == 0 || ::chmod(path.constData(), S_IRWXU) == 0;
}

}  // namespace

QString socketPath() {
  const QString folder = user_folders::runtime();
  return privateFolder(folder) ? folder + QStringLiteral("/zelvo.sock") : QString();
}

bool handOver(const QStringList& addresses, const QString& path) {
  if (path.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  // The addresses go to a frame of this user only.
  if (!sameUser(socket.socketDescriptor())) return false;
  socket.write(encodeMessage(addresses));
  if (!socket.waitForBytesWritten(kConnectTimeoutMs)) return false;
  QByteArray answer;
  const QByteArray accepted(kAccepted);
  while (answer.size() < accepted.size() && socket.waitForReadyRead(kAnswerTimeoutMs))
    answer += socket.read(accepted.size() - answer.size());
  return answer == accepted;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) take(peer);
  });
}

bool InstanceServer::listen(const QString& path) {
  if (path.isEmpty()) return false;
  // No socket options: with them the toolkit renames its socket over the
  // path, which would replace a running frame's. A plain bind fails when
  // the name is taken, so of two starts at once only one listens.
  if (!server_->listen(path)) {
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kConnectTimeoutMs) || probe.error() != QLocalSocket::ConnectionRefusedError)
      return false;
    // Nobody listens: the file is what a crashed run left.
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) return false;
  }
  // The run folder is the user's alone already; the socket is, too.
  ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR);
  return true;
}

void InstanceServer::take(QLocalSocket* peer) {
  connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
  if (!sameUser(peer->socketDescriptor())) {
    peer->abort();
    peer->deleteLater();
    return;
  }
  auto buffer = std::make_shared<QByteArray>();
  auto* timeout = new QTimer(peer);
  timeout->setSingleShot(true);
  connect(timeout, &QTimer::timeout, peer, [peer] {
    peer->abort();
    peer->deleteLater();
  });
  timeout->start(kPeerTimeoutMs);
  connect(peer, &QLocalSocket::readyRead, this, [this, peer, buffer, timeout] {
    *buffer += peer->read(kMaxMessageBytes + 1 - buffer->size());
    const Decoded message = decodeMessage(*buffer);
    if (message.malformed) {
      peer->abort();
      peer->deleteLater();
      return;
    }
    if (!message.complete) return;
    timeout->stop();
    peer->disconnect(this);
    // Answered first: the start that sent them ends now, whatever opening
    // them brings.
    peer->write(kAccepted);
    peer->disconnectFromServer();
    emit addressesReceived(message.addresses);
  });
}

}  // namespace launch
