#include "engine/webengine/web_engine_control.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineNotification>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <optional>

#include "engine/address.h"
#include "engine/webengine/page_context_menu.h"
#include "engine/webengine/web_engine_site_data.h"
#include "page/downloads.h"
#include "page/full_screen.h"
#include "page/page_security.h"
#include "page/page_services.h"
#include "page/permissions.h"
#include "page/save_dialog.h"
#include "platform/errors.h"
#include "platform/guarded.h"

namespace {

QString htmlEscaped(const QString& s) { return s.toHtmlEscaped(); }

// The page of a WebEngine control: its script dialogs are the program's.
class TWebPage : public QWebEnginePage {
 public:
  TWebPage(QWebEngineProfile* profile, TWebBrowser* control) : QWebEnginePage(profile, control), control_(control) {}

 protected:
  void javaScriptAlert(const QUrl& origin, const QString& msg) override {
    control_->runPageDialog({PageDialogKind::Alert, siteOf(origin.toString()), msg, {}});
  }
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override {
    // The engine asks "leave this page?" as a confirm with its own text.
    const bool leave = msg == QLatin1String(kLeaveText);
    return control_
        ->runPageDialog({leave ? PageDialogKind::LeavePage : PageDialogKind::Confirm,
                         siteOf(origin.toString()),
                         leave ? QString() : msg,
                         {}})
        .accepted;
  }
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue, QString* result) override {
    const PageDialogAnswer a =
        control_->runPageDialog({PageDialogKind::Prompt, siteOf(origin.toString()), msg, defaultValue});
    if (a.accepted && result) *result = a.text;
    return a.accepted;
  }
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    // The certificate page's links are the program's, never loaded.
    if (isCertActionUrl(url.toString())) {
      if (isMainFrame) control_->certificateAction(url);
      return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
  }

 private:
  static constexpr const char* kLeaveText =
      "Are you sure you want to leave this page? Changes that you made may not be saved.";
  TWebBrowser* control_;
};

// A download the engine will not show. The engine takes an answer only
// inside its signal, and the question must not hold the signal up: the
// download is accepted at once into a .part file of its own in the download
// folder and paused; the user's answer then lets it go on (and it takes the
// chosen name when complete) or cancels it.
void startDownload(QWebEngineDownloadRequest* d, bool isPrivate) {
  if (d->isSavePageDownload() || d->state() != QWebEngineDownloadRequest::DownloadRequested) return;
  const QString url = d->url().toString();
  const QString name = downloadFileName(d->suggestedFileName(), url);
  QString held;
  try {
    held = DownloadManager::claimPartFile(DownloadManager::folder() + u'/' + name);
  } catch (...) {
    d->cancel();
    throw;
  }
  const QFileInfo part(held);
  d->setDownloadDirectory(part.absolutePath());
  d->setDownloadFileName(part.fileName());
  d->accept();
  QPointer<QWebEngineDownloadRequest> request(d);
  QTimer::singleShot(0, d, [request] {
    if (request && request->state() == QWebEngineDownloadRequest::DownloadInProgress) request->pause();
  });
  QWidget* near = d->page() ? QWebEngineView::forPage(d->page()) : nullptr;
  const QString pageUrl = d->page() ? d->page()->url().toString() : QString();
  DownloadManager::instance()->ask(near, {url, pageUrl, name}, [request, held, url, isPrivate](const QString& target) {
    if (target.isEmpty() || !request) {
      if (request) request->cancel();
      QFile::remove(held);
      return;
    }
    QWebEngineDownloadRequest* d = request;
    DownloadJob* job = DownloadManager::instance()->start(url, target, held, [request] {
      if (request) request->cancel();
    });
    job->setPrivate(isPrivate);
    QPointer<DownloadJob> j(job);
    auto progress = [d, j] {
      if (j) j->progress(d->receivedBytes(), d->totalBytes());
    };
    auto ended = [d, j](QWebEngineDownloadRequest::DownloadState s) {
      if (!j) return;
      if (s == QWebEngineDownloadRequest::DownloadCompleted) {
        j->progress(d->receivedBytes(), d->totalBytes());
        j->finished();
      } else if (s == QWebEngineDownloadRequest::DownloadCancelled) {
        j->cancelled();
      } else if (s == QWebEngineDownloadRequest::DownloadInterrupted) {
        j->failed(d->interruptReasonString());
      }
    };
    QObject::connect(d, &QWebEngineDownloadRequest::receivedBytesChanged, job, progress);
    QObject::connect(d, &QWebEngineDownloadRequest::totalBytesChanged, job, progress);
    QObject::connect(d, &QWebEngineDownloadRequest::stateChanged, job,
                     [ended](QWebEngineDownloadRequest::DownloadState s) { guarded::run([&] { ended(s); }); });
    progress();
    // It may have ended while the question was open.
    if (d->isFinished()) return ended(d->state());
    d->resume();
  });
}

}  // namespace

namespace {

std::optional<PermissionKind> permissionKindOf(QWebEnginePage::Feature feature) {
  switch (feature) {
    case QWebEnginePage::Notifications:
      return PermissionKind::Notifications;
    case QWebEnginePage::Geolocation:
      return PermissionKind::Geolocation;
    case QWebEnginePage::MediaAudioCapture:
      return PermissionKind::Microphone;
    case QWebEnginePage::MediaVideoCapture:
      return PermissionKind::Camera;
    case QWebEnginePage::MediaAudioVideoCapture:
      return PermissionKind::CameraAndMicrophone;
    case QWebEnginePage::MouseLock:
      return PermissionKind::PointerLock;
    case QWebEnginePage::DesktopVideoCapture:
    case QWebEnginePage::DesktopAudioVideoCapture:
      return PermissionKind::ScreenCapture;
  }
  return std::nullopt;
}

// A notification of a site that was allowed to show them. The engine says
// only which site it is from; its window is the first of that site's.
void showNotification(std::unique_ptr<QWebEngineNotification> n) {
  const QString origin = permissionOrigin(n->origin().toString());
  QWidget* pageWindow = nullptr;
  for (QWidget* w : QApplication::allWidgets())
    if (auto* web = qobject_cast<TWebBrowser*>(w); web && permissionOrigin(web->LocationURL()) == origin) {
      pageWindow = web;
      break;
    }
  QWebEngineNotification* note = n.release();
  QPointer<QWebEngineNotification> alive(note);
  NotificationPopup* popup = NotificationPopup::show(
      siteOf(note->origin().toString()), note->title(), note->message(), pageWindow,
      [alive] {
        if (alive) alive->click();
      },
      [alive] {
        if (alive) alive->close();
      });
  note->setParent(popup);
  QObject::connect(note, &QWebEngineNotification::closed, popup, [popup] { popup->dismiss(); });
  note->show();
}

}  // namespace

namespace {

// The engine's folder in the program's one data (or cache) folder, "zelvo",
// beside the WebKit host's "webkit". Data left in the folder of the
// application's name by an earlier version is moved there once.
QString engineFolder(QStandardPaths::StandardLocation base) {
  const QString root = QStandardPaths::writableLocation(base);
  if (root.isEmpty()) return {};
  const QString folder = root + QStringLiteral("/zelvo/webengine");
  const QString earlier = root + QStringLiteral("/Zelvo/webengine");
  if (!QFileInfo::exists(folder) && QFileInfo(earlier).isDir()) {
    QDir().mkpath(root + QStringLiteral("/zelvo"));
    if (QDir().rename(earlier, folder)) QDir(root).rmdir(QStringLiteral("Zelvo"));  // only if left empty
  }
  return folder;
}

}  // namespace

namespace {
QPointer<QWebEnginePage>& sparePage() {
  static QPointer<QWebEnginePage> page;
  return page;
}
bool& windowOpened() {
  static bool opened = false;
  return opened;
}
}  // namespace

void TWebBrowser::prepareSparePage() {
  if (sparePage() || windowOpened()) return;
  sparePage() = new QWebEnginePage(sharedProfile(), QCoreApplication::instance());
  sparePage()->setUrl(QUrl(QStringLiteral("about:blank")));
}

namespace {

// What every profile of the program has, whatever it keeps on disk: the
// language, the settings, the program's downloads and notifications.
void configureProfile(QWebEngineProfile* profile) {
  webengine_sitedata::filterCookies(profile);
  profile->setHttpAcceptLanguage(QStringLiteral("ja,en;q=0.8"));
  profile->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, true);
  const bool isPrivate = profile->isOffTheRecord();
  QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, [isPrivate](QWebEngineDownloadRequest* d) {
    guarded::run([&] {
      try {
        startDownload(d, isPrivate);
      } catch (const ZelvoError& e) {
        // Shown once the engine's signal is over: its box waits for the user.
        QTimer::singleShot(0, [text = e.text()] { guarded::report(text); });
      }
    });
  });
  profile->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
  profile->setNotificationPresenter(
      [](std::unique_ptr<QWebEngineNotification> n) { guarded::run([&] { showNotification(std::move(n)); }); });
}

std::weak_ptr<QWebEngineProfile>& privateProfileSlot() {
  static std::weak_ptr<QWebEngineProfile> slot;
  return slot;
}

// The off-the-record profile of the private windows, made for the first
// and shared by the others. Its cookies, cache and storage are in memory
// only; it goes when the last window using it goes, after that window's
// page (the engine wants a profile to outlive its pages).
std::shared_ptr<QWebEngineProfile> privateProfile() {
  if (auto live = privateProfileSlot().lock()) return live;
  auto* profile = new QWebEngineProfile(QCoreApplication::instance());
  profile->setObjectName(QStringLiteral("PrivateProfile"));
  configureProfile(profile);
  std::shared_ptr<QWebEngineProfile> shared(profile, [](QWebEngineProfile* p) {
    p->clearHttpCache();
    p->deleteLater();
  });
  privateProfileSlot() = shared;
  return shared;
}

}  // namespace

QWebEngineProfile* TWebBrowser::livePrivateProfile() { return privateProfileSlot().lock().get(); }

QWebEngineProfile* TWebBrowser::sharedProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (!profile) {
    profile = new QWebEngineProfile(QStringLiteral("zelvo"), QCoreApplication::instance());
    const QString data = engineFolder(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty()) {
      profile->setPersistentStoragePath(data);
      const QString cache = engineFolder(QStandardPaths::GenericCacheLocation);
      if (!cache.isEmpty()) profile->setCachePath(cache);
    }
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    configureProfile(profile);
    // Its cookies are watched for the site data list.
    webengine_sitedata::prepare(profile);
  }
  return profile;
}

double TWebBrowser::zoomFactorFor(int size) {
  static const double factors[] = {0.75, 0.875, 1.0, 1.25, 1.5};
  if (size < 0 || size > 4) return 1.0;
  return factors[size];
}

TWebBrowser::TWebBrowser(QWidget* parent, bool isPrivate)
    : IWebBrowser2(parent), privateProfile_(isPrivate ? privateProfile() : nullptr) {
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("WebEngineView"));
  services_ = new PageServices(this);
  security_ = new PageSecurity(this);
  permissions_ = new PagePermissions(this, privateProfile_ != nullptr);
  auto* page = new TWebPage(privateProfile_ ? privateProfile_.get() : sharedProfile(), this);
  // The engine is up; the spare has served, once this page has a renderer.
  windowOpened() = true;
  if (sparePage()) connect(page, &QWebEnginePage::loadFinished, sparePage(), &QObject::deleteLater);
  view_->setPage(page);
  setFocusProxy(view_);
  // Ctrl+wheel zooms: the view's page widget comes and goes with renderers.
  view_->installEventFilter(this);
  if (QWidget* proxy = view_->focusProxy()) watchZoomWheel(proxy);
  // Saved passwords: the login-form script and its channel to the frame.
  watchPasswords(page);

  watchPrinting(page);
  connect(page, &QWebEnginePage::linkHovered, this, [this](const QString& url) { emit StatusTextChange(url); });
  connect(page, &QWebEnginePage::loadStarted, this, [this] {
    services_->newDocument();
    permissions_->dismissAll();  // questions of the page that goes
    busy_ = true;
    emit ProgressChange(0, 100);
  });
  connect(page, &QWebEnginePage::loadProgress, this, [this](int p) {
    if (busy_) emit ProgressChange(p, 100);
  });
  connect(page, &QWebEnginePage::loadFinished, this, [this, page](bool ok) {
    busy_ = false;
    emit ProgressChange(100, 100);
    emit ProgressChange(0, 0);
    reportHistory();
    // Once per page really shown, where redirects have ended: not for a
    // load that failed (its error page stands at the failed address), nor
    // for the crash page.
    const QUrl url = view_->url();
    if (ok && !crashed_ && !url.isEmpty()) emit NavigateComplete2(url.toString());
    // The document allowed to capture the screen carries a mark in a world
    // of the program's own, out of the page's reach: once it is gone, so is
    // the capture.
    if (!permissions_->sharingScreen()) return;
    QPointer<TWebBrowser> self(this);
    page->runJavaScript(QStringLiteral("typeof window.zelvoScreenShare"), QWebEngineScript::ApplicationWorld,
                        [self](const QVariant& v) {
                          if (self && v.toString() != QLatin1String("boolean")) self->permissions_->screenShareEnded();
                        });
  });
  connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
    // Leaving the crash page (its own link, or history) ends the crash state.
    if (url.scheme() != QLatin1String("data")) crashed_ = false;
    reportHistory();
  });
  connect(page, &QWebEnginePage::titleChanged, this, [this](const QString& t) { emit TitleChange(t); });
  // ---- site icons: the largest size the page offers, at most 256 pixels.
  connect(page, &QWebEnginePage::iconChanged, this, [this](const QIcon& icon) {
    QByteArray png;
    QSize size;
    for (const QSize& s : icon.availableSizes())
      if (s.width() <= 256 && s.height() <= 256 && s.width() * s.height() > size.width() * size.height()) size = s;
    if (!icon.isNull() && size.isEmpty()) size = QSize(32, 32);
    if (!size.isEmpty()) {
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      if (!icon.pixmap(size).save(&buffer, "PNG")) png.clear();
    }
    emit IconChange(png);
  });
  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) emit NavigateError(info.url().toString());
  });
  connect(page, &QWebEnginePage::findTextFinished, this, [this](const QWebEngineFindTextResult& r) {
    emit FindResult(r.numberOfMatches() > 0 ? r.activeMatch() : 0, r.numberOfMatches());
  });
  connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
    const QString url = request.requestedUrl().toString();
    QString blocked;
    if (!services_->allowPopup(request.isUserInitiated(), url, &blocked)) {
      emit StatusTextChange(blocked);
      return;
    }
    // The frame opens a window of this engine; the engine's own page goes
    // into it, opener and all, and loads the address as the page's own
    // navigation, with the engine's checks.
    WindowHandoff handoff(this, [&request](IWebBrowser2* opened) {
      auto* web = qobject_cast<TWebBrowser*>(opened);
      if (!web) return false;
      request.openIn(web->view()->page());
      return true;
    });
    bool cancel = false;
    emit NewWindow2(url, &cancel);
  });
  watchSecurity();
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { guarded::run([&] { showContextMenu(pos); }); });
  connect(page, &QWebEnginePage::windowCloseRequested, this, [this] { emit WindowClosing(); });
  watchPermissionsAndFullScreen(page);
  connect(page, &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            fullScreen_.reset();
            permissions_->dismissAll();
            permissions_->screenShareEnded();
            if (status == QWebEnginePage::NormalTerminationStatus) return;
            const QUrl url = view_->url();
            // The crash page is shown once the dead renderer has been replaced.
            QMetaObject::invokeMethod(
                this, [this, url] { showCrashPage(url); }, Qt::QueuedConnection);
          });
}

TWebBrowser::~TWebBrowser() {
  delete devTools_;
  // The view is in the full-screen window: it goes from there.
  if (fullScreen_) {
    fullScreen_->release();
    fullScreen_.reset();
    delete view_;
  }
}

void TWebBrowser::resizeEvent(QResizeEvent* event) {
  IWebBrowser2::resizeEvent(event);
  if (!fullScreen_) view_->setGeometry(rect());
}

void TWebBrowser::reportHistory() {
  emit CommandStateChange(CSC_NAVIGATEBACK, view_->history()->canGoBack());
  emit CommandStateChange(CSC_NAVIGATEFORWARD, view_->history()->canGoForward());
}

void TWebBrowser::showCrashPage(const QUrl& url) {
  crashed_ = true;
  crashedUrl_ = url;
  busy_ = false;
  const QString html = QStringLiteral(
                           "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>%1</title></head>"
                           "<body style=\"font-family: sans-serif; margin: 2em\"><h2>%1</h2>"
                           "<p>このページを表示していたプロセスが終了しました。</p>"
                           "<p><a href=\"%2\">再読み込み</a></p><p style=\"color:#666\">%3</p></body></html>")
                           .arg(QStringLiteral("ページを表示できません"), htmlEscaped(url.toString(QUrl::FullyEncoded)),
                                htmlEscaped(url.toDisplayString()));
  view_->setHtml(html);
}

void TWebBrowser::showContextMenu(const QPoint& pos) {
  QMenu* menu = createPageContextMenu(view_, [this](const QUrl& url) {
    bool cancel = false;
    emit NewWindow2(url.toString(), &cancel);
  });
  menu->setObjectName(QStringLiteral("PageContextMenu"));
  const QList<QAction*> extra = ContextActions();
  if (!extra.isEmpty()) {
    if (!menu->isEmpty()) menu->addSeparator();
    menu->addActions(extra);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(view_->mapToGlobal(pos));
}

void TWebBrowser::GoBack() { view_->back(); }
void TWebBrowser::GoForward() { view_->forward(); }

void TWebBrowser::FindText(const QString& text, bool backward, bool caseSensitive) {
  QWebEnginePage::FindFlags flags;
  if (backward) flags |= QWebEnginePage::FindBackward;
  if (caseSensitive) flags |= QWebEnginePage::FindCaseSensitively;
  // The engine takes the same text again for a step, whatever the case:
  // a change of case is a new search.
  if (caseSensitive != findCaseSensitive_) view_->page()->findText(QString());
  findCaseSensitive_ = caseSensitive;
  view_->page()->findText(text, flags);
}

void TWebBrowser::StopFinding() { view_->page()->findText(QString()); }

QList<TravelEntry> TWebBrowser::BackEntries(int max) const {
  // The engine lists them oldest first.
  const QList<QWebEngineHistoryItem> items = view_->history()->backItems(max);
  QList<TravelEntry> out;
  for (auto it = items.rbegin(); it != items.rend(); ++it) out.append({it->title(), it->url().toString()});
  return out;
}

QList<TravelEntry> TWebBrowser::ForwardEntries(int max) const {
  QList<TravelEntry> out;
  for (const QWebEngineHistoryItem& item : view_->history()->forwardItems(max))
    out.append({item.title(), item.url().toString()});
  return out;
}

void TWebBrowser::GoToEntry(int steps) {
  QWebEngineHistory* history = view_->history();
  const int index = history->currentItemIndex() + steps;
  if (steps != 0 && index >= 0 && index < history->count()) history->goToItem(history->itemAt(index));
}

void TWebBrowser::Navigate(const QString& URL) {
  crashed_ = false;
  view_->load(addressToUrl(URL));
}

void TWebBrowser::Refresh() {
  if (crashed_) {
    crashed_ = false;
    view_->load(crashedUrl_);
    return;
  }
  view_->reload();
}

void TWebBrowser::Stop() { view_->stop(); }

QString TWebBrowser::LocationURL() const {
  if (crashed_) return crashedUrl_.toString();
  return view_->url().toString();
}

bool TWebBrowser::Busy() const { return busy_; }

PageDialogAnswer TWebBrowser::runPageDialog(const PageDialogRequest& request) {
  if (closing_) return unshownDialogAnswer(request.kind);
  auto answer = std::make_shared<std::optional<PageDialogAnswer>>();
  QEventLoop loop;
  services_->askDialog(request, [answer, &loop](const PageDialogAnswer& a) {
    *answer = a;
    loop.quit();
  });
  waitForAnswer(loop, [answer] { return answer->has_value(); });
  return answer->value_or(unshownDialogAnswer(request.kind));
}

void TWebBrowser::waitForAnswer(QEventLoop& loop, const std::function<bool()>& answered) {
  if (!answered()) {
    ++dialogDepth_;
    loop.exec();
    --dialogDepth_;
    // Left without an answer: the program is ending.
    if (!answered()) {
      services_->closeDialogs();
      security_->closeSignIns();
    }
  }
  if (closing_ && dialogDepth_ == 0) emit WindowClosing();  // queued by the child
}

bool TWebBrowser::DeferClose() {
  if (dialogDepth_ == 0) return false;
  closing_ = true;
  services_->closeDialogs();
  security_->closeSignIns();
  return true;
}

void TWebBrowser::ExecWB(int cmdID, int, const QVariant& input) {
  switch (cmdID) {
    case OLECMDID_SAVEAS: {
      // Printing and PDF: a PDF document in the viewer is saved as itself.
      if (showsPdf_) return view_->page()->download(view_->url());
      const QList<SaveFormat> formats = {
          {QStringLiteral("ウェブページ、完全 (*.html *.htm)"), QStringLiteral("html"),
           QWebEngineDownloadRequest::CompleteHtmlSaveFormat},
          {QStringLiteral("ウェブページ、HTML のみ (*.html *.htm)"), QStringLiteral("html"),
           QWebEngineDownloadRequest::SingleHtmlSaveFormat},
          {QStringLiteral("Web アーカイブ、単一のファイル (*.mht *.mhtml)"), QStringLiteral("mht"),
           QWebEngineDownloadRequest::MimeHtmlSaveFormat},
      };
      const SaveChoice choice = askSaveAs(this, fileNameFromTitle(view_->title()), formats);
      if (choice.path.isEmpty()) return;
      // The page arrives as a download; watch it so a failure is reported.
      QPointer<TWebBrowser> self(this);
      auto conn = std::make_shared<QMetaObject::Connection>();
      *conn = connect(view_->page()->profile(), &QWebEngineProfile::downloadRequested, this,
                      [this, conn](QWebEngineDownloadRequest* d) {
                        if (!d->isSavePageDownload() || d->page() != view_->page()) return;
                        disconnect(*conn);
                        watchDownload(d);
                      });
      view_->page()->save(choice.path, static_cast<QWebEngineDownloadRequest::SavePageFormat>(choice.formatId));
      return;
    }
    case OLECMDID_COPY:
      view_->page()->triggerAction(QWebEnginePage::Copy);
      return;
    case OLECMDID_SELECTALL:
      view_->page()->triggerAction(QWebEnginePage::SelectAll);
      return;
    case OLECMDID_ZOOM:
      textZoom_ = zoomFactorFor(input.toInt());
      applyZoom();
      return;
    default:
      throw EEngineError(QStringLiteral("このコマンドは実行できません (%1)").arg(cmdID));
  }
}

void TWebBrowser::watchPermissionsAndFullScreen(QWebEnginePage* page) {
  connect(page, &QWebEnginePage::featurePermissionRequested, this,
          [this, page](const QUrl& origin, QWebEnginePage::Feature feature) {
            QPointer<QWebEnginePage> p(page);
            // A dismissed question denies now, but leaves the engine
            // without a stored answer, so that the page may ask again, as
            // with the WebKit engine.
            auto reply = [p, origin, feature](PermissionAnswer a) {
              if (!p) return;
              if (a == PermissionAnswer::Allowed && permissionKindOf(feature) == PermissionKind::ScreenCapture)
                p->runJavaScript(QStringLiteral("window.zelvoScreenShare = true"), QWebEngineScript::ApplicationWorld);
              p->setFeaturePermission(origin, feature,
                                      a == PermissionAnswer::Allowed ? QWebEnginePage::PermissionGrantedByUser
                                                                     : QWebEnginePage::PermissionDeniedByUser);
              if (a == PermissionAnswer::Dismissed)
                p->setFeaturePermission(origin, feature, QWebEnginePage::PermissionUnknown);
            };
            const std::optional<PermissionKind> kind = permissionKindOf(feature);
            if (!kind) return reply(PermissionAnswer::Denied);
            permissions_->ask(origin.toString(), *kind, reply);
          });
  connect(page, &QWebEnginePage::featurePermissionRequestCanceled, this,
          [this](const QUrl& origin, QWebEnginePage::Feature feature) {
            if (const std::optional<PermissionKind> kind = permissionKindOf(feature))
              permissions_->withdraw(origin.toString(), *kind);
          });
  connect(page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
    request.accept();
    if (!request.toggleOn()) {
      fullScreen_.reset();
    } else if (!fullScreen_) {
      fullScreen_ = std::make_unique<FullScreenWindow>(
          view_, [this] { view_->page()->triggerAction(QWebEnginePage::ExitFullScreen); });
    }
  });
}

void TWebBrowser::watchDownload(QWebEngineDownloadRequest* download) {
  connect(
      download, &QWebEngineDownloadRequest::stateChanged, this, [download](QWebEngineDownloadRequest::DownloadState s) {
        if (s != QWebEngineDownloadRequest::DownloadInterrupted) return;
        guarded::run([&] {
          throw EInOutError(
              QStringLiteral("%1 に保存できません")
                  .arg(QDir::toNativeSeparators(download->downloadDirectory() + u'/' + download->downloadFileName())));
        });
      });
}
