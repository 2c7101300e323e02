#pragma once

#include <QString>
#include <exception>
#include <functional>

#include "platform/errors.h"

// The one dispatcher every UI handler runs through. A handler that throws
// ends at that step; the error is shown in the standard "Zelvo" box and the
// program goes on. Nothing thrown ever reaches Qt's event loop.
namespace guarded {

using Reporter = std::function<void(const QString& boxText)>;

// Shows the standard error box for `message` (full-stop rule applied).
void report(const QString& message);

// Tests replace the box with a recorder; an empty reporter restores the box.
void setReporter(Reporter reporter);

template <class F>
void run(F&& f) noexcept {
  try {
    f();
  } catch (const ZelvoError& e) {
    report(e.text());
  } catch (const std::exception& e) {
    report(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    report(QStringLiteral("不明なエラーが発生しました"));
  }
}

// A slot for connect(): calls the handler `m` of `o` inside run().
template <class Obj, class... Args>
auto handler(Obj* o, void (Obj::*m)(Args...)) {
  return [o, m](Args... args) { run([&] { (o->*m)(args...); }); };
}

}  // namespace guarded
