#pragma once

#include <QString>
#include <optional>

// Two windows showing one page in both engines follow each other: what one
// of them comes to show, the other loads. The load a window was told to
// make is not passed back (wherever its redirects end), and an address the
// other window already shows is not sent again, so the two never chase
// each other. Only http and https pages are passed on.
class CompareSync {
 public:
  enum Side { Left = 0, Right = 1 };

  // The left window shows `url`; the right one has been sent there.
  explicit CompareSync(const QString& url);

  // `side` now shows `url`. Returns the address the other side is to load:
  // nothing for the end of a load it was sent on, for the page it showed
  // already (a reload), for what the other side shows, or for an address
  // that is not an http or https page.
  std::optional<QString> shown(Side side, const QString& url);

 private:
  void sent(Side side, const QString& url);
  QString current_[2];
  bool awaited_[2] = {false, false};  // a load we asked for is under way
};
