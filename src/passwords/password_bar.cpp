#include "passwords/password_bar.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include "engine/engine_control.h"
#include "platform/errors.h"
#include "platform/guarded.h"

TPasswordBar::TPasswordBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("PasswordBar"));
  setAccessibleName(QStringLiteral("パスワードの保存"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
  p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
  setPalette(p);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  lblPasswordBar = new QLabel(this);
  lblPasswordBar->setObjectName(QStringLiteral("lblPasswordBar"));
  lblPasswordBar->setTextFormat(Qt::PlainText);  // the site and user name come from the page
  lblPasswordBar->setWordWrap(true);             // a narrow window shows it on two lines
  layout->addWidget(lblPasswordBar, 1);
  auto button = [&](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    layout->addWidget(b);
    return b;
  };
  btnSavePassword = button("btnSavePassword", QStringLiteral("保存する"));
  btnNotThisTime = button("btnNotThisTime", QStringLiteral("今回は保存しない"));
  btnNeverForSite = button("btnNeverForSite", QStringLiteral("このサイトでは保存しない"));
  btnCloseBar = button("btnCloseBar", QStringLiteral("閉じる"));
  hide();
}

void TPasswordBar::offer(const QString& text) {
  lblPasswordBar->setText(text);
  for (QPushButton* b : {btnSavePassword, btnNotThisTime, btnNeverForSite}) b->show();
  btnCloseBar->hide();
}

void TPasswordBar::inform(const QString& text) {
  lblPasswordBar->setText(text);
  for (QPushButton* b : {btnSavePassword, btnNotThisTime, btnNeverForSite}) b->hide();
  btnCloseBar->show();
}

namespace passwords {

namespace {
enum Choice { Save, NotThisTime, Never, Close };
}

PasswordKeeper::PasswordKeeper(IWebBrowser2* control, QWidget* window, std::function<bool()> isPrivate)
    : QObject(window), control_(control), bar_(new TPasswordBar(window)), isPrivate_(std::move(isPrivate)) {
  connect(control_, &IWebBrowser2::PasswordFormMessage, this,
          [this](const QString& json) { guarded::run([&] { formMessage(json); }); });
  connect(bar_->btnSavePassword, &QPushButton::clicked, this, [this] { guarded::run([&] { answer(Save); }); });
  connect(bar_->btnNotThisTime, &QPushButton::clicked, this, [this] { guarded::run([&] { answer(NotThisTime); }); });
  connect(bar_->btnNeverForSite, &QPushButton::clicked, this, [this] { guarded::run([&] { answer(Never); }); });
  connect(bar_->btnCloseBar, &QPushButton::clicked, this, [this] { guarded::run([&] { answer(Close); }); });
}

void PasswordKeeper::formMessage(const QString& json) {
  if (json.size() > 256 * 1024) return;
  const QJsonObject message = QJsonDocument::fromJson(json.toUtf8()).object();
  const auto report = readFormReport(message);
  if (!report) return;
  if (report->what == FormReport::What::Ready)
    fill(*report);
  else
    offer(*report);
}

void PasswordKeeper::fill(const FormReport& report) {
  // The script speaks for the main frame only; the window's own address
  // must agree with it as well.
  if (fillFor(report.origin, control_->LocationURL(), true) == Fill::No) return;
  QPointer<IWebBrowser2> control(control_);
  PasswordStore::instance().find(
      report.origin, Kind::Form, this, [this, control, report](const QList<Credential>& found, const QString&) {
        if (found.isEmpty() || !control) return;
        const Fill how = fillFor(report.origin, control->LocationURL(), true);
        if (how == Fill::No) return;
        const Credential& c = found.first();
        control->FillPassword(report.origin, report.form, report.fields.user, report.fields.password, c.user,
                              c.password);
        if (how == Fill::WithWarning && warnedFor_ != control->LocationURL() && !bar_->isVisible()) {
          warnedFor_ = control->LocationURL();
          bar_->inform(
              QStringLiteral("注意: このページの接続は暗号化されていません (http)。保存されたパスワードを"
                             "入力しましたが、送信すると途中で読まれるおそれがあります。"));
          showBar(true);
        }
      });
}

void PasswordKeeper::offer(const FormReport& report) {
  if (isPrivate_ && isPrivate_()) return;
  // As for filling: a credential belongs to the site the window shows, never
  // to one the report alone names.
  if (originOf(control_->LocationURL()) != report.origin) return;
  if (never_sites::contains(report.origin)) return;
  Credential c{report.origin, Kind::Form, report.user, report.password};
  PasswordStore::instance().checkService(this, [this, c](bool available, const QString& why) {
    if (!available) {
      // Said once per window; saving is simply not offered after that.
      if (toldMissing_) return;
      toldMissing_ = true;
      pending_.reset();
      bar_->inform(why);
      showBar(true);
      return;
    }
    PasswordStore::instance().find(
        c.origin, Kind::Form, this, [this, c](const QList<Credential>& found, const QString&) {
          for (const Credential& s : found)
            if (s.user == c.user && s.password == c.password) return;  // already saved as typed
          pending_ = c;
          const QString site = QString(c.origin).remove(QRegularExpression(QStringLiteral("^https?://")));
          bar_->offer(
              c.user.isEmpty()
                  ? QStringLiteral("%1 のパスワードを保存しますか?").arg(site)
                  : QStringLiteral("%1 のユーザー「%2」のパスワードを保存しますか?").arg(site, c.user.left(64)));
          showBar(true);
        });
  });
}

void PasswordKeeper::answer(int choice) {
  const std::optional<Credential> c = std::exchange(pending_, std::nullopt);
  showBar(false);
  if (!c) return;
  if (choice == Save) {
    PasswordStore::instance().save(*c, this, [](const QString& error) {
      if (!error.isEmpty())
        guarded::run([&] { throw ZelvoError(QStringLiteral("パスワードを保存できません: %1").arg(error)); });
    });
  } else if (choice == Never) {
    never_sites::add(c->origin);
  }
}

void PasswordKeeper::showBar(bool show) {
  if (bar_->isVisible() == show) return;
  bar_->setVisible(show);
  bar_->raise();
  emit barChanged();
}

}  // namespace passwords
