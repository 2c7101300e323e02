#include "passwords/passwords_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/errors.h"
#include "platform/guarded.h"

namespace {
const QString kHidden = QStringLiteral("••••••••");
constexpr int kColumnPassword = 2;

[[noreturn]] void fail(const QString& what, const QString& error) {
  throw ZelvoError(QStringLiteral("%1: %2").arg(what, error));
}
}  // namespace

TPasswordsForm::TPasswordsForm(QWidget* parent) : QDialog(parent, Qt::Window) {
  setObjectName(QStringLiteral("PasswordsForm"));
  setWindowTitle(QStringLiteral("保存されたパスワード"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(560, 360);
  auto* layout = new QVBoxLayout(this);
  lblPasswordsState = new QLabel(this);
  lblPasswordsState->setObjectName(QStringLiteral("lblPasswordsState"));
  lblPasswordsState->setWordWrap(true);
  layout->addWidget(lblPasswordsState);
  lvPasswords = new QTreeWidget(this);
  lvPasswords->setObjectName(QStringLiteral("lvPasswords"));
  lvPasswords->setAccessibleName(QStringLiteral("保存されたパスワード"));
  lvPasswords->setHeaderLabels({QStringLiteral("サイト"), QStringLiteral("ユーザー名"), QStringLiteral("パスワード")});
  lvPasswords->setRootIsDecorated(false);
  lvPasswords->setSortingEnabled(true);
  lvPasswords->sortByColumn(0, Qt::AscendingOrder);
  lvPasswords->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(lvPasswords, 1);

  auto* buttons = new QDialogButtonBox(this);
  btnShowPassword = buttons->addButton(QStringLiteral("パスワードを表示(&S)"), QDialogButtonBox::ActionRole);
  btnShowPassword->setObjectName(QStringLiteral("btnShowPassword"));
  btnCopyPassword = buttons->addButton(QStringLiteral("コピー(&C)"), QDialogButtonBox::ActionRole);
  btnCopyPassword->setObjectName(QStringLiteral("btnCopyPassword"));
  btnDeletePassword = buttons->addButton(QStringLiteral("削除(&D)"), QDialogButtonBox::DestructiveRole);
  btnDeletePassword->setObjectName(QStringLiteral("btnDeletePassword"));
  btnClose = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(btnShowPassword, &QPushButton::clicked, this, guarded::handler(this, &TPasswordsForm::btnShowPasswordClick));
  connect(btnCopyPassword, &QPushButton::clicked, this, guarded::handler(this, &TPasswordsForm::btnCopyPasswordClick));
  connect(btnDeletePassword, &QPushButton::clicked, this,
          guarded::handler(this, &TPasswordsForm::btnDeletePasswordClick));
  connect(lvPasswords, &QTreeWidget::itemSelectionChanged, this,
          guarded::handler(this, &TPasswordsForm::updateButtons));
  updateButtons();
  reload();
}

void TPasswordsForm::reload() {
  lblPasswordsState->setText(QStringLiteral("読み込んでいます..."));
  using passwords::PasswordStore;
  PasswordStore::instance().checkService(this, [this](bool available, const QString& why) {
    if (!available) {
      lblPasswordsState->setText(why);
      return;
    }
    PasswordStore::instance().list(this, [this](const QList<passwords::Credential>& found, const QString& error) {
      entries_ = found;
      lvPasswords->clear();
      for (int i = 0; i < found.size(); ++i) {
        const passwords::Credential& c = found[i];
        auto* item = new QTreeWidgetItem(lvPasswords);
        item->setText(0, c.kind == passwords::Kind::Http ? QStringLiteral("%1 (認証)").arg(c.origin) : c.origin);
        item->setText(1, c.user);
        item->setText(kColumnPassword, kHidden);
        item->setData(0, Qt::UserRole, i);
      }
      lblPasswordsState->setText(error.isEmpty()
                                     ? QStringLiteral("%1 件のパスワードが保存されています。").arg(found.size())
                                     : QStringLiteral("パスワードを読めません: %1").arg(error));
      updateButtons();
    });
  });
}

std::optional<passwords::Credential> TPasswordsForm::selected() const {
  const QTreeWidgetItem* item = lvPasswords->currentItem();
  if (!item || !item->isSelected()) return std::nullopt;
  const int i = item->data(0, Qt::UserRole).toInt();
  if (i < 0 || i >= entries_.size()) return std::nullopt;
  return entries_[i];
}

void TPasswordsForm::updateButtons() {
  const bool any = selected().has_value();
  for (QPushButton* b : {btnShowPassword, btnCopyPassword, btnDeletePassword}) b->setEnabled(any);
}

void TPasswordsForm::btnShowPasswordClick() {
  const auto c = selected();
  if (!c) return;
  QTreeWidgetItem* item = lvPasswords->currentItem();
  if (item->text(kColumnPassword) != kHidden) {
    item->setText(kColumnPassword, kHidden);
    return;
  }
  const int index = item->data(0, Qt::UserRole).toInt();
  passwords::PasswordStore::instance().password(*c, this, [this, index](const QString& password, const QString& error) {
    if (!error.isEmpty()) guarded::run([&] { fail(QStringLiteral("パスワードを読めません"), error); });
    for (int i = 0; i < lvPasswords->topLevelItemCount(); ++i)
      if (QTreeWidgetItem* it = lvPasswords->topLevelItem(i); it->data(0, Qt::UserRole).toInt() == index)
        it->setText(kColumnPassword, password);
  });
}

void TPasswordsForm::btnCopyPasswordClick() {
  const auto c = selected();
  if (!c) return;
  passwords::PasswordStore::instance().password(*c, this, [](const QString& password, const QString& error) {
    guarded::run([&] {
      if (!error.isEmpty()) fail(QStringLiteral("パスワードを読めません"), error);
      QGuiApplication::clipboard()->setText(password);
    });
  });
}

void TPasswordsForm::btnDeletePasswordClick() {
  const auto c = selected();
  if (!c) return;
  passwords::PasswordStore::instance().remove(*c, this, [this](const QString& error) {
    guarded::run([&] {
      if (!error.isEmpty()) fail(QStringLiteral("パスワードを削除できません"), error);
      reload();
    });
  });
}
