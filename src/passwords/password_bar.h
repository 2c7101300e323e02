#pragma once

// The thin bar above a page that offers to save a password just submitted
// there, or says once why passwords cannot be saved; and the keeper that
// connects a window's engine control to the store.
#include <QFrame>
#include <QPointer>
#include <functional>

#include "passwords/password_store.h"

class IWebBrowser2;
class QLabel;
class QPushButton;

class TPasswordBar : public QFrame {
  Q_OBJECT
 public:
  explicit TPasswordBar(QWidget* parent);
  // Asks whether to save; the three answers are the buttons.
  void offer(const QString& text);
  // Only tells something; the bar's own button closes it.
  void inform(const QString& text);

  QLabel* lblPasswordBar = nullptr;
  QPushButton* btnSavePassword = nullptr;
  QPushButton* btnNotThisTime = nullptr;
  QPushButton* btnNeverForSite = nullptr;
  QPushButton* btnCloseBar = nullptr;
};

namespace passwords {

// One per window. Fills the page's login form from the store and, after a
// login form was submitted, offers to save what was typed. A private window
// fills but never saves.
class PasswordKeeper : public QObject {
  Q_OBJECT
 public:
  PasswordKeeper(IWebBrowser2* control, QWidget* window, std::function<bool()> isPrivate);
  TPasswordBar* bar() const { return bar_; }

 signals:
  // The bar was shown or hidden: the window lays out its page again.
  void barChanged();

 private:
  void formMessage(const QString& json);
  void fill(const FormReport& report);
  void offer(const FormReport& report);
  void showBar(bool show);
  void answer(int choice);

  IWebBrowser2* control_;
  TPasswordBar* bar_;
  std::function<bool()> isPrivate_;
  std::optional<Credential> pending_;  // what the bar offers to save
  bool toldMissing_ = false;
  QString warnedFor_;  // the page already warned about filling in clear
};

}  // namespace passwords
