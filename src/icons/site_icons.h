#pragma once

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>

namespace icons {

// Reads icon bytes a page supplied: PNG only, at most kMaxIconBytes and
// kMaxIconSide pixels each way, decoded under an allocation limit. Anything
// else (another format, a broken or oversized image) gives a null image.
QImage decodeIcon(const QByteArray& bytes);

// An icon for widgets; null for a null image.
QIcon toIcon(const QImage& image);

// The sites' icons, one PNG file per site in a folder of the cache, named
// by a hash of the site. The pages' own bytes are never written: what is
// kept is the decoded image, encoded again.
class SiteIcons : public QObject {
  Q_OBJECT
 public:
  explicit SiteIcons(QString folder, QObject* parent = nullptr);

  // The program's: in the user's cache folder.
  static SiteIcons& instance();

  QString folder() const { return folder_; }

  // Keeps `image` as the icon of the site of `pageAddress` (nothing for an
  // address that is no web site) and tells `changed`. The file is replaced
  // atomically; a failed write keeps the old one and throws EInOutError,
  // once per run, since a cache that cannot be written fails on every page.
  void keep(const QString& pageAddress, const QImage& image);

  // The icon kept for the site of `address`; null when there is none.
  QIcon iconFor(const QString& address);

 signals:
  // A site's icon has been kept: whatever shows its pages looks again.
  void changed(const QString& site);

 private:
  QString folder_;
  QHash<QString, QIcon> known_;  // null: looked up, none kept
  QHash<QString, QByteArray> written_;
  bool writeFailed_ = false;
};

}  // namespace icons
