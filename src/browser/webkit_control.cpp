#include "browser/webkit_control.h"

#include "platform/errors.h"

TMozillaBrowser::TMozillaBrowser(QWidget* parent) : IWebBrowser2(parent) {}
void TMozillaBrowser::Navigate(const QString&) { throw EEngineError(QStringLiteral("Gecko engine not available yet")); }
