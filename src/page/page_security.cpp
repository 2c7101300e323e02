#include "page/page_security.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "page/page_services.h"
#include "page/question_guard.h"
#include "passwords/password_store.h"
#include "platform/errors.h"
#include "platform/guarded.h"

// ---- TSignInDialog -----------------------------------------------------------

TSignInDialog::TSignInDialog(const SignInRequest& request, QWidget* parent) : QDialog(parent, Qt::Dialog) {
  setObjectName(QStringLiteral("SignInDialog"));
  setWindowModality(Qt::NonModal);
  setWindowTitle(QStringLiteral("%1 - 認証が必要です").arg(signInSite(request)));
  setAccessibleName(windowTitle());
  auto* layout = new QVBoxLayout(this);
  lblSignInMessage = new QLabel(this);
  lblSignInMessage->setObjectName(QStringLiteral("lblSignInMessage"));
  lblSignInMessage->setTextFormat(Qt::PlainText);  // the server's realm is never markup
  lblSignInMessage->setWordWrap(true);
  lblSignInMessage->setMinimumWidth(360);
  lblSignInMessage->setText(signInMessage(request));
  lblSignInMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblSignInMessage);

  auto* fields = new QFormLayout;
  txtUserName = new QLineEdit(this);
  txtUserName->setObjectName(QStringLiteral("txtUserName"));
  txtUserName->setAccessibleName(QStringLiteral("ユーザー名"));
  txtPassword = new QLineEdit(this);
  txtPassword->setObjectName(QStringLiteral("txtPassword"));
  txtPassword->setAccessibleName(QStringLiteral("パスワード"));
  txtPassword->setEchoMode(QLineEdit::Password);
  auto* userLabel = new QLabel(QStringLiteral("ユーザー名(&U):"), this);
  userLabel->setBuddy(txtUserName);
  auto* passwordLabel = new QLabel(QStringLiteral("パスワード(&P):"), this);
  passwordLabel->setBuddy(txtPassword);
  fields->addRow(userLabel, txtUserName);
  fields->addRow(passwordLabel, txtPassword);
  layout->addLayout(fields);
  chkSavePassword = new QCheckBox(QStringLiteral("このパスワードを保存する"), this);
  chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
  chkSavePassword->hide();
  layout->addWidget(chkSavePassword);

  auto* buttons = new QDialogButtonBox(this);
  btnOK = buttons->addButton(QStringLiteral("ログイン"), QDialogButtonBox::AcceptRole);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  setTabOrder(txtUserName, txtPassword);
  setTabOrder(txtPassword, btnOK);
  setTabOrder(btnOK, btnCancel);
  txtUserName->setFocus();
  // No password goes out on a stray click or Enter.
  armQuestion(this, btnCancel);
}

SignInAnswer TSignInDialog::answer() const {
  SignInAnswer a;
  a.accepted = result() == QDialog::Accepted;
  if (a.accepted) {
    a.user = txtUserName->text();
    a.password = txtPassword->text();
  }
  return a;
}

// ---- PageSecurity ------------------------------------------------------------

PageSecurity::PageSecurity(QWidget* control) : QObject(control), control_(control) {}

PageSecurity::~PageSecurity() {
  // The control is going: its dialogs go with it, unanswered.
  for (OpenSignIn& s : signIns_) delete s.dialog;
}

void PageSecurity::askSignIn(const SignInRequest& request, SignInDone done, qint64 key) {
  auto* dialog = new TSignInDialog(request, control_);
  signIns_.append({dialog, std::move(done), key});
  connect(dialog, &QDialog::finished, this, [this, dialog] { finishSignIn(dialog, dialog->answer()); });
  offerSavedPassword(dialog, request);
  placeOver(dialog, control_);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  dialog->txtUserName->setFocus();
}

void PageSecurity::finishSignIn(TSignInDialog* dialog, const SignInAnswer& answer) {
  for (qsizetype i = 0; i < signIns_.size(); ++i) {
    if (signIns_[i].dialog != dialog) continue;
    SignInDone done = std::move(signIns_[i].done);
    signIns_.removeAt(i);
    dialog->hide();
    // Saved passwords: kept as answered, once the user asked for it.
    const QString origin = dialog->property("passwordOrigin").toString();
    if (answer.accepted && !origin.isEmpty() && !dialog->chkSavePassword->isHidden() &&
        dialog->chkSavePassword->isChecked() && !answer.password.isEmpty())
      passwords::PasswordStore::instance().save(
          {origin, passwords::Kind::Http, answer.user, answer.password}, this, [](const QString& error) {
            if (!error.isEmpty())
              guarded::run([&] { throw ZelvoError(QStringLiteral("パスワードを保存できません: %1").arg(error)); });
          });
    dialog->txtPassword->clear();
    dialog->deleteLater();
    if (done) done(answer);
    return;
  }
}

// ---- saved passwords
// The box to save is offered once the keyring answers (never for a proxy or
// in a private window); a password saved for the same origin fills the
// dialog unless the user typed already or the server refused it just now.
void PageSecurity::offerSavedPassword(TSignInDialog* dialog, const SignInRequest& request) {
  const QString origin = request.proxy ? QString() : passwords::originOf(request.scheme, request.host, request.port);
  if (origin.isEmpty()) return;
  dialog->setProperty("passwordOrigin", origin);
  const bool mayKeep = !mayKeepPasswords_ || mayKeepPasswords_();
  QPointer<TSignInDialog> d(dialog);
  passwords::PasswordStore::instance().checkService(dialog, [d, mayKeep](bool available, const QString&) {
    if (d && available && mayKeep) d->chkSavePassword->show();
  });
  if (request.retry) return;
  passwords::PasswordStore::instance().find(
      origin, passwords::Kind::Http, dialog, [d](const QList<passwords::Credential>& found, const QString&) {
        if (!d || found.isEmpty() || !d->txtUserName->text().isEmpty() || !d->txtPassword->text().isEmpty()) return;
        d->txtUserName->setText(found.first().user);
        d->txtPassword->setText(found.first().password);
        d->chkSavePassword->setChecked(true);
      });
}

void PageSecurity::forgetSignIn(qint64 key) {
  for (qsizetype i = 0; i < signIns_.size(); ++i)
    if (signIns_[i].key == key) return dropSignIn(i, false);
}

void PageSecurity::closeSignIns() {
  while (!signIns_.isEmpty()) dropSignIn(0, true);
}

void PageSecurity::dropSignIn(qsizetype index, bool answerCancelled) {
  OpenSignIn s = signIns_.takeAt(index);
  discardDialog(s.dialog, this);
  if (answerCancelled && s.done) s.done(SignInAnswer{});
}

QString PageSecurity::certificatePage(const QString& url, const QList<CertProblem>& problems, bool overridable,
                                      const QByteArray& fingerprint) {
  // A fresh secret for each page: a link of an older page, or one that
  // another page makes up, presses nothing.
  const quint64 a = QRandomGenerator::system()->generate64(), b = QRandomGenerator::system()->generate64();
  certToken_ = QString::number(a, 16) + QString::number(b, 16);
  certUrl_ = url;
  certHost_ = QUrl(url).host().toLower();
  certFingerprint_ = fingerprint;
  certOverridable_ = overridable;
  CertificatePage page;
  page.url = url;
  page.host = siteOf(url);
  page.problems = problems;
  page.overridable = overridable;
  page.token = certToken_;
  return certificatePageHtml(page);
}

PageSecurity::CertChoice PageSecurity::certificateAction(const QString& url) {
  const auto request = parseCertAction(url);
  if (!request || certToken_.isEmpty() || request->token != certToken_) return CertChoice::None;
  certToken_.clear();  // each page is answered once
  if (request->action == CertAction::Back) return CertChoice::Back;
  if (!certOverridable_) return CertChoice::None;
  CertificateExceptions::session().allow(certHost_, certFingerprint_);
  return CertChoice::Proceed;
}

void PageSecurity::certificatePageShown(bool shown) {
  if (certPageShown_ == shown) return;
  certPageShown_ = shown;
  emit changed();
}

void PageSecurity::pageState(const QString& url, bool certificateError, bool mixedContent) {
  url_ = url;
  setState(securityStateFor(url, certificateError, mixedContent), mixedContent);
}

void PageSecurity::mixedContentFound() {
  setState(securityStateFor(url_, state_ == SecurityState::Broken, true), true);
}

void PageSecurity::setState(SecurityState state, bool mixed) {
  if (state == state_ && mixed == mixed_) return;
  state_ = state;
  mixed_ = mixed;
  emit changed();
}

SecurityState PageSecurity::state() const {
  // The certificate page stands at the https address it refused.
  return certPageShown_ ? SecurityState::Broken : state_;
}

QString PageSecurity::stateText() const { return securityText(state(), !certPageShown_ && mixed_); }

// ---- the indicator -----------------------------------------------------------

namespace {

QIcon securityIcon(SecurityState state) {
  QStyle* st = QApplication::style();
  const QIcon fallback = st->standardIcon(state == SecurityState::Secure   ? QStyle::SP_DialogApplyButton
                                          : state == SecurityState::Broken ? QStyle::SP_MessageBoxWarning
                                                                           : QStyle::SP_MessageBoxInformation);
  for (const QString& name : securityIconNames(state))
    if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  return fallback;
}

}  // namespace

void showSecurityState(QLineEdit* addressBox, SecurityState state, const QString& text) {
  if (!addressBox) return;
  auto* action = addressBox->findChild<QAction*>(QStringLiteral("actSecurity"), Qt::FindDirectChildrenOnly);
  if (!action) {
    if (state == SecurityState::None) return;
    action = addressBox->addAction(securityIcon(state), QLineEdit::LeadingPosition);
    action->setObjectName(QStringLiteral("actSecurity"));
  }
  action->setData(static_cast<int>(state));
  action->setVisible(state != SecurityState::None);
  if (state == SecurityState::None) return;
  action->setIcon(securityIcon(state));
  action->setText(text);
  action->setToolTip(text);
  // The button the box shows for it is what screen readers find.
  for (QToolButton* b : addressBox->findChildren<QToolButton*>())
    if (b->defaultAction() == action) {
      b->setAccessibleName(text);
      b->setAccessibleDescription(QStringLiteral("このページの通信の安全性"));
    }
}
