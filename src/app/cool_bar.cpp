#include "app/cool_bar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

TCoolBar::TCoolBar(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFixedHeight(0);
}

void TCoolBar::addBand(QWidget* bar, int minHeight) {
  bar->setParent(this);
  bar->setMinimumHeight(minHeight);
  bars_.push_back(bar);
  minHeights_.push_back(minHeight);
  model_.add(std::max(minHeight, bar->sizeHint().height()));
  model_.setVisible(model_.count() - 1, !bar->isHidden());
  bar->installEventFilter(this);
  relayout();
}

void TCoolBar::BeginUpdate() { ++updating_; }

void TCoolBar::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) relayout();
}

void TCoolBar::setBandBreak(int pos, bool brk) {
  model_.setBreak(pos, brk);
  relayout();
}

void TCoolBar::moveBand(int id, int pos) {
  model_.moveBand(id, pos);
  relayout();
}

void TCoolBar::setBandWidth(int pos, int width) {
  model_.setWidth(pos, width);
  relayout();
}

QWidget* TCoolBar::bandBar(int pos) const { return bars_.at(static_cast<size_t>(model_.at(pos).id)); }

QRect TCoolBar::gripperRect(int pos) const {
  for (const BandLayout::Placed& p : model_.layout(width()))
    if (p.pos == pos) return p.gripper;
  return {};
}

void TCoolBar::relayout() {
  if (updating_ > 0) return;
  for (int pos = 0; pos < model_.count(); ++pos) {
    QWidget* bar = bandBar(pos);
    model_.setVisible(pos, !bar->isHidden());
    model_.setHeight(pos, std::max(minHeights_[static_cast<size_t>(model_.at(pos).id)], bar->sizeHint().height()));
  }
  const int h = model_.height(width());
  if (h != height()) setFixedHeight(h);
  for (const BandLayout::Placed& p : model_.layout(width())) bandBar(p.pos)->setGeometry(p.bar);
  update();
}

void TCoolBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  relayout();
}

bool TCoolBar::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::LayoutRequest:
      relayout();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void TCoolBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  for (const BandLayout::Placed& pl : model_.layout(width())) {
    // Two raised ridges: the gripper.
    const QRect g = pl.gripper.adjusted(2, 3, 0, -3);
    for (int dx : {0, 4}) {
      p.setPen(pal.color(QPalette::Light));
      p.drawLine(g.left() + dx, g.top(), g.left() + dx, g.bottom());
      p.setPen(pal.color(QPalette::Dark));
      p.drawLine(g.left() + dx + 1, g.top(), g.left() + dx + 1, g.bottom());
    }
    // Etched line above every row but the first.
    if (pl.row > 0 && pl.band.x() == 0) {
      const int y = pl.band.top() - BandLayout::kRowGap;
      p.setPen(pal.color(QPalette::Dark));
      p.drawLine(0, y, width(), y);
      p.setPen(pal.color(QPalette::Light));
      p.drawLine(0, y + 1, width(), y + 1);
    }
    // Etched line between two bands of a row.
    if (pl.band.x() > 0) {
      p.setPen(pal.color(QPalette::Dark));
      p.drawLine(pl.band.x() - 1, pl.band.top(), pl.band.x() - 1, pl.band.bottom());
    }
  }
}

void TCoolBar::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const int pos = model_.gripperAt(at, width());
  if (pos >= 0 && event->button() == Qt::LeftButton) {
    dragId_ = model_.at(pos).id;
    grabOffset_ = at.x() - gripperRect(pos).x();
  }
  QWidget::mousePressEvent(event);
}

void TCoolBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragId_ >= 0) {
    const int pos = model_.positionOf(dragId_);
    if (model_.drag(pos, QPoint(at.x() - grabOffset_, at.y()), width())) relayout();
  } else {
    setCursor(model_.gripperAt(at, width()) >= 0 ? Qt::SizeAllCursor : Qt::ArrowCursor);
  }
  QWidget::mouseMoveEvent(event);
}

void TCoolBar::mouseReleaseEvent(QMouseEvent* event) {
  dragId_ = -1;
  QWidget::mouseReleaseEvent(event);
  emit mouseUp();
}
