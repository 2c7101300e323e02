#include "app/band_layout.h"

#include <algorithm>

namespace {
constexpr int kMinBand = BandLayout::kGripperWidth + BandLayout::kMinBarWidth;
}

int BandLayout::add(int height) {
  Band b;
  b.id = count();
  b.height = height;
  bands_.push_back(b);
  return b.id;
}

int BandLayout::positionOf(int id) const {
  for (int i = 0; i < count(); ++i)
    if (bands_[static_cast<size_t>(i)].id == id) return i;
  return -1;
}

void BandLayout::moveBand(int id, int pos) {
  const int from = positionOf(id);
  if (from < 0 || pos < 0 || pos >= count() || from == pos) return;
  const Band b = bands_[static_cast<size_t>(from)];
  bands_.erase(bands_.begin() + from);
  bands_.insert(bands_.begin() + pos, b);
}

void BandLayout::setBreak(int pos, bool brk) { bands_.at(static_cast<size_t>(pos)).brk = brk; }
void BandLayout::setWidth(int pos, int width) { bands_.at(static_cast<size_t>(pos)).width = width; }
void BandLayout::setHeight(int pos, int height) { bands_.at(static_cast<size_t>(pos)).height = std::max(0, height); }
void BandLayout::setVisible(int pos, bool visible) { bands_.at(static_cast<size_t>(pos)).visible = visible; }

BandLayout::Rows BandLayout::rows() const {
  Rows r;
  for (int i = 0; i < count(); ++i) {
    const Band& b = bands_[static_cast<size_t>(i)];
    if (!b.visible) continue;
    if (r.empty() || b.brk) r.emplace_back();
    r.back().push_back(i);
  }
  return r;
}

std::vector<BandLayout::Placed> BandLayout::layout(int totalWidth) const {
  std::vector<Placed> out;
  const int W = std::max(0, totalWidth);
  int y = 0;
  const Rows rs = rows();
  for (size_t r = 0; r < rs.size(); ++r) {
    const auto& row = rs[r];
    int h = 0;
    for (int pos : row) h = std::max(h, bands_[static_cast<size_t>(pos)].height);
    if (r > 0) y += kRowGap;
    int x = 0;
    const int k = static_cast<int>(row.size());
    // The last band of a shared row keeps what it asks for, up to an even
    // share, so a wide neighbour (or a wide saved width) cannot squeeze it.
    const Band& last = bands_[static_cast<size_t>(row.back())];
    const int lastReserve =
        k > 1 ? std::clamp(kGripperWidth + std::clamp(last.width, kMinBarWidth, std::max(kMinBarWidth, W)), kMinBand,
                           std::max(kMinBand, W / k))
              : 0;
    for (int j = 0; j < k; ++j) {
      const Band& b = bands_[static_cast<size_t>(row[static_cast<size_t>(j)])];
      int w;
      if (j < k - 1) {
        // Leave every band after this one at least its minimum.
        const int room = W - x - (k - 2 - j) * kMinBand - lastReserve;
        const int wanted = kGripperWidth + std::clamp(b.width, kMinBarWidth, std::max(kMinBarWidth, W));
        w = std::clamp(wanted, 0, std::max(0, room));
      } else {
        w = std::max(0, W - x);
      }
      Placed p;
      p.pos = row[static_cast<size_t>(j)];
      p.row = static_cast<int>(r);
      p.band = QRect(x, y, w, h);
      const int g = std::min(kGripperWidth, w);
      p.gripper = QRect(x, y, g, h);
      p.bar = QRect(x + g, y, w - g, h);
      out.push_back(p);
      x += w;
    }
    y += h;
  }
  return out;
}

int BandLayout::height(int totalWidth) const {
  int h = 0;
  for (const Placed& p : layout(totalWidth)) h = std::max(h, p.band.bottom() + 1);
  return h;
}

int BandLayout::gripperAt(const QPoint& p, int totalWidth) const {
  for (const Placed& pl : layout(totalWidth))
    if (pl.gripper.contains(p)) return pl.pos;
  return -1;
}

void BandLayout::applyRows(const Rows& rs) {
  std::vector<Band> visibleSeq;
  for (const auto& row : rs)
    for (size_t j = 0; j < row.size(); ++j) {
      Band b = bands_[static_cast<size_t>(row[j])];
      b.brk = (j == 0);
      visibleSeq.push_back(b);
    }
  // Hidden bands keep their places in the order.
  std::vector<Band> result;
  size_t next = 0;
  for (const Band& b : bands_) {
    if (!b.visible)
      result.push_back(b);
    else
      result.push_back(visibleSeq[next++]);
  }
  bands_ = std::move(result);
}

bool BandLayout::drag(int pos, const QPoint& p, int totalWidth) {
  if (pos < 0 || pos >= count() || !bands_[static_cast<size_t>(pos)].visible) return false;
  const std::vector<Placed> placed = layout(totalWidth);
  auto placedOf = [&](int bandPos) -> const Placed& {
    for (const Placed& pl : placed)
      if (pl.pos == bandPos) return pl;
    return placed.front();  // not reached: every visible band is placed
  };
  Rows rs = rows();
  const int r = placedOf(pos).row;
  auto& row = rs[static_cast<size_t>(r)];
  const int j = static_cast<int>(std::find(row.begin(), row.end(), pos) - row.begin());
  const int k = static_cast<int>(row.size());

  // Which row the pointer is over; a gap belongs to the row above it.
  const int nrows = static_cast<int>(rs.size());
  int target;
  if (p.y() < 0) {
    target = -1;
  } else {
    target = nrows;
    for (const Placed& pl : placed)
      if (p.y() <= pl.band.bottom() + (pl.row < nrows - 1 ? kRowGap : 0)) {
        target = pl.row;
        break;
      }
  }

  if (target == r) {
    if (j > 0) {
      const int prev = row[static_cast<size_t>(j - 1)];
      const Placed& pp = placedOf(prev);
      if (p.x() <= pp.band.x()) {
        std::swap(row[static_cast<size_t>(j - 1)], row[static_cast<size_t>(j)]);
        applyRows(rs);
        return true;
      }
      const int room = totalWidth - pp.band.x() - kGripperWidth - (k - j) * kMinBand;
      const int w = std::clamp(p.x() - pp.band.x() - kGripperWidth, kMinBarWidth, std::max(kMinBarWidth, room));
      if (w == bands_[static_cast<size_t>(prev)].width) return false;
      bands_[static_cast<size_t>(prev)].width = w;
      // The last band of the row now asks for exactly the rest.
      if (j == k - 1)
        bands_[static_cast<size_t>(pos)].width =
            std::max(kMinBarWidth, totalWidth - (pp.band.x() + kGripperWidth + w) - kGripperWidth);
      return true;
    }
    if (k > 1) {
      const Placed& np = placedOf(row[1]);
      if (p.x() > np.band.center().x()) {
        std::swap(row[0], row[1]);
        applyRows(rs);
        return true;
      }
    }
    return false;
  }

  if ((target < 0 && r == 0 && k == 1) || (target >= nrows && r == nrows - 1 && k == 1)) return false;
  row.erase(row.begin() + j);
  if (row.empty()) {
    rs.erase(rs.begin() + r);
    if (target > r) --target;
  }
  if (target < 0) {
    rs.insert(rs.begin(), std::vector<int>{pos});
  } else if (target >= static_cast<int>(rs.size())) {
    rs.push_back({pos});
  } else {
    auto& dest = rs[static_cast<size_t>(target)];
    size_t at = 0;
    while (at < dest.size() && placedOf(dest[at]).band.center().x() < p.x()) ++at;
    dest.insert(dest.begin() + static_cast<long>(at), pos);
    // A band that filled its row alone asks for all of it; in a shared row
    // it gets no more than an even share, so the newcomer is not squeezed.
    const int k2 = static_cast<int>(dest.size());
    const int share = std::max(kMinBarWidth, totalWidth / k2 - kGripperWidth);
    for (int i = 0; i + 1 < k2; ++i) {
      Band& b = bands_[static_cast<size_t>(dest[static_cast<size_t>(i)])];
      if (b.width > share) b.width = share;
    }
  }
  applyRows(rs);
  return true;
}
