#include "page/page_menu_rules.h"

QList<PageMenuEntry> pageMenuEntries(const PageMenuContext& c) {
  QList<PageMenuEntry> out;
  auto group = [&out](std::initializer_list<PageMenuEntry> entries) {
    if (!out.isEmpty()) out.append({PageMenuItem::Separator, true});
    out.append(entries);
  };
  if (c.link)
    group({{PageMenuItem::OpenLinkInNewWindow, true},
           {PageMenuItem::SaveLinkAs, true},
           {PageMenuItem::CopyLinkAddress, true}});
  if (c.image)
    group({{PageMenuItem::SaveImageAs, true}, {PageMenuItem::CopyImageAddress, true}, {PageMenuItem::CopyImage, true}});
  if (c.editable)
    group({{PageMenuItem::Cut, c.canCut},
           {PageMenuItem::Copy, c.canCopy},
           {PageMenuItem::Paste, c.canPaste},
           {PageMenuItem::SelectAll, c.canSelectAll}});
  else if (c.selection)
    group({{PageMenuItem::Copy, true}});
  if (!out.isEmpty()) return out;
  group({{PageMenuItem::Back, c.canGoBack},
         {PageMenuItem::Forward, c.canGoForward},
         {c.loading ? PageMenuItem::Stop : PageMenuItem::Reload, true}});
  group({{PageMenuItem::SelectAll, true}});
  if (c.canViewSource) out.append({PageMenuItem::ViewSource, true});
  return out;
}

QString pageMenuCaption(PageMenuItem item) { return QString::fromUtf8(pageMenuCaptionText(item)); }

QString pageMenuObjectName(PageMenuItem item) { return QString::fromLatin1(pageMenuItemName(item)); }
