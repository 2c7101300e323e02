// The window's history kept for a later run and given back.
#include <QDataStream>
#include <QIODevice>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include "engine/webengine/web_engine_control.h"

QByteArray TWebBrowser::SaveHistory() const {
  QByteArray out;
  QDataStream stream(&out, QIODevice::WriteOnly);
  stream << *view_->history();
  return out;
}

bool TWebBrowser::RestoreHistory(const QByteArray& state) {
  // The record comes from a file: a size beyond any real history is refused
  // before the engine parses it; the engine checks its own format.
  if (state.isEmpty() || state.size() > kMaxHistoryState) return false;
  QDataStream stream(state);
  stream >> *view_->history();
  if (stream.status() != QDataStream::Ok || view_->history()->count() == 0) return false;
  crashed_ = false;
  return true;
}
