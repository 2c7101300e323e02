// Bookmarks in and out of the program: the bookmark HTML file that other
// browsers export and import.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QThread>
#include <exception>
#include <memory>

#include "app/forms.h"
#include "app/main_form.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/guarded.h"

namespace {

const QString kHtmlFilter = QStringLiteral("ブックマーク HTML ファイル (*.html *.htm)");
const QString kAllFilter = QStringLiteral("すべてのファイル (*)");

QFileDialog* bookmarkFileDialog(QWidget* parent, const char* name, QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(QString::fromLatin1(name));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(mode);
  dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setNameFilters({kHtmlFilter, kAllFilter});
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}

}  // namespace

void TMainForm::CreateBookmarkFileItems() {
  N6 = mnuBookMark->addSeparator();
  N6->setObjectName(QStringLiteral("N6"));
  mnuBMImport = new QAction(QStringLiteral("インポート..."), this);
  mnuBMImport->setObjectName(QStringLiteral("mnuBMImport"));
  mnuBMExport = new QAction(QStringLiteral("エクスポート..."), this);
  mnuBMExport->setObjectName(QStringLiteral("mnuBMExport"));
  mnuBookMark->addAction(mnuBMImport);
  mnuBookMark->addAction(mnuBMExport);
  connect(mnuBMImport, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuBMImportClick));
  connect(mnuBMExport, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuBMExportClick));
}

void TMainForm::mnuBMImportClick() {
  QFileDialog* dialog = bookmarkFileDialog(this, "ImportDialog", QFileDialog::AcceptOpen);
  dialog->setWindowTitle(QStringLiteral("ブックマークのインポート"));
  connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
    guarded::run([&] {
      // Reading and parsing a large file keeps no window waiting; what was
      // read is saved here, on the UI thread, like any other change.
      struct Outcome {
        bookmarks::HtmlImport read;
        std::exception_ptr error;
      };
      auto outcome = std::make_shared<Outcome>();
      QThread* worker = QThread::create([path, outcome] {
        try {
          outcome->read = bookmarks::readBookmarkHtmlFile(path);
        } catch (...) {
          outcome->error = std::current_exception();
        }
      });
      connect(worker, &QThread::finished, this, [this, worker, path, outcome] {
        worker->deleteLater();
        QApplication::restoreOverrideCursor();
        guarded::run([&] {
          if (outcome->error) std::rethrow_exception(outcome->error);
          const QString summary = ImportBookmarks(path, outcome->read);
          auto* box =
              new QMessageBox(QMessageBox::Information, QStringLiteral("Zelvo"), summary, QMessageBox::Ok, this);
          box->setObjectName(QStringLiteral("ImportSummary"));
          box->setAttribute(Qt::WA_DeleteOnClose);
          box->open();
        });
      });
      QApplication::setOverrideCursor(Qt::BusyCursor);
      worker->start();
    });
  });
  dialog->open();
}

void TMainForm::mnuBMExportClick() {
  QFileDialog* dialog = bookmarkFileDialog(this, "ExportDialog", QFileDialog::AcceptSave);
  dialog->setWindowTitle(QStringLiteral("ブックマークのエクスポート"));
  dialog->setDefaultSuffix(QStringLiteral("html"));
  dialog->selectFile(QStringLiteral("bookmarks.html"));
  connect(dialog, &QFileDialog::fileSelected, this,
          [this](const QString& path) { guarded::run([&] { ExportBookmarks(path); }); });
  dialog->open();
}

QString TMainForm::ImportBookmarks(const QString& Path) {
  return ImportBookmarks(Path, bookmarks::readBookmarkHtmlFile(Path));
}

QString TMainForm::ImportBookmarks(const QString& Path, const bookmarks::HtmlImport& read) {
  if (read.links == 0 && read.folders == 0)
    throw ZelvoError(QStringLiteral("%1 から読み込めるブックマークがありません").arg(QFileInfo(Path).fileName()));

  // The import goes in a folder of its own at the end: nothing already
  // there changes, and the editor's next save keeps it.
  const QString folderName = QFileInfo(Path).completeBaseName();
  const BookmarkEntry folder = BookmarkEntry::folder(folderName, read.entries);
  bookmarks::FileVersion before;
  BookmarkTree tree =
      bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::NodeAfterName, &before);
  tree.push_back(folder);
  const QByteArray after = bookmarks::saveBookmarkFile(bookmarks::kFileName, tree, &before);
  if (frm_BMEdit) frm_BMEdit->AppendEntries(folder, before, after);
  guarded::run([this] { BuildBookmarkMenu(); });
  guarded::run([this] { BuildBookmarkBar(); });

  QStringList lines;
  lines << QStringLiteral("「%1」フォルダに %2 件のリンクと %3 個のフォルダを読み込みました。")
               .arg(folderName)
               .arg(read.links)
               .arg(read.folders);
  if (!read.recognised)
    lines << QStringLiteral(
        "このファイルはブックマークの HTML ファイルの形式ではありません。読み取れたリンクだけを読み込みました。");
  if (read.unknownEncoding) lines << QStringLiteral("ファイルの文字コードが分からないため、UTF-8 として読みました。");
  if (read.linksWithoutAddress > 0)
    lines << QStringLiteral("アドレスのないリンク %1 件は読み込みませんでした。").arg(read.linksWithoutAddress);
  if (read.foldersTooDeep > 0)
    lines
        << QStringLiteral("階層が深すぎるフォルダ %1 個は、その中身を上の階層に入れました。").arg(read.foldersTooDeep);
  return lines.join(u'\n');
}

void TMainForm::ExportBookmarks(const QString& Path) {
  const BookmarkTree tree = bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::LastChild);
  if (!atomicReplaceFile(Path, bookmarks::exportBookmarkHtml(tree)))
    throw EInOutError(QStringLiteral("%1 に書き込めません").arg(Path));
}
