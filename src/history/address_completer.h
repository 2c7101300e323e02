#pragma once

// The list under the address box: as the user types, up to eight pages from
// the history and the bookmarks whose address or title starts with the
// typed text. Arrows move through it (the box shows the address passed
// over), Enter opens through the box's own Enter, Esc closes it, and
// Shift+Delete forgets a history entry. The list is looked up once the
// typing pauses for an event-loop turn, so keys never wait for it.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include "history/history_rules.h"

class QFrame;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace history {

class Store;

class TAddressCompleter : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMaxShown = 8;

  TAddressCompleter(QLineEdit* edit, Store* store);
  ~TAddressCompleter() override;

  QFrame* popup() const { return popup_; }
  QListWidget* list() const { return list_; }
  bool isShown() const;
  // What the list offers now.
  const QList<Candidate>& offered() const { return offered_; }
  // Looks the typed text up now instead of at the next turn.
  void refresh();
  void hide();

 signals:
  // A page was chosen with the mouse; the box already shows its address.
  void chosen(const QString& url);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<Candidate> bookmarkCandidates();
  void show();
  void moveSelection(int step);
  void removeSelected();
  void place();

  QLineEdit* edit_;
  Store* store_;
  QFrame* popup_;
  QListWidget* list_;
  QTimer* lookup_;
  QString typed_;
  QList<Candidate> offered_;
  // The bookmarks, read again only when their file changes.
  QList<Candidate> bookmarks_;
  QString bookmarkStamp_;
};

}  // namespace history
