#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class QPlainTextEdit;

// A page's source as text in a read-only window of the program's (the
// page's markup is only ever shown, never run), in a monospace font that
// holds Japanese.
class SourceWindow : public QWidget {
  Q_OBJECT
 public:
  // `data` is the document as the server sent it, in `charset` (empty: as
  // the document itself declares, else UTF-8); `cut` when only its head came.
  static SourceWindow* show(const QString& address, const QByteArray& data, const QString& charset, bool cut);
  // The text the window shows for `data`.
  static QString decode(const QByteArray& data, const QString& charset);
  QString text() const;

 private:
  SourceWindow();
  QPlainTextEdit* text_;
};
