// Downloads that ended stay in the downloads window across restarts until
// 一覧を消去; the kept list is read as a file anyone may have edited.
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "page/download_list.h"
#include "page/downloads.h"
#include "test_main.h"

namespace {

// The rows the downloads window lists, top first: "name|status".
QStringList listedRows() {
  QStringList rows;
  TDownloadWindow* w = DownloadManager::instance()->window();
  QList<QWidget*> items = w->findChildren<QWidget*>("downloadItem");
  std::sort(items.begin(), items.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
  w->show();
  QTest::qWait(0);
  for (QWidget* row : items)
    rows << row->findChild<QLabel*>("lblFileName")->text() + "|" + row->findChild<QLabel*>("lblStatus")->text();
  return rows;
}

// One run of the program, as far as downloads go: "record" ends a download
// that completes and one that fails; "list" prints what the window lists.
int runPhase(const QByteArray& phase, const QString& folder) {
  if (phase == "record") {
    for (const char* name : {"done.bin", "cut.bin"}) {
      const QString target = folder + "/" + name;
      const QString part = DownloadManager::claimPartFile(target);
      QFile f(part);
      if (!f.open(QIODevice::WriteOnly) || f.write("12345") != 5) return 3;
      f.close();
      DownloadJob* job = DownloadManager::instance()->start("http://h/" + QString(name), target, part, [] {});
      job->progress(5, 5);
      if (QString(name) == "done.bin")
        job->finished();
      else
        job->failed("接続が切れました");
    }
    return 0;
  }
  std::fputs(listedRows().join('\n').toUtf8().constData(), stdout);
  return 0;
}

}  // namespace

class TestDownloadList : public QObject {
  Q_OBJECT
  QTemporaryDir home_;

  QStringList restart(const char* phase) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZELVO_TEST_PHASE", phase);
    env.insert("ZELVO_TEST_FOLDER", home_.path());
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {"phase failed"};
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    return out.isEmpty() ? QStringList{} : out.split('\n');
  }

 private slots:
  void endedDownloadsStayUntilCleared() {
    QCOMPARE(restart("record"), QStringList{});
    const QStringList kept = {"cut.bin|失敗: 接続が切れました", "done.bin|完了 — 5 バイト"};
    QCOMPARE(restart("list"), kept);
    // This run reads the same list, and clears it for the next.
    QCOMPARE(listedRows(), kept);
    DownloadManager::instance()->window()->findChild<QPushButton*>("btnClearList")->click();
    QCOMPARE(listedRows(), QStringList{});
    QCOMPARE(restart("list"), QStringList{});
  }

  void keptListReadAsFound() {
    const QByteArray file = R"([{"target":"/a","state":"completed"},{"target":"rel/b","state":"failed"},)"
                            R"({"target":"/c","state":"running"},{"target":7,"state":"failed"},"x",)"
                            R"({"target":"/d","state":"failed","error":"e"}])";
    QStringList read;
    for (const DownloadRecord& r : decodeDownloadList(file)) read << r.target;
    QCOMPARE(read, (QStringList{"/a", "/d"}));
    QVERIFY(decodeDownloadList(file.left(file.size() - 10)).isEmpty());  // cut short
  }
};

int main(int argc, char** argv) {
  zelvoTestEnvironment();
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));
  const QByteArray phase = qgetenv("ZELVO_TEST_PHASE");
  if (!phase.isEmpty()) return runPhase(phase, qEnvironmentVariable("ZELVO_TEST_FOLDER"));
  TestDownloadList tc;
  return QTest::qExec(&tc, argc, argv);
}
#include "test_download_list.moc"
