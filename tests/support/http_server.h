#pragma once

// A small HTTP server on the loopback address for engine tests: serves
// pages from a map of path -> body; unknown paths are 404; held paths are
// never answered (a load that stays pending).
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

class TestHttpServer : public QTcpServer {
 public:
  QHash<QByteArray, QByteArray> pages;  // "/a.html" -> body
  QList<QByteArray> requested;
  QList<QByteArray> heads;  // each request's line and headers, in order
  QSet<QByteArray> held;

  TestHttpServer() {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          const QByteArray head = s->peek(8192);
          if (!head.contains("\r\n\r\n")) return;
          s->readAll();
          const QList<QByteArray> first = head.left(head.indexOf("\r\n")).split(' ');
          const QByteArray path = first.size() > 1 ? first[1] : QByteArray("/");
          requested << path;
          heads << head.left(head.indexOf("\r\n\r\n"));
          if (held.contains(path)) return;
          const bool found = pages.contains(path);
          const QByteArray body = found ? pages.value(path) : QByteArray("not found");
          s->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                   QByteArray("Content-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: ") +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QString url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path); }
};
