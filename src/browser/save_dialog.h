#pragma once

#include <QList>
#include <QString>

class QWidget;

// The Save As dialog the engines share: ours, in Japanese, offering the
// formats the engine can write.
struct SaveFormat {
  QString label;      // e.g. "ウェブページ、完全 (*.htm *.html)"
  QString extension;  // without the dot, e.g. "html"
  int id;             // the engine's own format value
};

struct SaveChoice {
  QString path;  // empty when cancelled
  int formatId = 0;
};

// suggestedName: file name proposed from the page (title or last path part).
SaveChoice askSaveAs(QWidget* parent, const QString& suggestedName, const QList<SaveFormat>& formats);

// A file name made from a page title: characters that cannot stand in a
// file name are replaced; empty titles give "page".
QString fileNameFromTitle(const QString& title);
