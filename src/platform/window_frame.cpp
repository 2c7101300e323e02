#include "platform/window_frame.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace window_frame {

namespace {

// The frame the window manager has put around `w`, none while it has not.
QMargins ownFrame(const QWidget* w) {
  const QWindow* win = w->windowHandle();
  return win && w->isVisible() ? win->frameMargins() : QMargins();
}

Qt::WindowType kindOf(const QWidget* w) { return w->windowType(); }

void apply(QWidget* w, const QRect& outer, const QMargins& m) {
  const QSize client(outer.width() - m.left() - m.right(), outer.height() - m.top() - m.bottom());
  if (w->size() != client) w->resize(client);
  // A top-level window's position is that of its frame.
  if (w->pos() != outer.topLeft()) w->move(outer.topLeft());
}

}  // namespace

QMargins frameMargins(const QWidget* w) {
  const QMargins own = ownFrame(w);
  if (!own.isNull()) return own;
  QMargins any;
  for (const QWidget* other : QApplication::topLevelWidgets()) {
    if (other == w) continue;
    const QMargins m = ownFrame(other);
    if (m.isNull()) continue;
    if (kindOf(other) == kindOf(w)) return m;
    if (any.isNull()) any = m;
  }
  return any;
}

void placeByFrame(QWidget* w, const std::function<QRect(const QMargins&)>& outer) {
  const QMargins guess = frameMargins(w);
  apply(w, outer(guess), guess);
  if (!ownFrame(w).isNull()) return;
  // Once it is framed, again with the real frame. Without a window manager
  // no frame ever comes, and the placement above stands.
  auto* timer = new QTimer(w);
  timer->setInterval(10);
  QPointer<QWidget> target(w);
  int rounds = 0;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, target, outer, rounds]() mutable {
    if (!target || ++rounds > 300) {
      timer->deleteLater();
      return;
    }
    const QMargins real = ownFrame(target);
    if (real.isNull()) return;
    apply(target, outer(real), real);
    timer->deleteLater();
  });
  timer->start();
}

}  // namespace window_frame
