#include "engine/webengine/page_context_menu.h"

#include <QMenu>
#include <QPointer>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "page/page_menu_rules.h"
#include "platform/guarded.h"

namespace {

QWebEnginePage::WebAction pageActionFor(PageMenuItem item) {
  switch (item) {
    case PageMenuItem::SaveLinkAs:
      return QWebEnginePage::DownloadLinkToDisk;
    case PageMenuItem::CopyLinkAddress:
      return QWebEnginePage::CopyLinkToClipboard;
    case PageMenuItem::SaveImageAs:
      return QWebEnginePage::DownloadImageToDisk;
    case PageMenuItem::CopyImageAddress:
      return QWebEnginePage::CopyImageUrlToClipboard;
    case PageMenuItem::CopyImage:
      return QWebEnginePage::CopyImageToClipboard;
    case PageMenuItem::Cut:
      return QWebEnginePage::Cut;
    case PageMenuItem::Copy:
      return QWebEnginePage::Copy;
    case PageMenuItem::Paste:
      return QWebEnginePage::Paste;
    case PageMenuItem::PasteAsPlainText:
      return QWebEnginePage::PasteAndMatchStyle;
    case PageMenuItem::SelectAll:
      return QWebEnginePage::SelectAll;
    case PageMenuItem::Back:
      return QWebEnginePage::Back;
    case PageMenuItem::Forward:
      return QWebEnginePage::Forward;
    case PageMenuItem::Reload:
      return QWebEnginePage::Reload;
    case PageMenuItem::Stop:
      return QWebEnginePage::Stop;
    case PageMenuItem::ViewSource:
      return QWebEnginePage::ViewSource;
    case PageMenuItem::Separator:
    case PageMenuItem::OpenLinkInNewWindow:
    case PageMenuItem::Delete:
      break;
  }
  return QWebEnginePage::NoWebAction;
}

PageMenuContext contextOf(QWebEngineView* view) {
  QWebEnginePage* page = view->page();
  PageMenuContext c;
  if (const QWebEngineContextMenuRequest* r = view->lastContextMenuRequest()) {
    using R = QWebEngineContextMenuRequest;
    c.link = r->linkUrl().isValid();
    c.image = r->mediaType() == R::MediaTypeImage && r->mediaUrl().isValid();
    c.editable = r->isContentEditable();
    c.selection = !r->selectedText().isEmpty();
    c.canCut = r->editFlags().testFlag(R::CanCut);
    c.canCopy = r->editFlags().testFlag(R::CanCopy);
    c.canPaste = r->editFlags().testFlag(R::CanPaste);
    c.canSelectAll = r->editFlags().testFlag(R::CanSelectAll);
  }
  c.canGoBack = page->action(QWebEnginePage::Back)->isEnabled();
  c.canGoForward = page->action(QWebEnginePage::Forward)->isEnabled();
  c.loading = page->action(QWebEnginePage::Stop)->isEnabled();
  c.canViewSource = page->action(QWebEnginePage::ViewSource)->isEnabled();
  return c;
}

}  // namespace

QMenu* createPageContextMenu(QWebEngineView* view, const std::function<void(const QUrl&)>& openInNewWindow) {
  auto* menu = new QMenu(view);
  const QWebEngineContextMenuRequest* request = view->lastContextMenuRequest();
  const QUrl link = request ? request->linkUrl() : QUrl();
  QPointer<QWebEnginePage> page(view->page());
  for (const PageMenuEntry& e : pageMenuEntries(contextOf(view))) {
    if (e.item == PageMenuItem::Separator) {
      menu->addSeparator();
      continue;
    }
    QAction* a = menu->addAction(pageMenuCaption(e.item));
    a->setObjectName(pageMenuObjectName(e.item));
    a->setEnabled(e.enabled);
    const PageMenuItem item = e.item;
    QObject::connect(a, &QAction::triggered, menu, [page, link, item, openInNewWindow] {
      guarded::run([&] {
        if (item == PageMenuItem::OpenLinkInNewWindow) {
          if (openInNewWindow) openInNewWindow(link);
          return;
        }
        if (!page) return;
        page->triggerAction(pageActionFor(item));
      });
    });
  }
  return menu;
}
