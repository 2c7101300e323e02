#include "icons/site_icons.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QPixmap>

#include "icons/icon_rules.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/user_folders.h"

namespace icons {

QImage decodeIcon(const QByteArray& bytes) {
  if (bytes.isEmpty() || bytes.size() > kMaxIconBytes) return {};
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "png");
  reader.setDecideFormatFromContent(false);
  // In megabytes: far above a 256-pixel image of any depth, far below what
  // a header claiming a huge image would make the decoder take.
  reader.setAllocationLimit(2);
  // The header's size is read without decoding the pixels.
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty() || size.width() > kMaxIconSide || size.height() > kMaxIconSide) return {};
  QImage image;
  if (!reader.read(&image) || image.isNull()) return {};
  if (image.width() > kMaxIconSide || image.height() > kMaxIconSide) return {};
  return image;
}

QIcon toIcon(const QImage& image) { return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)); }

SiteIcons::SiteIcons(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {}

SiteIcons& SiteIcons::instance() {
  static SiteIcons* icons = new SiteIcons(user_folders::cache() + QStringLiteral("/icons"));
  return *icons;
}

void SiteIcons::keep(const QString& pageAddress, const QImage& image) {
  const QString site = siteOf(pageAddress);
  if (site.isEmpty() || image.isNull()) return;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return;
  // The same icon seen again on every page of the site is no change.
  if (written_.value(site) == png) return;
  known_.insert(site, toIcon(image));
  written_.insert(site, png);
  emit changed(site);

  QDir().mkpath(folder_);
  QString error;
  if (atomicReplaceFile(folder_ + u'/' + fileNameFor(site), png, &error) || writeFailed_) return;
  writeFailed_ = true;
  throw EInOutError(QStringLiteral("サイトのアイコンを %1 に保存できません: %2").arg(folder_, error));
}

QIcon SiteIcons::iconFor(const QString& address) {
  const QString site = siteOf(address);
  if (site.isEmpty()) return {};
  if (auto it = known_.constFind(site); it != known_.constEnd()) return *it;
  QByteArray bytes;
  QIcon icon;
  if (readRegularFile(folder_ + u'/' + fileNameFor(site), &bytes, kMaxIconBytes) == FileRead::Ok) {
    icon = toIcon(decodeIcon(bytes));
    if (!icon.isNull()) written_.insert(site, bytes);
  }
  known_.insert(site, icon);
  return icon;
}

}  // namespace icons
