#pragma once

#include <QString>
#include <stdexcept>

// The program's one error type. A handler that cannot finish throws it; the
// guarded dispatcher ends the handler there and shows the text in the
// standard error box.
class ZelvoError : public std::runtime_error {
 public:
  explicit ZelvoError(const QString& message) : std::runtime_error(message.toStdString()), text_(message) {}
  const QString& text() const noexcept { return text_; }

 private:
  QString text_;
};

// A directory that cannot be entered or a file that cannot be read or written.
class EInOutError : public ZelvoError {
 public:
  using ZelvoError::ZelvoError;
};

// An engine operation that failed.
class EEngineError : public ZelvoError {
 public:
  using ZelvoError::ZelvoError;
};

// The text of the standard error box: the message, with a full stop added
// when its last character sorts after "." (so "…ません" gets one, "…." or
// "…!" keeps its own ending).
inline QString errorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
  return message;
}
