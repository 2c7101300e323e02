#pragma once

// The rules of private windows that need no widget.
#include <QString>

namespace privacy {

// What a private window's caption begins with, before its page's title.
inline constexpr char16_t kCaptionPrefix[] = u"プライベート - ";

// The caption a window shows for its page's caption: a private window's
// is marked first, so that no page title can pass it off as a normal one.
QString windowCaption(const QString& pageCaption, bool isPrivate);
// The page's caption in a window caption.
QString pageCaption(const QString& windowCaption, bool isPrivate);

}  // namespace privacy
