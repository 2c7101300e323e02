#pragma once

// A page's requests for location, camera, notifications and the like,
// answered the same way for both engines: a question in Japanese over the
// page's window (modal to nothing), the answer remembered for the session,
// or for good when the user ticks "このサイトでは常に".
// Each engine control owns one PagePermissions and translates its engine's
// requests into calls on it. Also the desktop-style popups of notifications
// that a site was allowed to show.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "page/permission_rules.h"

class QDialog;
class QMouseEvent;

class PagePermissions : public QObject {
  Q_OBJECT
 public:
  // control: the engine control whose window the questions belong to.
  // A private window's answers are its own, kept only while it is open.
  explicit PagePermissions(QWidget* control, bool isPrivate = false);
  ~PagePermissions() override;

  using Done = std::function<void(PermissionAnswer)>;
  // Asks whether the page at address may have kind. done runs once: at
  // once when the session already knows the answer, otherwise when the user
  // answers, closes the question or the window goes (Dismissed, never
  // Allowed). A second request of the same site and kind joins the open
  // question.
  void ask(const QString& address, PermissionKind kind, Done done);
  // The engine withdrew its request: the question goes, unanswered.
  void withdraw(const QString& address, PermissionKind kind);
  // Closes every open question, Dismissed (the page or its window is going).
  void dismissAll();
  int openQuestions() const { return static_cast<int>(open_.size()); }

  // While a page may capture the screen (from the user's yes until its
  // document goes) a notice on the screen names the site. The engine
  // control calls this when the document that was allowed is gone; the
  // notice also goes with the control.
  void screenShareEnded();
  bool sharingScreen() const { return screenShare_ != nullptr; }

  // The answers of this session and those kept for good, for all windows
  // of both engines.
  static PermissionMemory& memory();
  // The answers this window goes by: the session's and those kept for
  // good, or its own when private (never kept past the window).
  PermissionMemory& answers() { return own_ ? *own_ : memory(); }

 private:
  struct Question {
    QPointer<QDialog> dialog;
    QString origin;
    QString site;
    PermissionKind kind;
    QList<Done> waiting;
    bool always = false;
  };
  void answered(QDialog* dialog, PermissionAnswer answer);
  void showScreenShare(const QString& site);
  // Takes a question away unanswered; those waiting hear Dismissed unless
  // the engine withdrew the request.
  void drop(qsizetype index, bool tellWaiting);

  QWidget* control_;
  QList<Question> open_;
  QPointer<QWidget> screenShare_;
  std::unique_ptr<PermissionMemory> own_;
};

// A notification a site was allowed to show: a small window at the
// bottom right of the screen, as desktop notifications appear, that goes
// after a while, when closed, or when the page closes it. A click on it
// brings up the page's window and tells the page.
class NotificationPopup : public QWidget {
  Q_OBJECT
 public:
  static NotificationPopup* show(const QString& site, const QString& title, const QString& body, QWidget* pageWindow,
                                 std::function<void()> clicked, std::function<void()> closed);
  // The page closed it: it goes without telling the page again.
  void dismiss();
  static constexpr int kShownMs = 8000;

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  NotificationPopup();
  static void restack();
  void finish(bool click);

  QPointer<QWidget> pageWindow_;
  std::function<void()> clicked_;
  std::function<void()> closed_;
  bool finished_ = false;
};
