#include "sitedata/clear_data_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/guarded.h"

namespace sitedata {

TClearDataDialog::TClearDataDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmClearData"));
  setWindowTitle(QStringLiteral("閲覧履歴を消去"));
  setAttribute(Qt::WA_DeleteOnClose);
  setMinimumWidth(340);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  cmbRange = new QComboBox(this);
  cmbRange->setObjectName(QStringLiteral("cmbRange"));
  for (ClearRange r : {ClearRange::LastHour, ClearRange::LastDay, ClearRange::LastWeek, ClearRange::All})
    cmbRange->addItem(clearRangeLabel(r), static_cast<int>(r));
  form->addRow(QStringLiteral("期間(&T):"), cmbRange);
  layout->addLayout(form);
  bool ruled = false;
  for (DataKind kind : registeredKinds()) {
    // Saved passwords stand apart: easy to lose, hard to get back.
    if (kind == DataKind::Passwords && !ruled) {
      auto* line = new QFrame(this);
      line->setFrameShape(QFrame::HLine);
      layout->addWidget(line);
      ruled = true;
    }
    auto* box = new QCheckBox(dataKindLabel(kind), this);
    box->setObjectName(QStringLiteral("chkKind%1").arg(static_cast<int>(kind)));
    box->setChecked(dataKindOnByDefault(kind));
    checks.insert(kind, box);
    layout->addWidget(box);
  }
  auto* buttons = new QDialogButtonBox(this);
  btnClear = buttons->addButton(QStringLiteral("消去"), QDialogButtonBox::AcceptRole);
  btnClear->setObjectName(QStringLiteral("btnClear"));
  buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(btnClear, &QPushButton::clicked, this, guarded::handler(this, &TClearDataDialog::btnClearClick));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto enable = [this] { btnClear->setEnabled(!Chosen().isEmpty()); };
  for (QCheckBox* box : checks) connect(box, &QCheckBox::toggled, this, enable);
  enable();
}

ClearRange TClearDataDialog::Range() const { return static_cast<ClearRange>(cmbRange->currentData().toInt()); }

QList<DataKind> TClearDataDialog::Chosen() const {
  QList<DataKind> out;
  for (auto it = checks.cbegin(); it != checks.cend(); ++it)
    if (it.value()->isChecked()) out.append(it.key());
  return out;
}

void TClearDataDialog::btnClearClick() {
  const QList<DataKind> kinds = Chosen();
  const qint64 since = clearRangeStart(Range(), QDateTime::currentMSecsSinceEpoch());
  // The dialog goes whether or not every clearer succeeded; a failure is reported.
  accept();
  clearData(kinds, since);
}

}  // namespace sitedata
