#include "platform/guarded.h"

#include <QApplication>
#include <QMessageBox>

namespace guarded {

namespace {
Reporter& currentReporter() {
  static Reporter r;
  return r;
}
}  // namespace

void setReporter(Reporter reporter) { currentReporter() = std::move(reporter); }

void report(const QString& message) {
  const QString text = errorBoxText(message);
  if (currentReporter()) {
    currentReporter()(text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Zelvo"), text, QMessageBox::Ok, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("ZelvoErrorBox"));
  box.exec();
}

}  // namespace guarded
