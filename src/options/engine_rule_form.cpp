#include "options/engine_rule_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/errors.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

using engine_rules::Engine;
using engine_rules::EngineRule;
using engine_rules::Kind;

Tfrm_EngineRule::Tfrm_EngineRule(const QString& configPath, QWidget* parent)
    : QDialog(parent), configPath_(configPath) {
  setObjectName(QStringLiteral("frm_EngineRule"));
  setWindowTitle(QStringLiteral("エンジンの自動切り替え"));
  setModal(false);

  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  lstRules = new QTreeWidget(this);
  lstRules->setObjectName(QStringLiteral("lstRules"));
  lstRules->setAccessibleName(QStringLiteral("規則"));
  lstRules->setColumnCount(3);
  lstRules->setHeaderLabels({QStringLiteral("対象"), QStringLiteral("種類"), QStringLiteral("エンジン")});
  lstRules->setRootIsDecorated(false);
  lstRules->setSelectionMode(QAbstractItemView::SingleSelection);
  lstRules->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  lstRules->header()->setStretchLastSection(false);
  lstRules->setColumnWidth(1, 110);
  lstRules->setColumnWidth(2, 120);
  top->addWidget(lstRules, 1);

  auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
  };
  auto* side = new QVBoxLayout();
  btnAdd = button("btnAdd", QStringLiteral("追加"));
  btnChange = button("btnChange", QStringLiteral("変更"));
  btnDel = button("btnDel", QStringLiteral("削除"));
  btnUp = button("btnUp", QStringLiteral("上へ"));
  btnDown = button("btnDown", QStringLiteral("下へ"));
  for (QPushButton* b : {btnAdd, btnChange, btnDel, btnUp, btnDown}) side->addWidget(b);
  side->addStretch(1);
  top->addLayout(side);
  outer->addLayout(top, 1);

  auto* fields = new QGridLayout();
  Label1 = new QLabel(QStringLiteral("対象："), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  txtPattern = new QLineEdit(this);
  txtPattern->setObjectName(QStringLiteral("txtPattern"));
  txtPattern->setAccessibleName(QStringLiteral("対象"));
  txtPattern->setPlaceholderText(QStringLiteral("example.jp　*.example.jp　https://example.jp/app/"));
  Label1->setBuddy(txtPattern);
  Label2 = new QLabel(QStringLiteral("エンジン："), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  cboEngine = new QComboBox(this);
  cboEngine->setObjectName(QStringLiteral("cboEngine"));
  cboEngine->setAccessibleName(QStringLiteral("エンジン"));
  cboEngine->addItems({EngineCaption(Engine::IE), EngineCaption(Engine::Gecko)});
  Label2->setBuddy(cboEngine);
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(txtPattern, 0, 1);
  fields->addWidget(Label2, 1, 0);
  fields->addWidget(cboEngine, 1, 1, Qt::AlignLeft);
  outer->addLayout(fields);

  Label3 = new QLabel(QStringLiteral("アドレスを新しいウィンドウで開くとき、最初に一致した規則のエンジンを使います。\n"
                                     "ホスト名、「*.」で始まるホストのパターン（そのホストと配下のすべて）、"
                                     "または URL の先頭を指定できます。"),
                      this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setWordWrap(true);
  outer->addWidget(Label3);

  auto* bottom = new QHBoxLayout();
  bottom->addStretch(1);
  btnOK = button("btnOK", QStringLiteral("OK"));
  btnCancel = button("btnCancel", QStringLiteral("キャンセル"));
  bottom->addWidget(btnOK);
  bottom->addWidget(btnCancel);
  outer->addLayout(bottom);
  resize(520, 360);

  using guarded::handler;
  connect(lstRules, &QTreeWidget::itemSelectionChanged, this, handler(this, &Tfrm_EngineRule::lstRulesChange));
  connect(btnAdd, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnAddClick));
  connect(btnChange, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnChangeClick));
  connect(btnDel, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnDelClick));
  connect(btnUp, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnUpClick));
  connect(btnDown, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnDownClick));
  connect(btnOK, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnOKClick));
  connect(btnCancel, &QPushButton::clicked, this, handler(this, &Tfrm_EngineRule::btnCancelClick));
}

QString Tfrm_EngineRule::KindCaption(Kind kind) {
  switch (kind) {
    case Kind::Host:
      return QStringLiteral("ホスト名");
    case Kind::HostPattern:
      return QStringLiteral("ホストのパターン");
    case Kind::UrlPrefix:
      return QStringLiteral("URL の先頭");
  }
  return {};
}

QString Tfrm_EngineRule::EngineCaption(Engine engine) {
  return engine == Engine::IE ? QStringLiteral("Internet Explorer") : QStringLiteral("Gekko");
}

void Tfrm_EngineRule::FormShow() {
  Rules = engine_rules::read(IniFile(configPath_));
  ShowRules(Rules.isEmpty() ? -1 : 0);
  if (Rules.isEmpty()) {
    txtPattern->clear();
    cboEngine->setCurrentIndex(0);
  }
  show();
  raise();
  activateWindow();
}

void Tfrm_EngineRule::ShowRules(int select) {
  lstRules->clear();
  for (const EngineRule& rule : Rules) {
    auto* row = new QTreeWidgetItem(lstRules);
    row->setText(0, rule.pattern);
    row->setText(1, KindCaption(engine_rules::kindOf(rule.pattern).value_or(Kind::Host)));
    row->setText(2, EngineCaption(rule.engine));
  }
  if (select >= 0 && select < lstRules->topLevelItemCount()) {
    lstRules->setCurrentItem(lstRules->topLevelItem(select));
    lstRules->topLevelItem(select)->setSelected(true);
  }
  const bool any = !Rules.isEmpty();
  for (QPushButton* b : {btnChange, btnDel, btnUp, btnDown}) b->setEnabled(any);
}

int Tfrm_EngineRule::Current() const {
  const QList<QTreeWidgetItem*> selected = lstRules->selectedItems();
  return selected.isEmpty() ? -1 : lstRules->indexOfTopLevelItem(selected.first());
}

void Tfrm_EngineRule::lstRulesChange() {
  const int i = Current();
  if (i < 0 || i >= Rules.size()) return;
  txtPattern->setText(Rules[i].pattern);
  cboEngine->setCurrentIndex(Rules[i].engine == Engine::IE ? 0 : 1);
}

EngineRule Tfrm_EngineRule::Entered() const {
  const QString pattern = txtPattern->text().trimmed();
  if (!engine_rules::kindOf(pattern))
    throw ZelvoError(QStringLiteral("「%1」は規則にできません。ホスト名、「*.」で始まるホストのパターン、"
                                    "または URL の先頭（https://example.jp/ など）を入力してください")
                         .arg(pattern));
  return EngineRule{pattern, cboEngine->currentIndex() == 1 ? Engine::Gecko : Engine::IE};
}

void Tfrm_EngineRule::btnAddClick() {
  Rules.append(Entered());
  ShowRules(static_cast<int>(Rules.size()) - 1);
}

void Tfrm_EngineRule::btnChangeClick() {
  const int i = Current();
  if (i < 0) return;
  Rules[i] = Entered();
  ShowRules(i);
}

void Tfrm_EngineRule::btnDelClick() {
  const int i = Current();
  if (i < 0) return;
  Rules.removeAt(i);
  ShowRules(std::min(i, static_cast<int>(Rules.size()) - 1));
}

void Tfrm_EngineRule::btnUpClick() {
  const int i = Current();
  if (i <= 0) return;
  Rules.swapItemsAt(i, i - 1);
  ShowRules(i - 1);
}

void Tfrm_EngineRule::btnDownClick() {
  const int i = Current();
  if (i < 0 || i + 1 >= Rules.size()) return;
  Rules.swapItemsAt(i, i + 1);
  ShowRules(i + 1);
}

void Tfrm_EngineRule::btnOKClick() {
  IniFile ini(configPath_);
  engine_rules::write(ini, Rules);
  hide();
}

void Tfrm_EngineRule::btnCancelClick() { hide(); }
