// Cookies, site data and permissions in the frame: the ツール items of
// site data, site settings, clearing browsing data and third-party
// cookies, the permission answers kept in the data folder, and the
// clearers the frame itself registers (history, both engines' cookies,
// site data and caches, remembered permissions).
#include <QAction>
#include <QMenu>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "history/history_store.h"
#include "page/downloads.h"
#include "page/permissions.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"
#include "platform/user_folders.h"
#include "sitedata/clear_data_dialog.h"
#include "sitedata/data_clearers.h"
#include "sitedata/site_data_engines.h"
#include "sitedata/site_data_window.h"
#include "sitedata/site_settings_window.h"
#include "zoom/zoom_store.h"

using namespace frame_widgets;

namespace {
const QString kCookieSection = QStringLiteral("Cookies");
const QString kThirdPartyKey = QStringLiteral("AllowThirdParty");

void showOver(QWidget* window, QWidget* frame) {
  QRect r(QPoint(), window->size());
  r.moveCenter(frame->frameGeometry().center());
  window->move(r.topLeft());
  window->show();
  window->raise();
  window->activateWindow();
}
}  // namespace

void TMainForm::CreateSiteDataItems() {
  // Answers kept for good live in the data folder; a private window keeps
  // its answers to itself until it closes.
  PagePermissions::memory().setFile(user_folders::data() + QStringLiteral("/site-permissions.txt"));

  QAction* before = mnuOption;
  auto add = [&](QAction* a) { Tool1->insertAction(before, a); };
  add(separator(Tool1, "N_SiteData"));
  mnuSiteData = newAction(this, "mnuSiteData", QStringLiteral("サイトデータ"));
  mnuSiteSettings = newAction(this, "mnuSiteSettings", QStringLiteral("サイトの設定"));
  mnuClearData = newAction(this, "mnuClearData", QStringLiteral("閲覧履歴を消去..."),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
  mnuThirdPartyCookies = newAction(this, "mnuThirdPartyCookies", QStringLiteral("サードパーティの Cookie を許可"));
  mnuThirdPartyCookies->setCheckable(true);
  for (QAction* a : {mnuSiteData, mnuSiteSettings, mnuClearData, mnuThirdPartyCookies}) add(a);
  add(separator(Tool1, "N_SiteData2"));
  addAction(mnuClearData);
  connect(mnuSiteData, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuSiteDataClick));
  connect(mnuSiteSettings, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuSiteSettingsClick));
  connect(mnuClearData, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuClearDataClick));
  connect(mnuThirdPartyCookies, &QAction::triggered, this,
          guarded::handler(this, &TMainForm::mnuThirdPartyCookiesClick));

  const bool allow = IniFile(ConfigPath()).ReadBool(kCookieSection, kThirdPartyKey, false);
  mnuThirdPartyCookies->setChecked(allow);
  sitedata::setThirdPartyCookies(allow);
  sitedata::watchEngines();

  using sitedata::DataKind;
  sitedata::registerClearer(DataKind::History, QStringLiteral("history"), [this](qint64 since) {
    if (History) History->clearFrom(since);
  });
  sitedata::registerClearer(DataKind::CookiesAndSiteData, QStringLiteral("engines-site-data"),
                            [](qint64 since) { sitedata::clearStored(true, false, since, {}); });
  sitedata::registerClearer(DataKind::Cache, QStringLiteral("engines-cache"),
                            [](qint64 since) { sitedata::clearStored(false, true, since, {}); });
  sitedata::registerClearer(DataKind::PermissionsAndZoom, QStringLiteral("permissions"),
                            [](qint64 since) { PagePermissions::memory().forgetFrom(since); });
  sitedata::registerClearer(DataKind::PermissionsAndZoom, QStringLiteral("zoom"),
                            [](qint64 since) { zoom::forgetFrom(since); });
  sitedata::registerClearer(DataKind::DownloadList, QStringLiteral("downloads"),
                            [](qint64 since) { DownloadManager::instance()->clearList(since); });
}

void TMainForm::mnuSiteDataClick() {
  if (!SiteDataWindow) SiteDataWindow = new sitedata::TSiteDataWindow(this);
  showOver(SiteDataWindow, this);
}

void TMainForm::mnuSiteSettingsClick() {
  if (!SiteSettingsWindow) SiteSettingsWindow = new sitedata::TSiteSettingsWindow(this);
  static_cast<sitedata::TSiteSettingsWindow*>(SiteSettingsWindow.data())->Reload();
  showOver(SiteSettingsWindow, this);
}

void TMainForm::mnuClearDataClick() {
  if (!ClearDataDialog) ClearDataDialog = new sitedata::TClearDataDialog(this);
  showOver(ClearDataDialog, this);
}

void TMainForm::mnuThirdPartyCookiesClick(bool allow) {
  // Kept first: a setting that cannot be written is not applied either.
  try {
    IniFile(ConfigPath()).WriteBool(kCookieSection, kThirdPartyKey, allow);
  } catch (...) {
    mnuThirdPartyCookies->setChecked(!allow);
    throw;
  }
  sitedata::setThirdPartyCookies(allow);
}
