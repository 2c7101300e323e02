#pragma once

// Printing a window's page, alike for both engines: the engine writes the
// page as a PDF file in a private temporary folder, and that PDF is what
// the chosen printer gets (the file itself for "PDF に保存", its pages
// drawn on the printer otherwise) and what the print preview shows.
#include <QDialog>
#include <QElapsedTimer>
#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "print/print_rules.h"

class IWebBrowser2;

class QPrinter;
class QPdfDocument;
class QTemporaryDir;

class PagePrinter : public QObject {
  Q_OBJECT
 public:
  // The printing of the control's window, made on first use; from then on
  // the page's print() leads to the print dialog too.
  static PagePrinter* of(IWebBrowser2* control);
  ~PagePrinter() override;

  // The print dialog; after OK the page goes to the printer it chose.
  void print();
  // The print preview, whose print button prints what it shows.
  void preview();
  // The open print or preview dialog (tests drive it).
  QDialog* dialog() const { return dialog_; }

 signals:
  // A print or preview ended: done, cancelled or failed (failures go to
  // the error box).
  void ended();

 private:
  explicit PagePrinter(IWebBrowser2* control);
  void start(print::PrintGate::From from);
  // The engine writes the page on pages of `layout`; then runs once it is there.
  void render(const QPageLayout& layout, std::function<void()> then);
  void pdfPrinted(const QString& path, const QString& error);
  void output();
  void paint(QPrinter& printer, bool wholeDocument);
  void openPreview();
  void paintPreview(QPrinter* printer);
  void finish();
  QWidget* window() const;

  IWebBrowser2* control_;
  print::PrintGate gate_;
  QElapsedTimer clock_;
  std::shared_ptr<QPrinter> printer_;
  std::unique_ptr<QTemporaryDir> folder_;
  std::unique_ptr<QPdfDocument> document_;
  QString pending_;  // the PDF the engine is writing
  QString pdf_;      // the one it wrote last
  QPageLayout rendered_;
  std::function<void()> then_;
  QPointer<QDialog> dialog_;
};
