#include "browser/browser_child.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QMdiArea>

#include "browser/page_display.h"
#include "browser/progress.h"
#include "engine/address.h"
#include "engine/engine_control.h"
#include "engine/webengine_side.h"
#include "engine/webkit/webkit_control.h"
#include "history/history_recorder.h"
#include "icons/site_icons.h"
#include "page/page_rules.h"
#include "page/page_security.h"
#include "page/page_services.h"
#include "passwords/password_bar.h"
#include "platform/guarded.h"
#include "privacy/privacy_rules.h"
#include "privacy/private_icon.h"
#include "zoom/page_zoom.h"

namespace {

TBrowserChild::ControlFactory& factory() {
  static TBrowserChild::ControlFactory f;
  return f;
}

qint16 bool16(bool b) { return b ? TBrowserChild::kTrue : TBrowserChild::kFalse; }

// Qt's accessible MDI window reads its title with every "[*]" taken out; a
// child is read by its accessible name, which is its caption as shown.
class ChildAccessible : public QAccessibleWidget {
 public:
  explicit ChildAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Window) {}
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const auto* w = static_cast<const QMdiSubWindow*>(widget());
    if (w->mdiArea() && w->mdiArea()->activeSubWindow() == w) s.active = true;
    if (!w->isMaximized() && !w->isMinimized()) s.movable = s.sizeable = true;
    return s;
  }
};

QAccessibleInterface* childAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("TBrowserChild") && object && object->isWidgetType())
    return new ChildAccessible(static_cast<QWidget*>(object));
  return nullptr;
}

}  // namespace

void TBrowserChild::setControlFactoryForTests(ControlFactory f) { factory() = std::move(f); }

TBrowserChild::TBrowserChild(TPageDisplay* frame, bool ie, bool isPrivate) : frame_(frame), private_(isPrivate) {
  [[maybe_unused]] static const bool accessible = (QAccessible::installFactory(childAccessible), true);
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(ie ? QStringLiteral("frm_IE") : QStringLiteral("frm_MZ"));
  if (factory())
    control_ = factory()(ie, this);
  else if (ie)
    control_ = webengine_side::get().createControl(this, private_);
  else
    control_ = new TMozillaBrowser(this, private_);
  if (private_) setWindowIcon(privacy::privateWindowIcon());
  control_->setObjectName(ie ? QStringLiteral("TWeb_IE") : QStringLiteral("TWeb_MZ"));
  setWidget(control_);
  connectControl();
}

void TBrowserChild::connectControl() {
  // The engine's events arrive through the message loop like any other
  // handler and go through the same guard.
  connect(control_, &IWebBrowser2::StatusTextChange, this,
          [this](const QString& t) { guarded::run([&] { StatusTextChange(t); }); });
  connect(control_, &IWebBrowser2::TitleChange, this,
          [this](const QString& t) { guarded::run([&] { TitleChange(t); }); });
  connect(control_, &IWebBrowser2::ProgressChange, this,
          [this](qint32 p, qint32 m) { guarded::run([&] { ProgressChange(p, m); }); });
  connect(control_, &IWebBrowser2::CommandStateChange, this,
          [this](qint32 c, bool e) { guarded::run([&] { CommandStateChange(c, e); }); });
  connect(control_, &IWebBrowser2::NewWindow2, this, [this](const QString& url, bool* cancel) {
    guarded::run(
        [&] { NewWindow2(url, cancel, IsIE() ? QStringLiteral("Internet Explorer") : QStringLiteral("Mozilla")); });
  });
  if (PageSecurity* security = control_->Security())
    connect(security, &PageSecurity::changed, this, [this] {
      guarded::run([&] {
        if (frame_->ActiveMDIChild() == this) ShowSecurity();
      });
    });
  connect(control_, &IWebBrowser2::IconChange, this,
          [this](const QByteArray& png) { guarded::run([&] { IconChange(png); }); });
  // The page's zoom, remembered per site unless the window keeps nothing.
  new PageZoom(control_, [this] { return !IsPrivate(); });
  // Saved passwords: never kept for a private window.
  if (PageSecurity* security = control_->Security()) security->setMayKeepPasswords([this] { return !IsPrivate(); });
  passwords_ = new passwords::PasswordKeeper(control_, this, [this] { return IsPrivate(); });
  connect(passwords_, &passwords::PasswordKeeper::barChanged, this, [this] { guarded::run([&] { FormResize(); }); });
  // Queued: the control may be deep inside its engine when it asks.
  connect(control_, &IWebBrowser2::WindowClosing, this, &QMdiSubWindow::close, Qt::QueuedConnection);
}

void TBrowserChild::FormActivate() {
  frame_->ShowAddress(displayAddress(control_->LocationURL()));
  ShowSecurity();
  frame_->SetProgress(progress::clampToBar(Tag));
  if (!IsIE()) FormResize();
  frame_->SetButtonEnabled(TPageDisplay::btnBack, BackEnable != kFalse);
  frame_->SetButtonEnabled(TPageDisplay::btnForward, FrwrdEnable != kFalse);
  frame_->SetButtonEnabled(TPageDisplay::btnStop, StopEnable != kFalse);
  frame_->SetButtonEnabled(TPageDisplay::btnReload, ReLoadEnable != kFalse);
  frame_->SetPageItemsEnabled(true);
  if (IsIE()) {
    frame_->ShowMojiSize(static_cast<Tfrm_IE*>(this)->ChildMojiSize);
    frame_->SetTextSizeEnabled(true);
  } else {
    frame_->SetTextSizeEnabled(false);
  }
}

void TBrowserChild::ShowSecurity() {
  const PageSecurity* s = control_->Security();
  frame_->ShowSecurity(s ? s->state() : SecurityState::None, s ? s->stateText() : QString());
}

void TBrowserChild::FormResize() {
  // The control fills the content area exactly; the child frame's border
  // and caption are the window system's; the password bar, when shown,
  // takes a strip above it.
  QRect page = contentsRect();
  if (passwords_ && !passwords_->bar()->isHidden()) {
    QWidget* bar = passwords_->bar();
    const int h = bar->hasHeightForWidth() ? bar->heightForWidth(page.width()) : bar->sizeHint().height();
    bar->setGeometry(page.left(), page.top(), page.width(), h);
    page.setTop(page.top() + h);
  }
  if (control_) control_->setGeometry(page);
}

void TBrowserChild::FormCanResize() {}

void TBrowserChild::resizeEvent(QResizeEvent* event) {
  QMdiSubWindow::resizeEvent(event);
  guarded::run([this] { FormResize(); });
}

namespace {
const QString kMark = QStringLiteral("[*]");
const QString kLiteralMark = QStringLiteral("[*][*]");  // shown as "[*]"
}  // namespace

void TBrowserChild::SetCaption(const QString& text) {
  const QString shown = privacy::windowCaption(text, private_);
  setWindowTitle(QString(shown).replace(kMark, kLiteralMark));
  setAccessibleName(shown);
}

QString TBrowserChild::Caption() const { return windowTitle().replace(kLiteralMark, kMark); }

QString TBrowserChild::PageCaption() const { return privacy::pageCaption(Caption(), private_); }

void TBrowserChild::StatusTextChange(const QString& Text) {
  frame_->ShowStatus(Text);
  LastStatus = Text;
}

void TBrowserChild::TitleChange(const QString& Text) {
  SetCaption(Text);
  frame_->ShowAddress(displayAddress(control_->LocationURL()));
  if (!private_) history::pageTitled(control_, control_->LocationURL(), Text);
}

void TBrowserChild::IconChange(const QByteArray& Png) {
  const QImage image = icons::decodeIcon(Png);
  // Without an icon of its own the window shows the program's again.
  setWindowIcon(icons::toIcon(image));
  if (!image.isNull() && !IsPrivate()) icons::SiteIcons::instance().keep(control_->LocationURL(), image);
}

void TBrowserChild::CommandStateChange(qint32 Command, bool Enable) {
  if (Command == CSC_NAVIGATEFORWARD) frame_->SetButtonEnabled(TPageDisplay::btnForward, Enable);
  if (Command == CSC_NAVIGATEBACK) frame_->SetButtonEnabled(TPageDisplay::btnBack, Enable);
  frame_->SetButtonEnabled(TPageDisplay::btnReload, true);
  SubChange(Alive);
}

void TBrowserChild::SubChange(qint16 alive) {
  if (alive != kFalse) {
    if (TBrowserChild* active = frame_->ActiveMDIChild()) {
      active->BackEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnBack));
      active->FrwrdEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnForward));
      active->StopEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnStop));
      active->ReLoadEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnReload));
    }
    return;
  }
  frame_->SetProgress(0);
  frame_->ShowAddress(QString());
  frame_->ShowSecurity(SecurityState::None, QString());
  frame_->ShowStatus(QString());
  for (auto b : {TPageDisplay::btnBack, TPageDisplay::btnForward, TPageDisplay::btnStop, TPageDisplay::btnReload})
    frame_->SetButtonEnabled(b, false);
}

void TBrowserChild::NewWindow2(const QString& URL, bool* Cancel, const QString& caption) {
  if (Cancel) *Cancel = true;
  // The window opens in the asking page's engine, which loads the page
  // into it itself, checking the address as the page's own navigation.
  const QString opener = control_->LocationURL();
  // A private page's window is private too: its page shares the opener's data.
  TBrowserChild* opened = frame_->OpenPageWindow(IsIE(), caption, private_);
  if (WindowHandoff::offer(control_, opened->Control())) return;
  // No page was handed over (a link the window's own menu opens): the frame
  // loads the address itself only where that is as safe as the page's own
  // navigation, and never a link the pointer merely passed over.
  opened->Control()->Navigate(frameMayLoadPageAddress(URL, opener) ? URL : QStringLiteral("about:blank"));
}

void TBrowserChild::FormClose() {
  Alive = kFalse;
  SubChange(kFalse);
  frame_->SetPageItemsEnabled(false);
  frame_->SetTextSizeEnabled(false);
}

void TBrowserChild::closeEvent(QCloseEvent* event) {
  if (control_ && control_->DeferClose()) {
    event->ignore();
    return;
  }
  guarded::run([this] { FormClose(); });
  QMdiSubWindow::closeEvent(event);
}

// ---- IE child ---------------------------------------------------------------

Tfrm_IE::Tfrm_IE(TPageDisplay* frame, bool isPrivate) : TBrowserChild(frame, true, isPrivate) { TWeb_IE = control_; }

void Tfrm_IE::FormCreate() {
  ChildMojiSize = static_cast<quint8>(frame_->FrameMojiSize() & 0xFF);
  show();
  BackEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnBack));
  FrwrdEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnForward));
  StopEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnStop));
  Alive = kTrue;
  FormResize();
}

void Tfrm_IE::ProgressChange(qint32 Progress, qint32 ProgressMax) {
  Tag = Progress;
  if (const auto pos = progress::ieNewPosition(Progress, ProgressMax)) frame_->SetProgress(progress::clampToBar(*pos));
  // Stop is usable on both kinds: enabled while loading, disabled once the
  // bar reached 100 or the load ended (0 of 0).
  const bool ended = frame_->Progress() == 100 || (Progress == 0 && ProgressMax == 0);
  frame_->SetButtonEnabled(TPageDisplay::btnStop, !ended);
}

// ---- Gecko child ------------------------------------------------------------

Tfrm_MZ::Tfrm_MZ(TPageDisplay* frame, bool isPrivate) : TBrowserChild(frame, false, isPrivate) { TWeb_MZ = control_; }

void Tfrm_MZ::FormCreate() {
  FormResize();
  BackEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnBack));
  FrwrdEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnForward));
  StopEnable = bool16(frame_->ButtonEnabled(TPageDisplay::btnStop));
  Alive = kTrue;
}

void Tfrm_MZ::ProgressChange(qint32 Progress, qint32 ProgressMax) {
  Tag = Progress;
  if (const auto pos = progress::geckoNewPosition(Progress, ProgressMax))
    frame_->SetProgress(progress::clampToBar(*pos));
  if (frame_->Progress() == 100) {
    frame_->SetProgress(0);
    frame_->SetButtonEnabled(TPageDisplay::btnStop, false);
    // The load is over: activating this child again shows an empty bar,
    // not the full one its last report would give.
    Tag = 0;
  } else {
    frame_->SetButtonEnabled(TPageDisplay::btnStop, true);
  }
}
