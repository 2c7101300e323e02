#pragma once

#include <QObject>
#include <functional>

class IWebBrowser2;

// The zoom of one window's page: steps it for the menu, the keys and
// Ctrl+wheel, takes the level remembered for each site the window goes to,
// and remembers the level the user sets (unless the window keeps nothing).
class PageZoom : public QObject {
  Q_OBJECT
 public:
  // Lives as long as the control. `remember` says whether levels the user
  // sets may be written (false for a private window).
  PageZoom(IWebBrowser2* control, std::function<bool()> remember);
  static PageZoom* of(const IWebBrowser2* control);

  int level() const { return level_; }
  void zoomIn();
  void zoomOut();
  void reset();

 signals:
  void levelChanged(int level);

 private:
  // The user set `level` for the page shown.
  void choose(int level);
  void apply(int level);
  void pageShown(const QString& url);

  IWebBrowser2* control_;
  std::function<bool()> remember_;
  int level_;
  QString site_;
};
