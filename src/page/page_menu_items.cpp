#include "page/page_menu_items.h"

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
    {PageMenuItem::PasteAsPlainText, "テキストとして貼り付け", "mnuPagePasteAsPlainText"},
    {PageMenuItem::Delete, "削除", "mnuPageDelete"},
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

const char* pageMenuCaptionText(PageMenuItem item) {
  const ItemText* t = find(item);
  return t ? t->caption : "";
}

const char* pageMenuItemName(PageMenuItem item) {
  const ItemText* t = find(item);
  return t ? t->name : "";
}
