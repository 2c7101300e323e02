#include "app/cool_bar.h"

#include <QMouseEvent>
#include <QVBoxLayout>

TCoolBar::TCoolBar(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
}

void TCoolBar::addBand(QWidget* bar, int minHeight) {
  bands_.push_back({bar, minHeight});
  bar->setParent(this);
  bar->setMinimumHeight(minHeight);
  static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

void TCoolBar::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  emit mouseUp();
}
