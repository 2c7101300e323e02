#pragma once

#include <QObject>
#include <functional>

class IWebBrowser2;
class QMenu;
class QToolButton;

// The drop-down of a back or forward button: the active window's own
// history on that side, nearest first; choosing an entry goes there. The
// list opens on a held press of the button.
class TTravelMenu : public QObject {
  Q_OBJECT
 public:
  TTravelMenu(QToolButton* button, bool back, std::function<IWebBrowser2*()> activeControl);
  QMenu* Menu() const { return menu_; }

 private:
  void fill();

  QMenu* menu_;
  bool back_;
  std::function<IWebBrowser2*()> activeControl_;
};
