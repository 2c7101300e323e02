// Downloads in both engines against a server inside the test: the save
// dialog (the user's download folder, the server's own file name) driven as
// a user would, the file written as NAME.part and renamed byte-identical,
// cancelling in the dialog and while it runs, and a download that goes on
// after its window closed.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include "page/downloads.h"
#include "frame_fixture.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray noise(int size) {
  QByteArray b(size, Qt::Uninitialized);
  QRandomGenerator gen(size);
  for (char& c : b) c = static_cast<char>(gen.bounded(256));
  return b;
}

// Answers the next save dialog with a path (empty: cancels it), after
// recording what it offered.
void answerSaveDialog(TimedSteps& steps, const QString& path, QString* offeredName = nullptr,
                      QString* offeredFolder = nullptr) {
  steps.when([] { return visibleWindow<QFileDialog>("DownloadSaveDialog"); },
             [=] {
               auto* d = visibleWindow<QFileDialog>("DownloadSaveDialog");
               if (offeredName) *offeredName = d->findChild<QLineEdit*>("fileNameEdit")->text();
               if (offeredFolder) *offeredFolder = d->directory().absolutePath();
               if (path.isEmpty()) return d->reject();
               // Typed into the name box, as a user would.
               d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
               static_cast<QDialog*>(d)->accept();  // as the Save button does
             });
}

}  // namespace

class TestDownloads : public QObject {
  Q_OBJECT

  PageServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;
  QByteArray small = noise(200 * 1024);
  QByteArray big = noise(1536 * 1024);
  QString downloads;

  // Opens a page and sends it to a download address.
  TBrowserChild* startDownload(const char* path) {
    f->OpenChild(QString(), server.url("/page.html"));
    TBrowserChild* c = f->ActiveMDIChild();
    if (!QTest::qWaitFor([&] { return c->windowTitle() == "page"; }, 20000)) return nullptr;
    pageScript(c, QStringLiteral("setTimeout(function(){location.href='%1'},0);1").arg(path));
    return c;
  }
  // The download window's row of a file.
  static QWidget* rowOf(const QString& fileName) {
    QWidget* found = nullptr;  // the newest of that name
    for (QWidget* row : DownloadManager::instance()->window()->findChildren<QWidget*>("downloadItem"))
      if (row->findChild<QLabel*>("lblFileName")->text() == fileName) found = row;
    return found;
  }
  DownloadJob* lastJob() const {
    const auto& jobs = DownloadManager::instance()->jobs();
    return jobs.isEmpty() ? nullptr : jobs.last().data();
  }

 private slots:
  void initTestCase_data() { addEngineRows(); }
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QVERIFY(QDir().mkpath(downloads));
    server.answers["/page.html"].body = "<!DOCTYPE html><title>page</title><p>page</p>";
    PageServer::Answer a;
    a.headers =
        "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\".hidden data.bin\"\r\n";
    a.body = small;
    server.answers["/file.bin"] = a;
    // Shown as a page by a browser only when asked: a type no engine shows.
    PageServer::Answer slow;
    slow.headers = "Content-Type: application/x-zelvo-test\r\n";
    slow.body = big;
    slow.chunk = 64 * 1024;
    slow.delayMs = 120;
    server.answers["/slow.bin"] = slow;
  }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    fx = new FrameFixture;
    fx->writeConfig(config);
    f = fx->start();
    f->resize(900, 650);
    QVERIFY(QTest::qWaitForWindowExposed(f));
  }
  void cleanup() {
    fx->stop();
    delete fx;
  }

  void attachmentSavedWhereTheDialogSays() {
    TimedSteps steps;
    QString offeredName, offeredFolder;
    const QString target = fx->path("保存した.bin");
    answerSaveDialog(steps, target, &offeredName, &offeredFolder);
    QVERIFY(startDownload("/file.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QCOMPARE(offeredName, QString(".hidden data.bin"));  // the server's name, unchanged
    QCOMPARE(offeredFolder, QDir(downloads).absolutePath());
    DownloadJob* job = lastJob();
    QVERIFY(job);
    QCOMPARE(job->target(), target);
    QTRY_COMPARE_WITH_TIMEOUT(job->state(), DownloadJob::State::Completed, 20000);
    QVERIFY(readAll(target) == small);
    QVERIFY(!QFile::exists(target + ".part"));
    // The window lists it as done.
    auto* window = DownloadManager::instance()->window();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("ダウンロード"));
    QWidget* row = rowOf("保存した.bin");
    QVERIFY(row);
    QVERIFY(row->findChild<QPushButton*>("btnOpenFile")->isEnabled());
    QVERIFY(!row->findChild<QPushButton*>("btnCancelDownload")->isEnabled());
    QVERIFY(fx->errors.isEmpty());
  }

  void nothingIsSavedWithoutTheUsersChoice() {
    const int jobsBefore = DownloadManager::instance()->jobs().size();
    const QStringList before = QDir(downloads).entryList(QDir::Files | QDir::Hidden);
    TimedSteps steps;
    answerSaveDialog(steps, QString());
    QVERIFY(startDownload("/file.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QTest::qWait(1500);
    QCOMPARE(DownloadManager::instance()->jobs().size(), jobsBefore);
    QCOMPARE(QDir(downloads).entryList(QDir::Files | QDir::Hidden), before);
    QCOMPARE(QDir(fx->dir.path()).entryList({"*.bin*"}, QDir::Files | QDir::Hidden), QStringList());
  }

  void cancelledWhileRunningLeavesNoFile() {
    TimedSteps steps;
    const QString target = fx->path("cancelled.bin");
    answerSaveDialog(steps, target);
    QVERIFY(startDownload("/slow.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    DownloadJob* job = lastJob();
    QVERIFY(job);
    QCOMPARE(job->target(), target);
    QTRY_VERIFY_WITH_TIMEOUT(job->received() > 0, 20000);
    // A half file never carries the real name: it is NAME.part (which the
    // engines fill through an intermediate file of their own beside it).
    const QStringList half = QDir(fx->dir.path()).entryList({"cancelled.bin*"}, QDir::Files);
    QVERIFY(!half.isEmpty());
    for (const QString& name : half) QVERIFY2(name.startsWith("cancelled.bin.part"), qPrintable(name));
    QWidget* row = rowOf("cancelled.bin");
    QVERIFY(row);
    QVERIFY(row->findChild<QLabel*>("lblStatus")->text().contains("/"));  // "x KB / 1.5 MB"
    row->findChild<QPushButton*>("btnCancelDownload")->click();
    QCOMPARE(job->state(), DownloadJob::State::Cancelled);
    QTRY_COMPARE_WITH_TIMEOUT(QDir(fx->dir.path()).entryList({"cancelled.bin*"}, QDir::Files), QStringList(), 10000);
    QTest::qWait(1000);
    QCOMPARE(QDir(fx->dir.path()).entryList({"cancelled.bin*"}, QDir::Files), QStringList());
    QCOMPARE(row->findChild<QLabel*>("lblStatus")->text(), QString("キャンセルしました"));
  }

  void downloadGoesOnAfterItsWindowCloses() {
    TimedSteps steps;
    const QString target = fx->path("after-close.bin");
    answerSaveDialog(steps, target);
    TBrowserChild* c = startDownload("/slow.bin");
    QVERIFY(c);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    DownloadJob* job = lastJob();
    QVERIFY(job && job->target() == target);
    QTRY_VERIFY_WITH_TIMEOUT(job->received() > 0, 20000);
    DownloadManager::instance()->window()->move(f->geometry().center());
    screenshot(QStringLiteral("download-running-%1.png").arg(f->IE_item->isChecked() ? "ie" : "gekko"));
    QPointer<TBrowserChild> child(c);
    c->close();
    QTRY_VERIFY(child.isNull());
    QCOMPARE(f->MDIChildCount(), 0);
    QCOMPARE(job->state(), DownloadJob::State::Running);
    QTRY_COMPARE_WITH_TIMEOUT(job->state(), DownloadJob::State::Completed, 30000);
    QVERIFY(readAll(target) == big);
    QVERIFY(!QFile::exists(target + ".part"));
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestDownloads)
#include "test_downloads.moc"
