#pragma once

// The items of a page's context menu and their Japanese captions, shared by
// both engines so the same item reads the same in either. Plain C++, so
// that the GTK host shares it.

enum class PageMenuItem {
  Separator,
  OpenLinkInNewWindow,
  SaveLinkAs,
  CopyLinkAddress,
  SaveImageAs,
  CopyImageAddress,
  CopyImage,
  Cut,
  Copy,
  Paste,
  PasteAsPlainText,
  Delete,
  SelectAll,
  Back,
  Forward,
  Reload,
  Stop,
  ViewSource,
};

// The caption the user reads (UTF-8), and the item's object name.
const char* pageMenuCaptionText(PageMenuItem item);
const char* pageMenuItemName(PageMenuItem item);
