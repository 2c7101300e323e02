#pragma once

// What a browser does for its pages beside showing them, answered the same
// way for both engines: page dialogs, pop-ups. Each engine control owns one
// PageServices and only translates its engine's requests into calls on it.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

#include "page/page_rules.h"

class IWebBrowser2;
class QDialog;
class QWidget;

// Puts a window of ours over the page it belongs to: centred, or at the
// page's top (Qt::AlignTop), kept on the screen.
void placeOver(QWidget* window, QWidget* over, Qt::Alignment where = Qt::AlignCenter);
// Takes down a page's dialog nobody waits for any more: its answer must not
// reach owner, and it may be inside its own signal, so it goes later.
void discardDialog(QDialog* dialog, QObject* owner);

class PageServices : public QObject {
  Q_OBJECT
 public:
  // control: the engine control whose window the dialogs belong to;
  // actions: whether the control reports the user's clicks and keys for
  // the pop-up gate to count (userInput).
  explicit PageServices(QWidget* control, PopupGate::Actions actions = PopupGate::Actions::FromEngine);
  ~PageServices() override;

  using DialogDone = std::function<void(const PageDialogAnswer&)>;
  // Shows a page dialog over the control's window, modal to nothing: the
  // frame and every other window go on working. done runs once, when the
  // user answers, at once when the page's dialogs are silenced, or when
  // closeDialogs() is called.
  void askDialog(const PageDialogRequest& request, DialogDone done);
  // Answers every open dialog as cancelled (the window is closing).
  void closeDialogs();
  bool dialogOpen() const;
  // Another document was loaded: the page may ask again.
  void newDocument();

  // May the page open a window now? When not, the reason for the status
  // panel goes to *blockedText.
  bool allowPopup(bool userAction, const QString& url, QString* blockedText);
  // A click or a key reached the page: it may open one window.
  void userInput() { popupGate_.userInput(); }

 private:
  struct OpenDialog {
    QPointer<QDialog> dialog;
    PageDialogKind kind;
    DialogDone done;
  };
  void finish(QDialog* dialog, const PageDialogAnswer& answer, bool suppress);

  QWidget* control_;
  DialogGate dialogGate_;
  PopupGate popupGate_;
  QElapsedTimer clock_;
  QList<OpenDialog> open_;
};

// Hands a page's request for a window over to the control of the window
// the frame opens for it, so that the engine loads the page itself (its own
// checks apply, and the opened page keeps its opener). The opener's control
// holds one while it asks the frame for the window; the frame offers it the
// new window's control.
class WindowHandoff {
 public:
  using Adopt = std::function<bool(IWebBrowser2* opened)>;
  WindowHandoff(IWebBrowser2* opener, Adopt adopt);
  ~WindowHandoff();
  WindowHandoff(const WindowHandoff&) = delete;
  WindowHandoff& operator=(const WindowHandoff&) = delete;
  bool taken() const { return taken_; }
  // True when the request `opener` is asking for went into `opened`; false
  // when it asks for none, or the control cannot take it (the frame must
  // then not load the page's address as its own).
  static bool offer(IWebBrowser2* opener, IWebBrowser2* opened);

 private:
  IWebBrowser2* opener_;
  Adopt adopt_;
  bool taken_ = false;
  WindowHandoff* outer_;
};
