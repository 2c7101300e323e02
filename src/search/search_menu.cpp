#include "search/search_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "platform/guarded.h"
#include "platform/ini_file.h"
#include "search/search_rules.h"

namespace {

QString& testPattern() {
  static QString pattern;
  return pattern;
}

}  // namespace

SearchEngineMenu::SearchEngineMenu(QMenu* menu, std::function<QString()> configPath)
    : QObject(menu), menu_(menu), configPath_(std::move(configPath)) {
  auto* group = new QActionGroup(menu);
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (const search::Engine& e : search::engines()) {
    // Captions are plain names: "&" would be taken for an access key.
    auto* a = new QAction(QString(e.caption).replace(u'&', QLatin1String("&&")), menu);
    a->setObjectName(QStringLiteral("mnuSearch_") + e.id);
    a->setData(e.id);
    a->setCheckable(true);
    group->addAction(a);
    menu->addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { guarded::run([&] { choose(a); }); });
  }
  item(search::engines().first().id)->setChecked(true);
  connect(menu, &QMenu::aboutToShow, this, [this] { guarded::run([this] { read(); }); });
}

QString SearchEngineMenu::chosenId() const {
  const QString id =
      IniFile(configPath_())
          .ReadString(QString::fromLatin1(search::kSection), QString::fromLatin1(search::kEngineKey), QString());
  return search::engineById(id).id;
}

void SearchEngineMenu::read() { item(chosenId())->setChecked(true); }

void SearchEngineMenu::choose(QAction* chosen) {
  chosen->setChecked(true);
  IniFile(configPath_())
      .WriteString(QString::fromLatin1(search::kSection), QString::fromLatin1(search::kEngineKey),
                   chosen->data().toString());
}

QAction* SearchEngineMenu::item(const QString& id) const {
  for (QAction* a : menu_->actions())
    if (a->data().toString() == id) return a;
  return nullptr;
}

QString SearchEngineMenu::addressFor(const QString& terms) const {
  const QString pattern = testPattern().isEmpty() ? search::engineById(chosenId()).address : testPattern();
  return search::searchAddress(pattern, terms);
}

void SearchEngineMenu::setAddressForTests(const QString& pattern) { testPattern() = pattern; }
