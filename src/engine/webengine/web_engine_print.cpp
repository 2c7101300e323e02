// Printing in a WebEngine window: the engine writes the page as PDF, and a
// page's print() is passed on to the window's printing. PDF documents show
// in the engine's own viewer rather than going to the downloads; saving one
// saves the document, not the viewer.
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "engine/webengine/web_engine_control.h"
#include "platform/guarded.h"

void TWebBrowser::watchPrinting(QWebEnginePage* page) {
  page->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
  page->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
  connect(page, &QWebEnginePage::loadStarted, this, [this] { showsPdf_ = false; });
  connect(page, &QWebEnginePage::loadFinished, this, [this, page](bool ok) {
    if (!ok) return;
    QPointer<TWebBrowser> self(this);
    page->runJavaScript(QStringLiteral("document.contentType"), QWebEngineScript::ApplicationWorld,
                        [self](const QVariant& type) {
                          if (self) self->showsPdf_ = type.toString() == QLatin1String("application/pdf");
                        });
  });
  connect(page, &QWebEnginePage::printRequested, this, [this] { guarded::run([this] { emit PrintRequested(); }); });
  connect(page, &QWebEnginePage::pdfPrintingFinished, this, [this](const QString& path, bool ok) {
    guarded::run([&] { emit PdfPrinted(path, ok ? QString() : QStringLiteral("ページを PDF にできませんでした")); });
  });
}

void TWebBrowser::PrintToPdf(const QString& path, const QPageLayout& layout) {
  if (crashed_) throw EEngineError(QStringLiteral("ページが表示されていないため印刷できません"));
  view_->page()->printToPdf(path, layout);
}
