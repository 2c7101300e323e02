#include "page/frame_key_rules.h"

namespace {

// The X keysym of a Qt key, 0 where there is none worth matching.
std::uint32_t keysymOf(Qt::Key key) {
  if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) return key >= Qt::Key_A && key <= Qt::Key_Z ? key + 0x20 : key;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return 0xffbe + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 0xff09;
    case Qt::Key_Left:
      return 0xff51;
    case Qt::Key_Up:
      return 0xff52;
    case Qt::Key_Right:
      return 0xff53;
    case Qt::Key_Down:
      return 0xff54;
    case Qt::Key_PageUp:
      return 0xff55;
    case Qt::Key_PageDown:
      return 0xff56;
    case Qt::Key_Home:
      return 0xff50;
    case Qt::Key_End:
      return 0xff57;
    case Qt::Key_Backspace:
      return 0xff08;
    case Qt::Key_Delete:
      return 0xffff;
    case Qt::Key_Insert:
      return 0xff63;
    case Qt::Key_Return:
      return 0xff0d;
    case Qt::Key_Enter:
      return 0xff8d;
    case Qt::Key_Escape:
      return 0xff1b;
    default:
      return 0;
  }
}

// Keys a page's field uses with Ctrl: select all, the clipboard, undo, and
// moving and deleting by words.
bool fieldEditingKey(Qt::Key key) {
  switch (key) {
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Z:
    case Qt::Key_Y:
    case Qt::Key_Insert:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<framekeys::Key> frameKeyBeforePage(QKeyCombination combination) {
  const Qt::Key key = combination.key();
  const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
  const std::uint32_t keysym = keysymOf(key);
  if (!keysym) return std::nullopt;
  const bool control = mods & Qt::ControlModifier, alt = mods & Qt::AltModifier, meta = mods & Qt::MetaModifier;
  const bool function = key >= Qt::Key_F1 && key <= Qt::Key_F35;
  if (!control && !alt && !meta && !function) return std::nullopt;
  if (control && !alt && !meta && fieldEditingKey(key)) return std::nullopt;
  unsigned x = 0;
  if (mods & Qt::ShiftModifier || key == Qt::Key_Backtab) x |= framekeys::kShift;
  if (control) x |= framekeys::kControl;
  if (alt) x |= framekeys::kAlt;
  if (meta) x |= framekeys::kSuper;
  return framekeys::Key{keysym, x};
}
