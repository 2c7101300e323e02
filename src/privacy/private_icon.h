#pragma once

#include <QIcon>

namespace privacy {

// The icon of a private window, in the sizes the window system asks for.
QIcon privateWindowIcon();

}  // namespace privacy
