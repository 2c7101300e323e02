// Downloads in both engines against a server inside the test: the save
// question (the user's download folder, made when missing, and the server's
// name made safe) driven as a user would, one question at a time per window
// and modal to nothing, the file written as NAME.part and renamed
// byte-identical without replacing what appeared meanwhile, cancelling in
// the question and while it runs, a download the server cut short, and a
// download that goes on after its window closed.
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include "frame_fixture.h"
#include "page/downloads.h"
#include "page/question_guard.h"
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

bool writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && f.write(data) == data.size();
}

int visibleQuestions() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += w->isVisible() && w->objectName() == "DownloadSaveDialog";
  return n;
}

// A page that starts downloads from frames of its own, with no click.
PageServer::Answer framesPage(const QStringList& paths) {
  PageServer::Answer a;
  a.body = "<!DOCTYPE html><title>frames</title><body><script>";
  for (const QString& p : paths)
    a.body += "var f=document.createElement('iframe');f.src='" + p.toUtf8() + "';document.body.appendChild(f);";
  a.body += "</script>";
  return a;
}

PageServer::Answer attachment(const QByteArray& name, const QByteArray& body) {
  PageServer::Answer a;
  a.headers =
      "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" + name + "\"\r\n";
  a.body = body;
  return a;
}

}  // namespace

class TestDownloads : public QObject {
  Q_OBJECT

  PageServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;
  QByteArray small = noise(200 * 1024);
  QByteArray big = noise(1536 * 1024);
  QByteArray text = QByteArray("一行のテキスト, 1234567890\n").repeated(5000);
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
    slow.delayMs = 400;  // long enough for a second download to start beside it
    server.answers["/slower.bin"] = slow;
    // Announces a megabyte, sends ten bytes and closes.
    PageServer::Answer shortOne = attachment("short.bin", "0123456789");
    shortOne.announced = 1000000;
    server.answers["/short.bin"] = shortOne;
    // Sent compressed: the announced size is the compressed one.
    PageServer::Answer packed = attachment("packed.txt", qCompress(text).mid(4));
    packed.headers += "Content-Encoding: deflate\r\n";
    server.answers["/packed.txt"] = packed;
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
    // No download folder: it is made, never the home folder offered instead.
    QVERIFY(QDir(downloads).removeRecursively());
    QVERIFY(startDownload("/file.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QCOMPARE(offeredName, QString("hidden data.bin"));  // the server's name, but never a hidden file
    QCOMPARE(offeredFolder, QDir(downloads).absolutePath());
    QVERIFY(QDir(downloads).exists());
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
    // A half file never carries the real name: it is the download's .part
    // (which the engines fill through an intermediate file of their own
    // beside it).
    const QFileInfo part(job->partPath());
    QVERIFY(part.fileName().endsWith(".part"));
    QVERIFY(!part.fileName().startsWith("."));
    QVERIFY(!QDir(part.absolutePath()).entryList({part.fileName() + "*"}, QDir::Files).isEmpty());
    QVERIFY(!QFile::exists(target));
    QWidget* row = rowOf("cancelled.bin");
    QVERIFY(row);
    QVERIFY(row->findChild<QLabel*>("lblStatus")->text().contains("/"));  // "x KB / 1.5 MB"
    row->findChild<QPushButton*>("btnCancelDownload")->click();
    QCOMPARE(job->state(), DownloadJob::State::Cancelled);
    const QStringList leftOver{part.fileName() + "*"};
    QTRY_COMPARE_WITH_TIMEOUT(QDir(part.absolutePath()).entryList(leftOver, QDir::Files), QStringList(), 10000);
    QTest::qWait(1000);
    QCOMPARE(QDir(part.absolutePath()).entryList(leftOver, QDir::Files), QStringList());
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

  // A download that ends short of the size announced fails and leaves no
  // file; one sent compressed (longer than announced once unpacked) is whole.
  void aDownloadIsWholeOrFails_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("whole");
    QTest::newRow("cut short") << "short.bin" << false;
    QTest::newRow("compressed") << "packed.txt" << true;
  }
  void aDownloadIsWholeOrFails() {
    QFETCH(QString, name);
    QFETCH(bool, whole);
    if (!whole && f->IE_item->isChecked())
      QSKIP("Internet Explorer never calls such a download complete: it starts it over and keeps it running");
    TimedSteps steps;
    const QString target = fx->path(name);
    answerSaveDialog(steps, target);
    QVERIFY(startDownload(QByteArray("/" + name.toUtf8()).constData()));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    DownloadJob* job = lastJob();
    QVERIFY(job && job->target() == target);
    QTRY_VERIFY_WITH_TIMEOUT(job->state() != DownloadJob::State::Running, 30000);
    if (whole) {
      QCOMPARE(job->state(), DownloadJob::State::Completed);
      QVERIFY(readAll(target) == text);
      return;
    }
    QCOMPARE(job->state(), DownloadJob::State::Failed);
    const QString status = rowOf(name)->findChild<QLabel*>("lblStatus")->text();
    QVERIFY2(status.startsWith("失敗"), qPrintable(status));
    QTRY_COMPARE_WITH_TIMEOUT(QDir(fx->dir.path()).entryList({name + "*"}, QDir::Files), QStringList(), 10000);
  }

  // A .part already there is left alone, two downloads given one name
  // both arrive, and a file that appeared under the name while they ran is
  // kept: each takes a free name and says so.
  void nothingIsReplacedThatTheUserDidNotChoose() {
    const QString target = fx->path("same.bin");
    QVERIFY(writeFile(target + ".part", "the user's own"));
    TimedSteps steps;
    answerSaveDialog(steps, target);
    answerSaveDialog(steps, target);
    TBrowserChild* first = startDownload("/slower.bin");
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(steps.left() == 1, 20000);
    QVERIFY(startDownload("/slower.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    const auto& jobs = DownloadManager::instance()->jobs();
    QPointer<DownloadJob> a = jobs[jobs.size() - 2], b = jobs.last();
    QVERIFY(a && b && a->target() == target && b->target() == target);
    QVERIFY(a->partPath() != b->partPath());
    QVERIFY(a->partPath() != target + ".part");
    QVERIFY(writeFile(target, "appeared meanwhile"));
    QTRY_VERIFY_WITH_TIMEOUT(a->state() != DownloadJob::State::Running && b->state() != DownloadJob::State::Running,
                             40000);
    QCOMPARE(a->state(), DownloadJob::State::Completed);
    QCOMPARE(b->state(), DownloadJob::State::Completed);
    QCOMPARE(readAll(target + ".part"), QByteArray("the user's own"));
    QCOMPARE(readAll(target), QByteArray("appeared meanwhile"));
    const QStringList ends{QFileInfo(a->target()).fileName(), QFileInfo(b->target()).fileName()};
    QCOMPARE(QSet<QString>(ends.begin(), ends.end()), QSet<QString>({"same (1).bin", "same (2).bin"}));
    QVERIFY(readAll(a->target()) == big && readAll(b->target()) == big);
    QVERIFY(a->note().contains("same.bin") && a->note().contains(QFileInfo(a->target()).fileName()));
    QVERIFY(rowOf(QFileInfo(a->target()).fileName())->findChild<QLabel*>("lblStatus")->text().contains(a->note()));
    QCOMPARE(QDir(fx->dir.path()).entryList({"same*"}, QDir::Files).size(), 4);
    QVERIFY(fx->errors.isEmpty());
  }

  // A page that starts downloads by itself gets one question at a time,
  // modal to nothing; from its second the site can be refused for the
  // session.
  void pageStartedDownloadsWaitTheirTurn() {
    PageServer site;  // a site of its own: refusals last the session
    site.answers["/frames.html"] = framesPage({"/q1.bin", "/q2.bin", "/q3.bin"});
    for (const char* p : {"/q1.bin", "/q2.bin", "/q3.bin", "/q4.bin"}) site.answers[p] = attachment("q.bin", small);
    const int jobsBefore = DownloadManager::instance()->jobs().size();
    QPointer<QFileDialog> first;
    bool modal = true;
    TimedSteps steps;
    steps.when([] { return visibleWindow<QFileDialog>("DownloadSaveDialog"); },
               [&] {
                 first = visibleWindow<QFileDialog>("DownloadSaveDialog");
                 modal = QApplication::activeModalWidget() || first->isModal();
               });
    TBrowserChild* c = openPage(f, site.url("/frames.html"), "frames");
    QVERIFY(c);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QVERIFY(!modal);
    DownloadManager* manager = DownloadManager::instance();
    QTRY_COMPARE_WITH_TIMEOUT(manager->waiting(c->Control()), 3, 20000);
    QCOMPARE(visibleQuestions(), 1);
    QCOMPARE(manager->question(c->Control()), first.data());
    QVERIFY(first->findChild<QLabel*>("lblDownloadFrom")->text().startsWith("127.0.0.1:"));
    QVERIFY(!first->findChild<QPushButton*>("btnRefuseSite"));  // a first download may well be wanted
    // The frame's menus still take the mouse.
    QMenuBar* bar = f->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().first()).center());
    QTRY_VERIFY(QApplication::activePopupWidget());
    QApplication::activePopupWidget()->close();

    first->reject();
    QTRY_VERIFY(manager->question(c->Control()) && manager->question(c->Control()) != first);
    QFileDialog* second = manager->question(c->Control());
    QCOMPARE(manager->waiting(c->Control()), 2);
    QPushButton* refuse = second->findChild<QPushButton*>("btnRefuseSite");
    QVERIFY(refuse);
    QCOMPARE(refuse->text(), QString("このサイトからのダウンロードをすべて拒否"));
    QTRY_VERIFY(refuse->isEnabled());
    refuse->click();
    QTRY_COMPARE(visibleQuestions(), 0);
    QCOMPARE(manager->waiting(c->Control()), 0);  // the third went with it
    // Later ones are refused without a question.
    pageScript(c, "var f=document.createElement('iframe');f.src='/q4.bin';document.body.appendChild(f);1");
    QTRY_VERIFY_WITH_TIMEOUT(site.requested.contains("/q4.bin"), 20000);
    QTest::qWait(1500);
    QCOMPARE(visibleQuestions(), 0);
    QCOMPARE(manager->jobs().size(), jobsBefore);
    QTRY_COMPARE_WITH_TIMEOUT(QDir(downloads).entryList({"q*"}, QDir::Files | QDir::Hidden), QStringList(), 10000);
    QVERIFY(fx->errors.isEmpty());
  }

  void closingTheWindowDropsItsQuestions() {
    PageServer site;
    site.answers["/frames.html"] = framesPage({"/c1.bin", "/c2.bin"});
    for (const char* p : {"/c1.bin", "/c2.bin"}) site.answers[p] = attachment("closed.bin", small);
    const int jobsBefore = DownloadManager::instance()->jobs().size();
    TimedSteps steps;
    steps.when([] { return visibleWindow<QFileDialog>("DownloadSaveDialog"); }, [] {});
    TBrowserChild* c = openPage(f, site.url("/frames.html"), "frames");
    QVERIFY(c);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(DownloadManager::instance()->waiting(c->Control()), 2, 20000);
    QPointer<QFileDialog> question = DownloadManager::instance()->question(c->Control());
    QPointer<TBrowserChild> child(c);
    c->close();
    QTRY_VERIFY(child.isNull());
    QTRY_VERIFY(question.isNull() || !question->isVisible());
    QCOMPARE(visibleQuestions(), 0);
    QTest::qWait(1000);
    QCOMPARE(visibleQuestions(), 0);
    QCOMPARE(DownloadManager::instance()->jobs().size(), jobsBefore);
    QTRY_COMPARE_WITH_TIMEOUT(QDir(downloads).entryList({"closed*"}, QDir::Files | QDir::Hidden), QStringList(), 10000);
    QVERIFY(fx->errors.isEmpty());
  }

  // A download folder that cannot be made is an error shown after the
  // engine's signal, not a question somewhere else.
  void aDownloadFolderThatCannotBeMadeIsReported() {
    QVERIFY(QDir(downloads).removeRecursively());
    QVERIFY(writeFile(downloads, "a file in the way"));
    const int jobsBefore = DownloadManager::instance()->jobs().size();
    QVERIFY(startDownload("/file.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(!fx->errors.isEmpty(), 20000);
    QVERIFY(QFile::remove(downloads));
    QVERIFY(QDir().mkpath(downloads));
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY2(fx->errors.first().contains("ダウンロード フォルダ"), qPrintable(fx->errors.first()));
    QCOMPARE(visibleQuestions(), 0);
    QCOMPARE(DownloadManager::instance()->jobs().size(), jobsBefore);
  }

  // Input meant for something else never answers a question that just
  // appeared, and Enter gives the safe answer.
  void questionsTakeNoInputAtFirst() {
    QDialog d;
    auto* box = new QDialogButtonBox(&d);
    QPushButton* yes = box->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole);
    QPushButton* no = box->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(box, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    int result = -1;
    connect(&d, &QDialog::finished, &d, [&](int r) { result = r; });
    yes->setDefault(true);
    armQuestion(&d, no);
    d.show();
    // Nothing has let the event loop run since it was armed.
    QVERIFY(!yes->isEnabled() && !no->isEnabled());
    QVERIFY(no->isDefault() && !yes->isDefault());
    QTest::keyClick(&d, Qt::Key_Return);
    QTest::keyClick(yes, Qt::Key_Space);
    QCOMPARE(result, -1);
    QTRY_VERIFY(yes->isEnabled() && no->isEnabled());
    QTest::keyClick(&d, Qt::Key_Return);
    QCOMPARE(result, int(QDialog::Rejected));

    // The download question: Enter in its name box saves nothing.
    const int jobsBefore = DownloadManager::instance()->jobs().size();
    bool cancelIsDefault = false;
    TimedSteps steps;
    steps.when(
        [] {
          auto* q = visibleWindow<QFileDialog>("DownloadSaveDialog");
          return q && q->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Save)->isEnabled();
        },
        [&] {
          auto* q = visibleWindow<QFileDialog>("DownloadSaveDialog");
          auto* cancel = qobject_cast<QPushButton*>(
              q->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel));
          cancelIsDefault = cancel && cancel->isDefault();
          QTest::keyClick(q->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
        });
    QVERIFY(startDownload("/file.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QVERIFY(cancelIsDefault);
    QTRY_COMPARE(visibleQuestions(), 0);
    QTest::qWait(1000);
    QCOMPARE(DownloadManager::instance()->jobs().size(), jobsBefore);
  }
};

ZELVO_TEST_MAIN(TestDownloads)
#include "test_downloads.moc"
