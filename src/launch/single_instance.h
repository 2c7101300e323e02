#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One frame per user takes the addresses of later starts: it listens on a
// local socket in the user's run folder, which only the user may reach, and
// refuses a peer of any other user.
namespace launch {

// The socket's path: "zelvo.sock" in user_folders::runtime(); empty when
// that folder is not the user's alone (then no frame is shared).
QString socketPath();

// Gives `addresses` to the frame listening at `path`; true once it took
// them, false when none listens there or it did not answer.
bool handOver(const QStringList& addresses, const QString& path);

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  explicit InstanceServer(QObject* parent = nullptr);
  // Listens at `path`, taking over a socket file a crashed run left. False
  // when another frame already answers there, or listening failed.
  bool listen(const QString& path);

 signals:
  // A peer of the same user handed these over; the frame opens them.
  void addressesReceived(const QStringList& addresses);

 private:
  void take(QLocalSocket* peer);
  QLocalServer* server_;
};

}  // namespace launch
