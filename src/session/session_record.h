#pragma once

// The record of a run's browser windows, as kept in the user's data folder
// between runs, and its file format (JSON). The file is read as hostile
// input: whatever it holds, parse() either gives a record within the limits
// below or says the file is damaged.
#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace session {

enum class WindowState { Normal, Maximized, Minimized };

struct Window {
  bool ie = true;      // the engine: Internet Explorer, else Gekko
  QString url;         // the page shown
  QString title;       // its caption
  QByteArray history;  // the engine's own record of the back and forward lists
  QRect geometry;      // in the frame's client area, while normal
  WindowState state = WindowState::Normal;
  bool operator==(const Window&) const = default;
};

struct Record {
  QList<Window> windows;  // in the frame's order
  int active = -1;        // index into windows, or -1
  QList<Window> closed;   // closed in the run, newest first
  bool operator==(const Record&) const = default;
};

// Limits of what a record holds; anything beyond them in a file is cut off
// or, where it cannot be, makes the file count as damaged.
inline constexpr int kMaxClosed = 10;
inline constexpr int kMaxWindows = 200;
inline constexpr qsizetype kMaxFileBytes = qsizetype(256) << 20;
inline constexpr qsizetype kMaxHistoryBytes = qsizetype(4) << 20;
inline constexpr qsizetype kMaxUrlChars = 64 * 1024;
inline constexpr qsizetype kMaxTitleChars = 1024;
inline constexpr int kMaxCoordinate = 100000;

// A window just closed goes on top; the eleventh oldest falls off.
void pushClosed(Record& record, const Window& window);

QByteArray toJson(const Record& record);

// The record a file holds, or nothing when it is damaged (with *why).
// Single windows that make no sense (no address, an unknown engine) are
// left out; the rest of the file still counts.
std::optional<Record> parse(const QByteArray& bytes, QString* why = nullptr);

}  // namespace session
