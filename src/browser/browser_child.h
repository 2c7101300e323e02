#pragma once

#include <QMdiSubWindow>
#include <QString>
#include <functional>

class IWebBrowser2;
class TPageDisplay;
namespace passwords {
class PasswordKeeper;
}

// A browser child window of the frame: hosts one engine control and mirrors
// its page state into the frame's shared address box, status panel,
// progress bar and navigation buttons. Tfrm_IE and Tfrm_MZ differ in their
// engine and in a few rules (progress, sizing, text size).
class TBrowserChild : public QMdiSubWindow {
  Q_OBJECT
 public:
  // 16-bit booleans: true is all bits set.
  static constexpr qint16 kTrue = -1;
  static constexpr qint16 kFalse = 0;

  IWebBrowser2* Control() const { return control_; }
  virtual bool IsIE() const = 0;
  // A private window keeps nothing of its pages once it is gone: no
  // history, session, remembered zoom, site icon or download entry.
  bool IsPrivate() const { return private_; }

  // The window's caption as the user reads it (a private window's marked
  // first). Qt takes "[*]" in a window title for its modified mark; a page
  // title keeps those characters.
  void SetCaption(const QString& text);
  QString Caption() const;
  // The caption without the private window's mark: the page's own.
  QString PageCaption() const;

  QString LastStatus;
  qint16 BackEnable = kFalse;
  qint16 FrwrdEnable = kFalse;
  qint16 StopEnable = kFalse;
  qint16 ReLoadEnable = kFalse;
  qint16 Alive = kFalse;
  qint32 Tag = 0;  // last raw progress the control reported

  void FormActivate();
  void FormResize();
  void FormCanResize();
  void SubChange(qint16 alive);
  // Shows how secure this child's page is in the frame's address box.
  void ShowSecurity();

  // Which control a new child gets; tests put a scripted fake here.
  using ControlFactory = std::function<IWebBrowser2*(bool ie, QWidget* parent)>;
  static void setControlFactoryForTests(ControlFactory factory);

 protected:
  TBrowserChild(TPageDisplay* frame, bool ie, bool isPrivate);
  void StatusTextChange(const QString& Text);
  void TitleChange(const QString& Text);
  void CommandStateChange(qint32 Command, bool Enable);
  void NewWindow2(const QString& URL, bool* Cancel, const QString& caption);
  virtual void ProgressChange(qint32 Progress, qint32 ProgressMax) = 0;
  void FormClose();
  // The page's icon: the window's own, and the site's in the cache.
  void IconChange(const QByteArray& Png);

  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

  TPageDisplay* frame_;
  IWebBrowser2* control_ = nullptr;
  bool private_ = false;
  // Saved passwords: fills login forms and offers saving in a bar above the page.
  passwords::PasswordKeeper* passwords_ = nullptr;

 private:
  void connectControl();
};

// A child with the WebEngine control.
class Tfrm_IE : public TBrowserChild {
  Q_OBJECT
 public:
  explicit Tfrm_IE(TPageDisplay* frame, bool isPrivate = false);
  bool IsIE() const override { return true; }

  IWebBrowser2* TWeb_IE = nullptr;
  quint8 ChildMojiSize = 2;

  void FormCreate();

 protected:
  void ProgressChange(qint32 Progress, qint32 ProgressMax) override;
};

// A child with the WebKit control.
class Tfrm_MZ : public TBrowserChild {
  Q_OBJECT
 public:
  explicit Tfrm_MZ(TPageDisplay* frame, bool isPrivate = false);
  bool IsIE() const override { return false; }

  IWebBrowser2* TWeb_MZ = nullptr;

  void FormCreate();

 protected:
  void ProgressChange(qint32 Progress, qint32 ProgressMax) override;
};
