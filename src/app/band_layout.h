#pragma once

#include <QPoint>
#include <QRect>
#include <vector>

// The cool bar's bands as data: their order, identities, row breaks and the
// widths of their bars, and where each visible band lands for a given bar
// width. The widget only draws this and forwards the user's drags.
//
// Layout rules: the first visible band and every visible band with its break
// set start a row. In a row every band but the last gets its gripper plus its
// bar's requested width; the last one fills the rest of the row. Requested
// widths that do not fit are cut back so that every band keeps at least its
// gripper and kMinBarWidth, so nothing lands beyond the right edge.
class BandLayout {
 public:
  static constexpr int kGripperWidth = 11;  // gripper plus the gap before the bar
  static constexpr int kMinBarWidth = 24;
  static constexpr int kDefaultWidth = 200;
  static constexpr int kRowGap = 2;  // etched line between rows

  struct Band {
    int id = 0;
    bool brk = true;
    int width = kDefaultWidth;  // requested width of the band's bar
    int height = 24;            // row height this band needs
    bool visible = true;
  };

  struct Placed {
    int pos = 0;  // index in bands()
    int row = 0;
    QRect band;  // gripper and bar
    QRect bar;   // where the bar goes
    QRect gripper;
  };

  // Adds a band at the end; its identity is its index at the time.
  int add(int height);

  const std::vector<Band>& bands() const { return bands_; }
  int count() const { return static_cast<int>(bands_.size()); }
  const Band& at(int pos) const { return bands_.at(static_cast<size_t>(pos)); }

  // Position of the band with identity `id`, -1 when there is none.
  int positionOf(int id) const;
  // Moves the band with identity `id` to `pos`; an unknown identity or a
  // position out of range leaves the order as it is.
  void moveBand(int id, int pos);
  void setBreak(int pos, bool brk);
  // Any number is taken; the layout clamps what it cannot show.
  void setWidth(int pos, int width);
  void setHeight(int pos, int height);
  void setVisible(int pos, bool visible);

  std::vector<Placed> layout(int totalWidth) const;
  // Height of all rows for `totalWidth`; 0 with no visible band.
  int height(int totalWidth) const;
  // The visible band whose gripper holds `p`, -1 when none.
  int gripperAt(const QPoint& p, int totalWidth) const;

  // The user drags the band at `pos` by its gripper; `p` is where its left
  // edge should now be (x) and the pointer's height (y). Above the first row
  // or below the last the band gets a row of its own; over another row it
  // joins that row; along its own row it resizes the band before it, or
  // changes places with the band after it once it passes that band's
  // middle. Returns whether anything changed.
  bool drag(int pos, const QPoint& p, int totalWidth);

 private:
  using Rows = std::vector<std::vector<int>>;  // visible band positions per row
  Rows rows() const;
  void applyRows(const Rows& rows);
  std::vector<Band> bands_;
};

// Width of the side bar for a wanted width: never below the collapsed width
// (so its button stays reachable), never above `limit`.
constexpr int kZBarCollapsedWidth = 11;
constexpr int zbarWidth(int wanted, int limit) {
  const int hi = limit > kZBarCollapsedWidth ? limit : kZBarCollapsedWidth;
  return wanted < kZBarCollapsedWidth ? kZBarCollapsedWidth : (wanted > hi ? hi : wanted);
}
