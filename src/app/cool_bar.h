#pragma once

#include <QWidget>
#include <vector>

#include "app/band_layout.h"

// The cool bar: bands that hold the frame's button bar and address bar, in
// rows. Each band has a gripper by which the user drags it into another
// place or row, or along its row to resize the band before it. Hiding a
// band's bar hides the band; the bar is as high as its visible rows.
class TCoolBar : public QWidget {
  Q_OBJECT
 public:
  explicit TCoolBar(QWidget* parent = nullptr);

  // Adds a band holding `bar`; bands are numbered (identity) in the order added.
  void addBand(QWidget* bar, int minHeight);
  int bandCount() const { return model_.count(); }

  // Changes between BeginUpdate and EndUpdate are laid out once, at the end.
  void BeginUpdate();
  void EndUpdate();

  int bandId(int pos) const { return model_.at(pos).id; }
  bool bandBreak(int pos) const { return model_.at(pos).brk; }
  void setBandBreak(int pos, bool brk);
  // Moves the band with identity `id` to `pos` (unknown ids move nothing).
  void moveBand(int id, int pos);
  // The width the band's bar asks for; the row may give it less.
  void setBandWidth(int pos, int width);
  int bandWidth(int pos) const { return model_.at(pos).width; }
  QWidget* bandBar(int pos) const;
  // Where the band at `pos` has its gripper (empty while hidden).
  QRect gripperRect(int pos) const;
  const BandLayout& model() const { return model_; }

 signals:
  void mouseUp();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void relayout();
  std::vector<QWidget*> bars_;  // indexed by band identity
  std::vector<int> minHeights_;
  BandLayout model_;
  int updating_ = 0;
  int dragId_ = -1;
  int grabOffset_ = 0;
};
