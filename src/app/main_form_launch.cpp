// Addresses given on the command line, or handed over by a later start.
#include <QApplication>

#include "app/main_form.h"
#include "platform/guarded.h"

void TMainForm::OpenHandedAddresses(const QStringList& addresses) {
  if (addresses.isEmpty()) return;
  // One address that cannot open keeps none of the others from opening.
  for (const QString& address : addresses) guarded::run([&] { OpenChild(QString(), AddressToOpen(address)); });
  // The user clicked a link elsewhere: the frame comes to them.
  if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}
