#pragma once

#include <QList>
#include <QString>
#include <functional>

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

// Tests answer the dialog instead of a user; an empty function restores it.
using SaveAsAnswer = std::function<SaveChoice(const QString& suggestedName, const QList<SaveFormat>& formats)>;
void setSaveAsAnswerForTests(SaveAsAnswer answer);

// A file name made from a page title: characters that cannot stand in a
// file name are replaced; empty titles give "page".
QString fileNameFromTitle(const QString& title);
