#pragma once

// Reading a page in a Gekko window from a test: a script's result, and the
// screen position of an element (for real X input).
#include <QPoint>
#include <QTest>

#include "engine/webkit/webkit_control.h"

// Runs a script in the page and waits for its result.
inline QString js(TMozillaBrowser* b, const QString& script) {
  bool done = false;
  QString value, error;
  b->runJavaScript(script, [&](const QString& v, const QString& e) {
    value = v;
    error = e;
    done = true;
  });
  if (!QTest::qWaitFor([&] { return done; }, 10000)) return QStringLiteral("<timeout>");
  return error.isEmpty() ? value : QStringLiteral("<error: %1>").arg(error);
}

// The screen position of the centre of an element of the page.
inline QPoint elementCentre(TMozillaBrowser* b, const QString& selector) {
  const QString r = js(b, QStringLiteral("(function(){var r=document.querySelector('%1').getBoundingClientRect();"
                                         "return Math.round(r.left+r.width/2)+','+Math.round(r.top+r.height/2);})()")
                              .arg(selector));
  const QStringList xy = r.split(u',');
  if (xy.size() != 2) return {};
  return b->mapToGlobal(QPoint(xy[0].toInt(), xy[1].toInt()));
}
