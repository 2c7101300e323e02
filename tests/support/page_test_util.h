#pragma once

// Helpers for tests that drive real pages in either engine through the
// frame: scripts, clicks with real X input, and steps that run from a timer
// (an engine may be waiting inside a page dialog, with the test's own code
// held up in the event loop below it).
#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include "app/main_form.h"
#include "browser/browser_child.h"
#include "engine/webengine/web_engine_control.h"
#include "engine/webkit/webkit_control.h"

// One row per engine, each a config.ini that makes File > New open that
// engine's windows: the global data of tests run in both engines.
inline void addEngineRows() {
  QTest::addColumn<QByteArray>("config");
  QTest::newRow("Internet Explorer") << QByteArray("[General]\nLastEngine=IE\n");
  QTest::newRow("Gekko") << QByteArray("[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n");
}

// Opens a window of the frame's engine at url and waits (at most 20 s) for
// its page to have this title; the new child, or null.
inline TBrowserChild* openPage(TMainForm* f, const QString& url, const QString& title) {
  f->OpenChild(QString(), url);
  TBrowserChild* c = f->ActiveMDIChild();
  if (c && !title.isEmpty()) (void)QTest::qWaitFor([&] { return c->windowTitle() == title; }, 20000);
  return c;
}

// Runs a script in the child's page and waits for its result (as text).
// An answer that comes after the wait gave up (the page was being replaced)
// lands in state of its own, not in this call's gone frame.
inline QString pageScript(TBrowserChild* c, const QString& script, int timeoutMs = 15000) {
  struct Result {
    bool done = false;
    QString value;
  };
  auto result = std::make_shared<Result>();
  if (auto* ie = qobject_cast<TWebBrowser*>(c->Control())) {
    ie->view()->page()->runJavaScript(script, [result](const QVariant& v) {
      result->value = v.toString();
      result->done = true;
    });
  } else if (auto* mz = qobject_cast<TMozillaBrowser*>(c->Control())) {
    mz->runJavaScript(script, [result](const QString& v, const QString& e) {
      result->value = e.isEmpty() ? v : QStringLiteral("<error: %1>").arg(e);
      result->done = true;
    });
  }
  if (!QTest::qWaitFor([&] { return result->done; }, timeoutMs)) return QStringLiteral("<timeout>");
  return result->value;
}

// The centre of an element of the page, in the control's coordinates
// (none when the page has no such element).
inline std::optional<QPoint> elementCentre(TBrowserChild* c, const QString& selector) {
  const QString r =
      pageScript(c, QStringLiteral("(function(){var r=document.querySelector('%1').getBoundingClientRect();"
                                   "return Math.round(r.left+r.width/2)+','+Math.round(r.top+r.height/2);})()")
                        .arg(selector));
  const QStringList xy = r.split(u',');
  if (xy.size() != 2) return std::nullopt;
  return QPoint(xy[0].toInt(), xy[1].toInt());
}

// Clicks an element of the page with real X input (WebKit views never see
// Qt's synthetic events, and only real input counts as a user action).
inline bool clickElement(TBrowserChild* c, const QString& selector) {
  const std::optional<QPoint> at = elementCentre(c, selector);
  if (!at) return false;
  const QPoint p = c->Control()->mapToGlobal(*at);
  if (QProcess::execute(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())}) != 0)
    return false;
  QTest::qWait(200);
  return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")}) == 0;
}

// Steps taken from a timer, each when its condition holds.
class TimedSteps : public QObject {
 public:
  TimedSteps() {
    timer_.setInterval(40);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (steps_.isEmpty() || busy_) return;
      if (!steps_.first().first()) return;
      busy_ = true;
      auto act = steps_.takeFirst().second;
      act();
      busy_ = false;
    });
    timer_.start();
  }
  TimedSteps& when(std::function<bool()> ready, std::function<void()> act) {
    steps_.append({std::move(ready), std::move(act)});
    return *this;
  }
  bool done() const { return steps_.isEmpty(); }
  int left() const { return static_cast<int>(steps_.size()); }

 private:
  QTimer timer_;
  QList<QPair<std::function<bool()>, std::function<void()>>> steps_;
  bool busy_ = false;
};

// The visible top-level window with this object name (a dialog), if any.
template <typename T = QWidget>
T* visibleWindow(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == name)
      if (auto* t = qobject_cast<T*>(w)) return t;
  return nullptr;
}

// The same once its buttons take clicks: a question to the user ignores
// input for a moment after it appears.
template <typename T = QWidget>
T* answerableWindow(const QString& name) {
  T* w = visibleWindow<T>(name);
  if (!w) return nullptr;
  for (QAbstractButton* b : w->template findChildren<QAbstractButton*>())
    if (!b->isEnabled()) return nullptr;
  return w;
}

// A server whose answers the test writes whole: status line, headers and
// body per path, optionally sent slowly in chunks (downloads that take a
// while), optionally behind Basic sign-in. Unknown paths are 404. Over TLS
// when Server is a QSslServer (with its certificate set by the test).
template <class Server>
class BasicPageServer : public Server {
 public:
  struct Answer {
    QByteArray headers = "Content-Type: text/html; charset=utf-8\r\n";  // each line ending in \r\n
    QByteArray body;
    int chunk = 0;      // bytes per piece; 0: all at once
    int delayMs = 0;    // between pieces
    QByteArray signIn;  // "user:password" that Basic sign-in needs; others get 401
    QByteArray realm;
    QByteArray deniedBody;  // the 401 page
    qint64 announced = -1;  // the Content-Length sent when not the body's (a server that stops short)
  };
  QHash<QByteArray, Answer> answers;
  QList<QByteArray> requested;

  BasicPageServer() {
    this->listen(QHostAddress::LocalHost, 0);
    // Pending once accepted, and for TLS once encrypted.
    QObject::connect(this, &QTcpServer::pendingConnectionAvailable, this, [this] {
      while (QTcpSocket* s = this->nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
        if (s->bytesAvailable()) serve(s);
      }
    });
  }
  QString url(const char* path) const {
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(std::is_same_v<Server, QTcpServer> ? "http" : "https")
        .arg(this->serverPort())
        .arg(path);
  }

 private:
  void serve(QTcpSocket* s) {
    const QByteArray head = s->peek(16384);
    if (!head.contains("\r\n\r\n") || s->property("served").toBool()) return;
    s->setProperty("served", true);
    s->readAll();
    const QList<QByteArray> first = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray path = first.size() > 1 ? first[1] : QByteArray("/");
    requested << path;
    if (!answers.contains(path)) {
      s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
      s->disconnectFromHost();
      return;
    }
    const Answer a = answers.value(path);
    if (!a.signIn.isEmpty() && !head.contains("\r\nAuthorization: Basic " + a.signIn.toBase64() + "\r\n")) {
      s->write("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"" + a.realm +
               "\"\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(a.deniedBody.size()) + "\r\n\r\n" + a.deniedBody);
      s->disconnectFromHost();
      return;
    }
    s->write("HTTP/1.1 200 OK\r\n" + a.headers + "Connection: close\r\nContent-Length: " +
             QByteArray::number(a.announced >= 0 ? a.announced : a.body.size()) + "\r\n\r\n");
    if (a.chunk <= 0) {
      s->write(a.body);
      s->disconnectFromHost();
      return;
    }
    auto* timer = new QTimer(s);
    auto sent = std::make_shared<qsizetype>(0);
    QPointer<QTcpSocket> sock(s);
    QObject::connect(timer, &QTimer::timeout, s, [a, sent, sock, timer] {
      if (!sock || sock->state() != QAbstractSocket::ConnectedState) return timer->stop();
      sock->write(a.body.mid(*sent, a.chunk));
      *sent += a.chunk;
      if (*sent >= a.body.size()) {
        timer->stop();
        sock->disconnectFromHost();
      }
    });
    timer->start(a.delayMs);
  }
};
using PageServer = BasicPageServer<QTcpServer>;
