#pragma once

// Which items the page's context menu offers where the user clicked: the
// rule behind the Internet Explorer windows' own menu, free of widgets.
#include <QList>
#include <QString>

#include "page/page_menu_items.h"

// What is under the pointer, and what the page can do now.
struct PageMenuContext {
  bool link = false;
  bool image = false;
  bool editable = false;
  bool selection = false;
  bool canCut = false;
  bool canCopy = false;
  bool canPaste = false;
  bool canSelectAll = true;
  bool canGoBack = false;
  bool canGoForward = false;
  bool loading = false;
  bool canViewSource = false;
};

struct PageMenuEntry {
  PageMenuItem item = PageMenuItem::Separator;
  bool enabled = true;
  bool operator==(const PageMenuEntry&) const = default;
};

// The items in menu order, with separators between the groups: the link's,
// the image's, then editing (in a field) or copying (a selection); only
// where none of those applies, the page's own (history, reload or stop,
// select all, source).
QList<PageMenuEntry> pageMenuEntries(const PageMenuContext& context);

// The caption the user reads (also the item's accessible name) and the
// item's object name.
QString pageMenuCaption(PageMenuItem item);
QString pageMenuObjectName(PageMenuItem item);
