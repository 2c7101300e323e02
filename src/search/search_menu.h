#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;

// Tools > 検索エンジン: the engines as radio items, the one checked kept in
// config.ini (section "Search"), and the addresses that search with it.
class SearchEngineMenu : public QObject {
  Q_OBJECT
 public:
  // Fills `menu`; the settings file's path is asked for each time it is used.
  SearchEngineMenu(QMenu* menu, std::function<QString()> configPath);

  // Checks the engine config.ini names (Google when none); done each time
  // the menu opens.
  void read();
  // The address that searches for the words with the chosen engine.
  QString addressFor(const QString& terms) const;
  // The chosen engine's id, as config.ini names it.
  QString chosenId() const;
  QAction* item(const QString& id) const;

  // Every engine searches at this address pattern instead ("%s" for the
  // words), so that a test's own server answers; empty: the real ones.
  static void setAddressForTests(const QString& pattern);

 private:
  void choose(QAction* item);

  QMenu* menu_;
  std::function<QString()> configPath_;
};
