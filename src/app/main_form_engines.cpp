// What the two engines do together: a page opened in the other engine, two
// windows of one page following each other, and the rules that choose the
// engine of a new window by its address.
#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "app/main_form.h"
#include "app/window_arrange.h"
#include "browser/browser_child.h"
#include "browser/compare_sync.h"
#include "engine/address.h"
#include "engine/engine_control.h"
#include "engine/engine_rules.h"
#include "options/engine_rule_form.h"
#include "platform/errors.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

namespace {

const QString kPageOtherEngine = QStringLiteral("mnuPageOtherEngine");
const QString kOtherEngineCaption = QStringLiteral("もう一方のエンジンで開く");

// The two windows of a comparison. Each one's new page is loaded in the
// other; the link ends when either window goes.
class TCompareLink : public QObject {
 public:
  TCompareLink(TMainForm* frame, TBrowserChild* left, TBrowserChild* right, const QString& url)
      : QObject(frame), left_(left), right_(right), sync_(url) {
    setObjectName(QStringLiteral("CompareLink"));
    follow(left, CompareSync::Left);
    follow(right, CompareSync::Right);
  }

 private:
  void follow(TBrowserChild* child, CompareSync::Side side) {
    connect(child->Control(), &IWebBrowser2::NavigateComplete2, this,
            [this, side](const QString& url) { guarded::run([&] { shown(side, url); }); });
    // Ended once the window is gone, not from inside its destruction; a
    // link ended before that hears nothing of it.
    connect(child, &QObject::destroyed, this, [this] {
      auto* frame = static_cast<TMainForm*>(parent());
      QTimer::singleShot(0, frame, [frame, self = QPointer<QObject>(this)] {
        if (self) frame->EndCompare();
      });
    });
  }

  void shown(CompareSync::Side side, const QString& url) {
    const auto next = sync_.shown(side, url);
    TBrowserChild* other = side == CompareSync::Left ? right_ : left_;
    if (next && other && left_ && right_) other->Control()->Navigate(*next);
  }

  QPointer<TBrowserChild> left_, right_;
  CompareSync sync_;
};

}  // namespace

void TMainForm::CreateEngineItems() {
  auto item = [this](const char* name, const QString& caption) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  mnuOtherEngine = item("mnuOtherEngine", kOtherEngineCaption);
  mnuCompare = item("mnuCompare", QStringLiteral("両方のエンジンで比較"));
  mnuCompare->setCheckable(true);
  mnuEngineRule = item("mnuEngineRule", QStringLiteral("エンジンの自動切り替え"));
  // After the engine submenu, before the options.
  Tool1->insertActions(mnuOption, {mnuOtherEngine, mnuCompare, mnuEngineRule});

  connect(mnuOtherEngine, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuOtherEngineClick));
  connect(mnuCompare, &QAction::triggered, this, [this] {
    // The handler sets the mark itself, from whether a comparison runs.
    mnuCompare->setChecked(!mnuCompare->isChecked());
    guarded::run([this] { mnuCompareClick(); });
  });
  connect(mnuEngineRule, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuEngineRuleClick));
  connect(Moz_Item, &QAction::changed, this, [this] { UpdateEngineItems(); });
  connect(MDIClient, &QMdiArea::subWindowActivated, this, [this] { UpdateEngineItems(); });
  UpdateEngineItems();
}

void TMainForm::PrepareChild(TBrowserChild* child) {
  // The page's context menu offers the other engine too.
  auto* item = new QAction(kOtherEngineCaption, child);
  item->setObjectName(kPageOtherEngine);
  QPointer<TBrowserChild> target(child);
  connect(item, &QAction::triggered, this, [this, target] {
    guarded::run([&] {
      if (target) OpenInOtherEngine(target);
    });
  });
  item->setEnabled(OtherEngineAvailable(child));
  child->Control()->SetContextActions({item});
  WatchPrinting(child);  // printing
}

bool TMainForm::NewWindowIsIE(const QString& URL) const {
  const bool menu = IE_item->isChecked();
  const auto rules = engine_rules::read(IniFile(ConfigPath()));
  const auto engine = engine_rules::engineFor(rules, URL);
  if (!engine) return menu;
  if (*engine == engine_rules::Engine::Gecko && !Moz_Item->isEnabled()) return menu;
  return *engine == engine_rules::Engine::IE;
}

bool TMainForm::OtherEngineAvailable(const TBrowserChild* child) const {
  return child && (!child->IsIE() || Moz_Item->isEnabled());
}

TBrowserChild* TMainForm::OpenInOtherEngine(TBrowserChild* child) {
  if (!OtherEngineAvailable(child)) return nullptr;
  // The page's address is where the page went, not what the user typed:
  // the other engine loads it as the browser's own load only when that is
  // safe (a web page, or a local page's own file); a blank page stays blank.
  QString url = child->Control()->LocationURL();
  if (url.isEmpty() || url == QLatin1String("about:blank"))
    url = QStringLiteral("about:blank");
  else if (!frameMayLoadPageAddress(url, url))
    throw EEngineError(QStringLiteral("このページはもう一方のエンジンでは開けません"));
  // A private window's page stays private in the other engine.
  return OpenChildIn(!child->IsIE(), QString(), url, child->IsPrivate());
}

void TMainForm::mnuOtherEngineClick() {
  if (TBrowserChild* active = ActiveMDIChild()) OpenInOtherEngine(active);
}

bool TMainForm::Comparing() const { return compare_ != nullptr; }

void TMainForm::mnuCompareClick() {
  if (Comparing()) {
    EndCompare();
    return;
  }
  QPointer<TBrowserChild> left = ActiveMDIChild();
  if (!left || !OtherEngineAvailable(left)) return UpdateEngineItems();
  const QString url = left->Control()->LocationURL();
  TBrowserChild* right = OpenInOtherEngine(left);
  if (!right || !left) return UpdateEngineItems();
  compare_ = new TCompareLink(this, left, right, url);

  const QList<QRect> halves = arrange::tileVertical(MDIClient->viewport()->rect(), 2);
  for (int i = 0; i < 2; ++i) {
    QMdiSubWindow* w = i == 0 ? static_cast<QMdiSubWindow*>(left) : right;
    if (w->isMaximized() || w->isMinimized()) w->showNormal();
    w->setGeometry(halves[i]);
    w->raise();
  }
  MDIClient->setActiveSubWindow(left);
  UpdateEngineItems();
}

void TMainForm::EndCompare() {
  delete compare_.data();
  compare_ = nullptr;
  UpdateEngineItems();
}

void TMainForm::UpdateEngineItems() {
  TBrowserChild* active = ActiveMDIChild();
  mnuOtherEngine->setEnabled(OtherEngineAvailable(active));
  mnuCompare->setEnabled(Comparing() || OtherEngineAvailable(active));
  mnuCompare->setChecked(Comparing());
  for (QMdiSubWindow* w : MDIChildren())
    if (auto* child = qobject_cast<TBrowserChild*>(w))
      if (auto* item = child->findChild<QAction*>(kPageOtherEngine)) item->setEnabled(OtherEngineAvailable(child));
}

void TMainForm::mnuEngineRuleClick() {
  auto* dialog = findChild<Tfrm_EngineRule*>(QStringLiteral("frm_EngineRule"), Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new Tfrm_EngineRule(ConfigPath(), this);
  dialog->FormShow();
}
