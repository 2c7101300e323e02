#include "page/save_dialog.h"

#include <QFileDialog>

#include "page/downloads.h"

namespace {
SaveAsAnswer& testAnswer() {
  static SaveAsAnswer a;
  return a;
}
}  // namespace

void setSaveAsAnswerForTests(SaveAsAnswer answer) { testAnswer() = std::move(answer); }

SaveChoice askSaveAs(QWidget* parent, const QString& suggestedName, const QList<SaveFormat>& formats) {
  SaveChoice choice;
  if (formats.isEmpty()) return choice;
  if (testAnswer()) return testAnswer()(suggestedName, formats);
  QFileDialog dialog(parent, QStringLiteral("名前を付けて保存"));
  dialog.setObjectName(QStringLiteral("SaveAsDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const SaveFormat& f : formats) filters << f.label;
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(formats.first().extension);
  dialog.setDirectory(DownloadManager::folder());
  dialog.selectFile(suggestedName + u'.' + formats.first().extension);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& label) {
    for (const SaveFormat& f : formats)
      if (f.label == label) dialog.setDefaultSuffix(f.extension);
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return choice;
  choice.path = dialog.selectedFiles().first();
  const qsizetype i = filters.indexOf(dialog.selectedNameFilter());
  choice.formatId = formats[i < 0 ? 0 : i].id;
  return choice;
}

QString fileNameFromTitle(const QString& title) {
  QString name = title.trimmed();
  for (QChar& c : name)
    if (c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' ||
        c == u'|' || c.unicode() < 0x20)
      c = u'_';
  if (name.isEmpty() || name == u"." || name == u"..") name = QStringLiteral("page");
  return name.left(120);
}
