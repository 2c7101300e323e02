#pragma once

#include <QWidget>

#include <vector>

// The cool bar: bands that hold the frame's button bar and address bar.
class TCoolBar : public QWidget {
  Q_OBJECT
 public:
  explicit TCoolBar(QWidget* parent = nullptr);

  // Adds a band holding `bar`; bands are numbered (identity) in the order added.
  void addBand(QWidget* bar, int minHeight);
  int bandCount() const { return static_cast<int>(bands_.size()); }

 signals:
  void mouseUp();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  struct Band {
    QWidget* bar;
    int minHeight;
  };
  std::vector<Band> bands_;
};
