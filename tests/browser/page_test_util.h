#pragma once

// Helpers for tests that drive real pages in either engine through the
// frame: scripts, clicks with real X input, and steps that run from a timer
// (an engine may be waiting inside a page dialog, with the test's own code
// held up in the event loop below it).
#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>

#include "browser/browser_child.h"
#include "browser/web_engine_control.h"
#include "browser/webkit_control.h"

// Runs a script in the child's page and waits for its result (as text).
inline QString pageScript(TBrowserChild* c, const QString& script, int timeoutMs = 15000) {
  bool done = false;
  QString value;
  if (auto* ie = qobject_cast<TWebBrowser*>(c->Control())) {
    ie->view()->page()->runJavaScript(script, [&](const QVariant& v) {
      value = v.toString();
      done = true;
    });
  } else if (auto* mz = qobject_cast<TMozillaBrowser*>(c->Control())) {
    mz->runJavaScript(script, [&](const QString& v, const QString& e) {
      value = e.isEmpty() ? v : QStringLiteral("<error: %1>").arg(e);
      done = true;
    });
  }
  if (!QTest::qWaitFor([&] { return done; }, timeoutMs)) return QStringLiteral("<timeout>");
  return value;
}

// Clicks an element of the page with real X input (WebKit views never see
// Qt's synthetic events, and only real input counts as a user action).
inline bool clickElement(TBrowserChild* c, const QString& selector) {
  const QString r =
      pageScript(c, QStringLiteral("(function(){var r=document.querySelector('%1').getBoundingClientRect();"
                                   "return Math.round(r.left+r.width/2)+','+Math.round(r.top+r.height/2);})()")
                        .arg(selector));
  const QStringList xy = r.split(u',');
  if (xy.size() != 2) return false;
  const QPoint p = c->Control()->mapToGlobal(QPoint(xy[0].toInt(), xy[1].toInt()));
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
