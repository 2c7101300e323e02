// The folder chooser: root and initial selection from its properties and
// their fallbacks, the OK state and status line from the selection event,
// placement, the early returns, and that every id goes back to the allocator.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "options/folder_chooser.h"
#include "options/placement.h"
#include "platform/guarded.h"
#include "screenshot.h"

namespace {

// What the dialog looked like when it came up.
struct Seen {
  bool shown = false;
  QString root, current, status;
  bool okEnabled = false;
  QPoint pos;
};

QString idOf(const QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toString() : QString(); }

// Runs Execute; `act` looks at the dialog and ends it (default: Cancel).
bool run(TSHBrowseForFolderEx& c, Seen& seen, std::function<void(TFolderBrowseDialog*)> act = {}) {
  QTimer::singleShot(0, [&seen, act] {
    auto* d = qobject_cast<TFolderBrowseDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    seen.shown = true;
    seen.root = idOf(d->Tree->topLevelItem(0));
    seen.current = idOf(d->Tree->currentItem());
    seen.status = d->StatusLabel->text();
    seen.okEnabled = d->OKButton->isEnabled();
    seen.pos = d->frameGeometry().topLeft();
    if (act)
      act(d);
    else
      d->CancelButton->click();
    // A check that failed in `act` ends the dialog too.
    if (d->isVisible()) d->reject();
  });
  const bool r = c.Execute();
  QCoreApplication::processEvents();  // a timer of a dialog never shown fires here
  return r;
}

void select(TFolderBrowseDialog* d, const QString& id) {
  shell::ItemIdList item{id};
  d->setSelection(&item);
}

// Listings of the held items wait until released, as those of a hung
// mount do; `waiting` counts the reads held now, `finished` those done.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  QSet<QString> held;
  int waiting = 0, finished = 0;
};

class CountingService : public shell::ShellFolders {
 public:
  bool noMalloc = false, noDesktop = false, noBuffer = false;
  struct M : shell::Malloc {
    bool fail = false;
    char* Alloc(std::size_t n) override { return fail ? nullptr : shell::Malloc::Alloc(n); }
  } m;
  std::shared_ptr<Gate> gate = std::make_shared<Gate>();
  shell::Malloc* GetMalloc() override { return noMalloc ? nullptr : (m.fail = noBuffer, &m); }
  bool GetDesktopFolder() override { return !noDesktop; }
  shell::FolderReader Reader() override {
    return [gate = gate](const QString& id, bool withHidden) {
      {
        std::unique_lock<std::mutex> lock(gate->m);
        ++gate->waiting;
        gate->cv.wait(lock, [&] { return !gate->held.contains(id); });
        --gate->waiting;
      }
      const QStringList listed = shell::subfolders(id, withHidden);
      const std::lock_guard<std::mutex> lock(gate->m);
      ++gate->finished;
      return listed;
    };
  }
  void hold(const QString& id) {
    const std::lock_guard<std::mutex> lock(gate->m);
    gate->held.insert(id);
  }
  void releaseAll() {
    {
      const std::lock_guard<std::mutex> lock(gate->m);
      gate->held.clear();
    }
    gate->cv.notify_all();
  }
  int waiting() {
    const std::lock_guard<std::mutex> lock(gate->m);
    return gate->waiting;
  }
};

// The item under `parent` for `id`, or nullptr.
QTreeWidgetItem* childFor(QTreeWidgetItem* parent, const QString& id) {
  for (int i = 0; parent && i < parent->childCount(); ++i)
    if (idOf(parent->child(i)) == id) return parent->child(i);
  return nullptr;
}

QStringList childIds(const QTreeWidgetItem* item) {
  QStringList r;
  for (int i = 0; i < item->childCount(); ++i) r << idOf(item->child(i));
  return r;
}

// Whether the item shows that its listing is still out.
bool isWaiting(const QTreeWidgetItem* item) {
  return item && item->childCount() > 0 && item->child(0)->text(0) == QStringLiteral("読み込み中…") &&
         idOf(item->child(0)).isEmpty() && item->child(0)->flags() == Qt::NoItemFlags;
}

bool isDirOnDisk(const QByteArray& path) {
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

class TestFolderChooser : public QObject {
  Q_OBJECT
  QWidget* owner_ = nullptr;
  CountingService service_;
  QStringList boxes_;

  TSHBrowseForFolderEx* make() {
    auto* c = new TSHBrowseForFolderEx(owner_);
    c->Shell = &service_;
    return c;
  }

 private slots:
  void initTestCase() {
    guarded::setReporter([this](const QString& t) { boxes_ << t; });
    owner_ = new QWidget;
    owner_->setGeometry(140, 120, 500, 400);
    owner_->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner_));
  }
  void cleanupTestCase() {
    delete owner_;
    guarded::setReporter({});
  }
  void cleanup() {
    service_.releaseAll();
    service_.noMalloc = service_.noDesktop = service_.noBuffer = false;
    QCOMPARE(service_.m.liveCount(), 0);
    QCOMPARE(boxes_, QStringList());
  }

  void defaults() {
    TSHBrowseForFolderEx c(owner_);
    c.Shell = &service_;
    QCOMPARE(c.ShowStyle(), ssClient);
    QCOMPARE(c.RootFolder(), rfDesktop);
    QCOMPARE(c.SelectFolder(), sfDrives);
    QCOMPARE(c.Options, (TSHBrowseOptions{sboReturnOnlyFSDirs}));
    QVERIFY(c.Caption.isEmpty() && c.SelectFolderName().isEmpty() && c.RootFolderName().isEmpty());

    Seen seen;
    QVERIFY(!run(c, seen));
    QVERIFY(seen.shown);
    QCOMPARE(seen.root, shell::desktopId());
    QCOMPARE(seen.current, shell::drivesId());
    QVERIFY(!seen.okEnabled);  // the computer has no file-system path
    QCOMPARE(seen.pos, owner_->mapToGlobal(QPoint(0, 0)));
    QVERIFY(c.SelectedPath().isEmpty() && c.DisplayName().isEmpty());
  }

  void chosenFolderAndCancelAfterIt() {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/選んだ");
    QVERIFY(QDir().mkdir(dir));
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    Seen seen;
    QVERIFY(run(*c, seen, [&](TFolderBrowseDialog* d) {
      select(d, dir);
      QCOMPARE(idOf(d->Tree->currentItem()), dir);
      QVERIFY(d->OKButton->isEnabled());
      d->OKButton->click();
    }));
    QCOMPARE(c->SelectedPath(), dir);
    QCOMPARE(c->DisplayName(), QStringLiteral("選んだ"));
    QVERIFY(!run(*c, seen));
    QVERIFY(c->SelectedPath().isEmpty());
    QVERIFY(c->DisplayName().isEmpty());
  }

  void manualSelectionAndItsFallbacks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("used");
    QTest::newRow("existing folder") << QStringLiteral("DIR") << true;
    QTest::newRow("missing") << QStringLiteral("DIR/missing") << false;
    QTest::newRow("a file") << QStringLiteral("DIR/file.txt") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("relative") << QStringLiteral("some/where") << false;
    QTest::newRow("invalid UTF-8") << QString::fromUtf8("/tmp/\xc3\x28\xff") << false;
  }
  void manualSelectionAndItsFallbacks() {
    QFETCH(QString, name);
    QFETCH(bool, used);
    QTemporaryDir tmp;
    QFile f(tmp.path() + QStringLiteral("/file.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    name.replace(QStringLiteral("DIR"), tmp.path());
    for (bool asRoot : {false, true}) {
      std::unique_ptr<TSHBrowseForFolderEx> c(make());
      if (asRoot) {
        c->SetRootFolder(rfManual);
        c->SetRootFolderName(name);
        c->SetSelectFolder(sfDesktop);
      } else {
        c->SetSelectFolder(sfManual);
        c->SetSelectFolderName(name);
      }
      Seen seen;
      QVERIFY(!run(*c, seen));
      QVERIFY(seen.shown);
      const QString expected = used ? tmp.path() : shell::desktopId();
      QCOMPARE(asRoot ? seen.root : seen.current, expected);
    }
  }

  void statusLineShowsThePathWhateverTheHandlerSays() {
    QTemporaryDir tmp;
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->Options = TSHBrowseOptions{sboStatusTextAndShowPath, sboStatusText};
    int calls = 0;
    c->OnSelectionChanged = [&](QObject* sender, QWidget*, const QString&, QString& text, TOKButtonState&) {
      QCOMPARE(sender, c.get());
      QVERIFY(text.isEmpty());
      text = QStringLiteral("handler text");
      ++calls;
    };
    Seen seen;
    QStringList lines;
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      QVERIFY(d->StatusLabel->isVisible());
      select(d, tmp.path());
      lines << d->StatusLabel->text();
      select(d, shell::drivesId());
      lines << d->StatusLabel->text();
      d->CancelButton->click();
    });
    QCOMPARE(lines, (QStringList{tmp.path(), QString()}));
    QVERIFY(calls >= 2);
  }

  void handlerSetsTheStatusAndTheOkState() {
    QTemporaryDir tmp;
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/no")));
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/yes")));
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->Options = TSHBrowseOptions{sboStatusText};
    c->OnSelectionChanged = [](QObject*, QWidget*, const QString& path, QString& text, TOKButtonState& ok) {
      text = QStringLiteral("見た: ") + path;
      if (path.endsWith(QLatin1String("/no"))) ok = obsDisable;
      if (path.isEmpty()) ok = obsEnable;
    };
    Seen seen;
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      select(d, tmp.path() + QStringLiteral("/no"));
      QVERIFY(!d->OKButton->isEnabled());
      QCOMPARE(d->StatusLabel->text(), QStringLiteral("見た: ") + tmp.path() + QStringLiteral("/no"));
      select(d, tmp.path() + QStringLiteral("/yes"));
      QVERIFY(d->OKButton->isEnabled());
      select(d, shell::drivesId());
      QVERIFY(d->OKButton->isEnabled());  // the handler enabled it for a virtual folder
      d->CancelButton->click();
    });
    // Without the status flag there is no status line to write to.
    c->Options = TSHBrowseOptions{};
    c->OnSelectionChanged = {};
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      QVERIFY(d->StatusLabel->isHidden());
      QVERIFY(d->OKButton->isEnabled());  // no folder-only flag: the computer may be chosen
      d->OKButton->click();
    });
    QCOMPARE(c->DisplayName(), QStringLiteral("コンピュータ"));
    QVERIFY(c->SelectedPath().isEmpty());
  }

  void placement() {
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->SetShowStyle(ssCenterScreen);
    Seen seen;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      // By its outer frame, once a window manager has put one around it.
      if (qgetenv("ZELVO_WM") == "openbox") QTRY_VERIFY(d->frameGeometry() != d->geometry());
      QTRY_COMPARE(d->frameGeometry().topLeft(), *placement::centerOnWorkArea(d->frameGeometry(), area));
      d->CancelButton->click();
    });
    QVERIFY(seen.shown);
    // An owner that is no window: the dialog stays where it was put.
    QWidget inner(owner_);
    TSHBrowseForFolderEx child(&inner);
    child.Shell = &service_;
    run(child, seen);
    QVERIFY(seen.shown);
  }

  void okForFileSystemAncestors() {
    // The computer holds file-system folders: with sboReturnFSAncestors it
    // may be chosen; with sboReturnOnlyFSDirs as well, only real folders.
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->Options = TSHBrowseOptions{sboReturnFSAncestors};
    Seen seen;
    QVERIFY(run(*c, seen, [&](TFolderBrowseDialog* d) {
      QVERIFY(d->OKButton->isEnabled());
      select(d, shell::desktopId());
      QVERIFY(d->OKButton->isEnabled());
      select(d, QDir::tempPath());
      QVERIFY(d->OKButton->isEnabled());
      select(d, shell::drivesId());
      d->OKButton->click();
    }));
    QCOMPARE(seen.current, shell::drivesId());
    QCOMPARE(c->DisplayName(), QStringLiteral("コンピュータ"));
    QVERIFY(c->SelectedPath().isEmpty());
    c->Options = TSHBrowseOptions{sboReturnFSAncestors, sboReturnOnlyFSDirs};
    run(*c, seen);
    QVERIFY(!seen.okEnabled);
  }

  void firstSelectionKeepsItsStatusAfterTheSetUp() {
    QTemporaryDir tmp;
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->SetSelectFolder(sfManual);
    c->SetSelectFolderName(tmp.path());
    c->Options = TSHBrowseOptions{sboStatusTextAndShowPath};
    Seen seen;
    run(*c, seen);
    QCOMPARE(seen.current, tmp.path());
    QCOMPARE(seen.status, tmp.path());  // not cleared by the set-up message after it
    // The handler's text likewise, reported once for the first selection.
    c->Options = TSHBrowseOptions{sboStatusText};
    QStringList paths;
    c->OnSelectionChanged = [&](QObject*, QWidget*, const QString& path, QString& text, TOKButtonState&) {
      paths << path;
      text = QStringLiteral("選択: ") + path;
    };
    run(*c, seen);
    QCOMPARE(paths, QStringList{tmp.path()});
    QCOMPARE(seen.status, QStringLiteral("選択: ") + tmp.path());
    // The root as first selection is reported too.
    c->SetSelectFolder(sfDesktop);
    paths.clear();
    run(*c, seen);
    QCOMPARE(paths, QStringList{QString()});
    QCOMPARE(seen.status, QStringLiteral("選択: "));
  }

  void aLongStatusNeverWidensTheDialog() {
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->Options = TSHBrowseOptions{sboStatusText};
    const QString longText = QStringLiteral("/とても長い") + QString(3000, u'x');
    bool longNow = false;
    c->OnSelectionChanged = [&](QObject*, QWidget*, const QString&, QString& text, TOKButtonState&) {
      if (longNow) text = longText;
    };
    Seen seen;
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      const int width = d->width();
      longNow = true;
      select(d, QDir::tempPath());
      QCOMPARE(d->StatusLabel->text(), longText);  // kept whole, shown shortened
      QCoreApplication::processEvents();
      QCOMPARE(d->width(), width);
      QVERIFY(d->StatusLabel->width() <= d->width());
      d->CancelButton->click();
    });
    QVERIFY(seen.shown);
  }

  void ctrlHShowsHiddenFolders() {
    QTemporaryDir tmp;
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/.dot/in")));
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/.other")));
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/plain")));
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    Seen seen;
    QStringList shown[3];
    QVERIFY(run(*c, seen, [&](TFolderBrowseDialog* d) {
      select(d, tmp.path());
      QTreeWidgetItem* at = d->Tree->currentItem();
      at->setExpanded(true);
      QTRY_VERIFY(!d->isReading());
      shown[0] = childIds(at);
      d->activateWindow();
      QTRY_VERIFY(d->isActiveWindow());
      QTest::keyClick(d, Qt::Key_H, Qt::ControlModifier);
      QTRY_VERIFY(!d->isReading());
      shown[1] = childIds(at);
      select(d, tmp.path() + QStringLiteral("/.dot/in"));
      QCOMPARE(idOf(d->Tree->currentItem()), tmp.path() + QStringLiteral("/.dot/in"));
      // Hidden again: the folder the user stands in stays reachable.
      QTest::keyClick(d, Qt::Key_H, Qt::ControlModifier);
      QTRY_VERIFY(!d->isReading());
      shown[2] = childIds(at);
      d->OKButton->click();
    }));
    QCOMPARE(shown[0], QStringList{tmp.path() + "/plain"});
    QCOMPARE(shown[1], (QStringList{tmp.path() + "/.dot", tmp.path() + "/.other", tmp.path() + "/plain"}));
    QCOMPARE(shown[2], (QStringList{tmp.path() + "/.dot", tmp.path() + "/plain"}));
    QCOMPARE(c->SelectedPath(), tmp.path() + QStringLiteral("/.dot/in"));
  }

  void nothingToShowReturnsFalseAtOnce() {
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    Seen seen;
    service_.noMalloc = true;
    QVERIFY(!run(*c, seen));
    QVERIFY(!seen.shown);
    service_.noMalloc = false;
    service_.noDesktop = true;
    QVERIFY(!run(*c, seen));
    QVERIFY(!seen.shown);
    service_.noDesktop = false;
    service_.noBuffer = true;
    QVERIFY(!run(*c, seen));
    QVERIFY(!seen.shown);
    QCOMPARE(service_.m.liveCount(), 0);
    service_.noBuffer = false;
    // A special root that does not exist here.
    qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-zelvo-config"));
    c->SetRootFolder(rfStartup);
    QVERIFY(!run(*c, seen));
    QVERIFY(!seen.shown);
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(c->SelectedPath().isEmpty());
  }

  void unreadableOrHiddenFoldersDoNotBreakTheTree() {
    QTemporaryDir tmp;
    const QString hidden = tmp.path() + QStringLiteral("/.hidden/inner");
    QVERIFY(QDir().mkpath(hidden));
    const QString locked = tmp.path() + QStringLiteral("/locked");
    QVERIFY(QDir().mkpath(locked + QStringLiteral("/sub")));
    QFile::setPermissions(locked, QFileDevice::Permissions{});
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->SetSelectFolder(sfManual);
    c->SetSelectFolderName(hidden);  // left out of listings, still reachable
    Seen seen;
    run(*c, seen, [&](TFolderBrowseDialog* d) {
      select(d, locked);
      d->Tree->currentItem()->setExpanded(true);
      d->OKButton->click();
    });
    QCOMPARE(seen.current, hidden);
    QCOMPARE(c->SelectedPath(), locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  void aHungFolderKeepsOnlyItsOwnEntryWaiting() {
    QTemporaryDir tmp;
    const QString slow = tmp.path() + QStringLiteral("/slow"), fast = tmp.path() + QStringLiteral("/fast");
    QVERIFY(QDir().mkpath(slow + QStringLiteral("/in")));
    QVERIFY(QDir().mkpath(fast + QStringLiteral("/in")));
    service_.hold(slow);
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->SetSelectFolder(sfManual);
    c->SetSelectFolderName(tmp.path());
    Seen seen;
    bool sawBusy = false;
    QVERIFY(!run(*c, seen, [&](TFolderBrowseDialog* d) {
      QTreeWidgetItem* at = d->Tree->currentItem();
      at->setExpanded(true);
      QTRY_VERIFY(childFor(at, slow) && !isWaiting(at));
      QTreeWidgetItem* slowItem = childFor(at, slow);
      slowItem->setExpanded(true);
      QTRY_COMPARE(service_.waiting(), 1);
      QVERIFY(isWaiting(slowItem));
      QVERIFY(d->isReading());
      sawBusy = d->cursor().shape() == Qt::BusyCursor;
      // The others open as usual meanwhile, the computer too.
      QTreeWidgetItem* fastItem = childFor(at, fast);
      fastItem->setExpanded(true);
      QTRY_COMPARE(childIds(fastItem), QStringList{fast + QStringLiteral("/in")});
      QTreeWidgetItem* computer = childFor(d->Tree->topLevelItem(0), shell::drivesId());
      QVERIFY(computer);
      computer->setExpanded(true);
      QTRY_VERIFY(childFor(computer, QStringLiteral("/")));
      d->Tree->scrollToItem(slowItem->child(0));
      screenshot(QStringLiteral("chooser-hung-entry.png"));
      // Choosing and moving about still work; the hung entry still waits.
      d->Tree->setCurrentItem(fastItem->child(0));
      QCOMPARE(d->StatusLabel->isVisible(), false);
      QVERIFY(isWaiting(slowItem));
      QCOMPARE(service_.waiting(), 1);
      QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    }));
    QVERIFY(seen.shown);
    QVERIFY(sawBusy);
    // Ended while that read was still out.
    QCOMPARE(service_.waiting(), 1);
    QVERIFY(c->SelectedPath().isEmpty());
    // Its listing comes after the dialog is gone and is dropped.
    const int finished = service_.gate->finished;
    service_.releaseAll();
    QTRY_COMPARE(service_.gate->finished, finished + 1);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
  }

  void theComputerHungAndTheDialogClosed() {
    // The default dialog stands on the computer; its mounts never come.
    service_.hold(shell::drivesId());
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    Seen seen;
    const QString home = QDir::cleanPath(QDir::homePath());
    QVERIFY(!run(*c, seen, [&](TFolderBrowseDialog* d) {
      QTreeWidgetItem* computer = d->Tree->currentItem();
      QCOMPARE(idOf(computer), shell::drivesId());
      computer->setExpanded(true);
      QTRY_COMPARE(service_.waiting(), 1);
      QVERIFY(isWaiting(computer));
      QTRY_VERIFY(childFor(d->Tree->topLevelItem(0), home));
      QTreeWidgetItem* homeItem = childFor(d->Tree->topLevelItem(0), home);
      homeItem->setExpanded(true);
      QTRY_VERIFY(!isWaiting(homeItem));
      QVERIFY(isWaiting(computer));
      d->close();  // the window's close button, not Cancel
    }));
    QCOMPARE(seen.current, shell::drivesId());
    QCOMPARE(service_.waiting(), 1);
    service_.releaseAll();
    QTRY_COMPARE(service_.waiting(), 0);
    QCoreApplication::processEvents();
    // Nothing of the old dialog comes back into the next one.
    QVERIFY(!run(*c, seen));
    QVERIFY(seen.shown);
  }

  void aFolderNamedInNoTextComesBackAsItIsOnDisk() {
    QTemporaryDir tmp;
    const QByteArray base = QFile::encodeName(tmp.path());
    const QByteArray ffFe = base + "/\xff\xfe";
    const QByteArray sjis = base + "/\x83\x65\x83\x58\x83\x67";  // テスト in Shift_JIS
    for (const QByteArray& raw : {ffFe, sjis}) QVERIFY(::mkdir(raw.constData(), 0700) == 0);
    std::unique_ptr<TSHBrowseForFolderEx> c(make());
    c->Options = TSHBrowseOptions{sboReturnOnlyFSDirs, sboStatusTextAndShowPath};
    QList<QByteArray> chosen;
    QStringList names;
    for (int pick : {0, 1}) {
      Seen seen;
      QVERIFY(run(*c, seen, [&](TFolderBrowseDialog* d) {
        select(d, tmp.path());
        QTreeWidgetItem* at = d->Tree->currentItem();
        at->setExpanded(true);
        QTRY_COMPARE(at->childCount(), 2);
        QTRY_VERIFY(!isWaiting(at));
        QTreeWidgetItem* item = at->child(pick);
        names << item->text(0);
        d->Tree->setCurrentItem(item);
        QVERIFY(d->OKButton->isEnabled());
        if (pick == 1) screenshot(QStringLiteral("chooser-no-text-names.png"));
        QTest::mouseClick(d->OKButton, Qt::LeftButton);
      }));
      chosen << shell::encodePath(c->SelectedPath());
      QVERIFY(isDirOnDisk(chosen.last()));
      QCOMPARE(c->DisplayName(), names.last());
    }
    std::sort(chosen.begin(), chosen.end());
    QCOMPARE(chosen, (QList<QByteArray>{sjis, ffFe}));
    // Shown with the bytes that are no text marked, nothing else lost.
    names.sort();
    QCOMPARE(names, (QStringList{QString::fromUtf8("\xef\xbf\xbd"
                                                   "e"
                                                   "\xef\xbf\xbd"
                                                   "X"
                                                   "\xef\xbf\xbd"
                                                   "g"),
                                 QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd")}));
    // Given back as the initial selection, it is found again.
    c->SetSelectFolder(sfManual);
    c->SetSelectFolderName(shell::decodePath(ffFe));
    Seen seen;
    QVERIFY(run(*c, seen, [](TFolderBrowseDialog* d) { d->OKButton->click(); }));
    QCOMPARE(shell::encodePath(c->SelectedPath()), ffFe);
    // Qt's own removal does not see such names.
    for (const QByteArray& raw : {ffFe, sjis}) ::rmdir(raw.constData());
  }
};

QTEST_MAIN(TestFolderChooser)
#include "test_folder_chooser.moc"
