// The view's history kept for a later run and given back, through the host.
#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_protocol.h"

void TMozillaBrowser::historyStateEvent(const wkproto::Message& m) {
  const std::string text = m.str("state");
  // Base64 of at most the largest record; anything else is not kept.
  if (text.empty() || text.size() > std::size_t(kMaxHistoryState) / 3 * 4 + 4) return;
  const QByteArray state = QByteArray::fromBase64(QByteArray::fromStdString(text));
  if (!state.isEmpty() && state.size() <= kMaxHistoryState) historyState_ = state;
}

bool TMozillaBrowser::RestoreHistory(const QByteArray& state) {
  if (state.isEmpty() || state.size() > kMaxHistoryState) return false;
  ensureView();
  send(wkproto::Message().set("cmd", "restore-session").set("state", state.toBase64().toStdString()));
  historyState_ = state;
  beginLoad();
  return true;
}
