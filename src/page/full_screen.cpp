#include "page/full_screen.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Asks to leave full screen when its window is closed (the window
// manager's close) instead of letting it go.
class CloseToLeave : public QObject {
 public:
  CloseToLeave(QObject* parent, std::function<void()> leave) : QObject(parent), leave_(std::move(leave)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    if (leave_) leave_();
    return true;
  }

 private:
  std::function<void()> leave_;
};

}  // namespace

FullScreenWindow::FullScreenWindow(QWidget* page, std::function<void()> leave)
    : page_(page), parent_(page->parentWidget()), geometry_(page->geometry()) {
  QWidget* focus = QApplication::focusWidget();
  hadFocus_ = focus && (focus == page || page->isAncestorOf(focus));
  QScreen* screen = page->screen();

  window_ = new QWidget(nullptr, Qt::Window);
  window_->setObjectName(QStringLiteral("FullScreenWindow"));
  if (parent_) window_->setWindowTitle(parent_->window()->windowTitle());
  window_->setAccessibleName(QStringLiteral("全画面表示"));
  auto* layout = new QVBoxLayout(window_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(page);
  page->show();
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), window_);
  esc->setContext(Qt::WindowShortcut);
  connect(esc, &QShortcut::activated, window_, [leave] {
    if (leave) leave();
  });
  window_->installEventFilter(new CloseToLeave(window_, leave));
  if (screen) window_->setGeometry(screen->geometry());
  window_->showFullScreen();
  window_->raise();
  window_->activateWindow();
  page->setFocus(Qt::OtherFocusReason);

  // How to get out, said once, over the page for a moment.
  auto* notice = new QLabel(QStringLiteral("Esc キーを押すと全画面表示を終了します"), nullptr,
                            Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  notice->setObjectName(QStringLiteral("lblFullScreenNotice"));
  notice->setAttribute(Qt::WA_ShowWithoutActivating);
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->setMargin(12);
  notice->setStyleSheet(QStringLiteral("QLabel { background: rgba(32,32,32,220); color: white; border-radius: 6px; }"));
  notice->adjustSize();
  if (screen) {
    const QRect g = screen->geometry();
    notice->move(g.center().x() - notice->width() / 2, g.top() + 40);
  }
  notice->show();
  notice_ = notice;
  QTimer::singleShot(3500, notice, &QWidget::close);
}

void FullScreenWindow::release() {
  if (page_) {
    page_->hide();
    page_->setParent(nullptr);
  }
  page_ = nullptr;
}

FullScreenWindow::~FullScreenWindow() {
  if (notice_) notice_->close();
  const bool wasActive = window_->isActiveWindow();
  if (page_ && parent_) {
    page_->setParent(parent_);
    page_->setGeometry(geometry_);
    page_->show();
    if (wasActive) parent_->window()->activateWindow();
    if (hadFocus_ || wasActive) page_->setFocus(Qt::OtherFocusReason);
  }
  // A page whose window went meanwhile goes with this window.
  delete window_;
}
