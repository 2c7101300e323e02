#pragma once

// A page in full screen: the widget that shows the page leaves its window
// for a top-level window of its own that fills the screen, and goes back to
// where it was when full screen ends. The page's window in the frame stays
// where it is meanwhile, so it is exactly where it was afterwards.
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>

class QWidget;

class FullScreenWindow : public QObject {
  Q_OBJECT
 public:
  // Takes page out of its parent. leave runs when the user asks to leave
  // (Esc while our window has the keyboard); the engine then ends full
  // screen, and the owner deletes this object, which puts page back.
  FullScreenWindow(QWidget* page, std::function<void()> leave);
  ~FullScreenWindow() override;

  QWidget* window() const { return window_; }
  // The page's own window is being destroyed, where it cannot be put
  // back: the page leaves this window without a parent, for its owner to
  // delete.
  void release();

 private:
  QPointer<QWidget> page_;
  QPointer<QWidget> parent_;
  QRect geometry_;
  bool hadFocus_ = false;
  QWidget* window_ = nullptr;
  QPointer<QWidget> notice_;
};
