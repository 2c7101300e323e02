#pragma once

// Sign-in, certificate errors and the secure/insecure state of one engine
// control's page, answered the same way for both engines. Each control owns
// one PageSecurity and only translates its engine's requests into calls on it.
#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

#include "page/security_rules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for a user name and password for a site or proxy, over the page's
// window and modal to nothing: the frame and the other windows go on.
class TSignInDialog : public QDialog {
  Q_OBJECT
 public:
  TSignInDialog(const SignInRequest& request, QWidget* parent);
  SignInAnswer answer() const;

  QLabel* lblSignInMessage = nullptr;
  QLineEdit* txtUserName = nullptr;
  QLineEdit* txtPassword = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  // Saved passwords: shown once the desktop's keyring is known to answer.
  QCheckBox* chkSavePassword = nullptr;
};

class PageSecurity : public QObject {
  Q_OBJECT
 public:
  // control: the engine control whose window the dialogs belong to.
  explicit PageSecurity(QWidget* control);
  ~PageSecurity() override;

  // ---- sign-in
  using SignInDone = std::function<void(const SignInAnswer&)>;
  // done runs once: when the user answers, or as cancelled by
  // closeSignIns(). key names the request for forgetSignIn().
  void askSignIn(const SignInRequest& request, SignInDone done, qint64 key = 0);
  // The engine gave up the request itself: its dialog goes, unanswered.
  void forgetSignIn(qint64 key);
  // Answers every open sign-in as cancelled (the window is closing).
  void closeSignIns();
  bool signInOpen() const { return !signIns_.isEmpty(); }
  // Whether a sign-in request comes again after a refused answer, for
  // engines that do not say so themselves.
  SignInRetries& retries() { return retries_; }
  // Saved passwords: whether a password typed here may be saved (not in a
  // private window); asked when a sign-in opens.
  void setMayKeepPasswords(std::function<bool()> may) { mayKeepPasswords_ = std::move(may); }

  // ---- certificate errors
  // The page to show instead of the one whose certificate failed; the
  // certificate is remembered so that "continue" allows exactly it.
  QString certificatePage(const QString& url, const QList<CertProblem>& problems, bool overridable,
                          const QByteArray& fingerprint);
  enum class CertChoice { None, Back, Proceed };
  // A link of the certificate page was followed. Only the page shown last
  // can press them; Proceed lets its certificate through for the session.
  CertChoice certificateAction(const QString& url);
  // The certificate page was shown / another document replaced it.
  void certificatePageShown(bool shown);
  bool showsCertificatePage() const { return certPageShown_; }
  QString certificatePageUrl() const { return certUrl_; }

  // ---- the indicator
  // The page now shows url; certificateError: the engine went past a
  // certificate problem for it; mixedContent: insecure parts were found.
  void pageState(const QString& url, bool certificateError, bool mixedContent);
  void mixedContentFound();
  SecurityState state() const;
  QString stateText() const;

 signals:
  void changed();

 private:
  struct OpenSignIn {
    QPointer<TSignInDialog> dialog;
    SignInDone done;
    qint64 key;
  };
  void finishSignIn(TSignInDialog* dialog, const SignInAnswer& answer);
  void offerSavedPassword(TSignInDialog* dialog, const SignInRequest& request);
  void dropSignIn(qsizetype index, bool answerCancelled);
  void setState(SecurityState state, bool mixed);

  QWidget* control_;
  QList<OpenSignIn> signIns_;
  SignInRetries retries_;
  std::function<bool()> mayKeepPasswords_;
  QString certToken_;
  QString certUrl_;
  QString certHost_;
  QByteArray certFingerprint_;
  bool certOverridable_ = false;
  bool certPageShown_ = false;
  QString url_;
  SecurityState state_ = SecurityState::None;
  bool mixed_ = false;
};

// Shows state in the address box (a theme icon at its start, with a
// Japanese tool tip and accessible name); None hides it.
void showSecurityState(QLineEdit* addressBox, SecurityState state, const QString& text);
