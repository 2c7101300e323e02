#include "browser/page_menu_rules.h"

namespace {

struct ItemText {
  PageMenuItem item;
  const char* caption;
  const char* name;
};

constexpr ItemText kItems[] = {
    {PageMenuItem::OpenLinkInNewWindow, "新しいウィンドウで開く", "mnuPageOpenLinkInNewWindow"},
    {PageMenuItem::SaveLinkAs, "名前を付けてリンク先を保存...", "mnuPageSaveLinkAs"},
    {PageMenuItem::CopyLinkAddress, "リンクのアドレスをコピー", "mnuPageCopyLinkAddress"},
    {PageMenuItem::SaveImageAs, "画像を保存...", "mnuPageSaveImageAs"},
    {PageMenuItem::CopyImageAddress, "画像のアドレスをコピー", "mnuPageCopyImageAddress"},
    {PageMenuItem::CopyImage, "画像をコピー", "mnuPageCopyImage"},
    {PageMenuItem::Cut, "切り取り", "mnuPageCut"},
    {PageMenuItem::Copy, "コピー", "mnuPageCopy"},
    {PageMenuItem::Paste, "貼り付け", "mnuPagePaste"},
    {PageMenuItem::SelectAll, "すべて選択", "mnuPageSelectAll"},
    {PageMenuItem::Back, "戻る", "mnuPageBack"},
    {PageMenuItem::Forward, "進む", "mnuPageForward"},
    {PageMenuItem::Reload, "再読み込み", "mnuPageReload"},
    {PageMenuItem::Stop, "中止", "mnuPageStop"},
    {PageMenuItem::ViewSource, "ページのソースを表示", "mnuPageViewSource"},
};

const ItemText* find(PageMenuItem item) {
  for (const ItemText& t : kItems)
    if (t.item == item) return &t;
  return nullptr;
}

}  // namespace

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

QString pageMenuCaption(PageMenuItem item) {
  const ItemText* t = find(item);
  return t ? QString::fromUtf8(t->caption) : QString();
}

QString pageMenuObjectName(PageMenuItem item) {
  const ItemText* t = find(item);
  return t ? QString::fromLatin1(t->name) : QString();
}
