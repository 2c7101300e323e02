#include "page/downloads.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "page/page_rules.h"
#include "page/page_services.h"
#include "page/question_guard.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/guarded.h"

namespace {

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

std::optional<std::pair<quint64, quint64>> fileIdOf(const QString& path) {
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino));
}

// Renames without replacing anything: 0, or the error.
int renameNoReplace(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // A file system without it: a new link does not replace either.
  if (::link(from.constData(), to.constData()) == 0) {
    ::unlink(from.constData());
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  // Nor links (FAT): the best left is to look first.
  struct stat st;
  if (::lstat(to.constData(), &st) == 0) return EEXIST;
  return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// Enter in the name box answers with the default button (not saving), not
// with the file dialog's own Save.
class EnterTakesDefault : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    auto* dialog = qobject_cast<QDialog*>(static_cast<QWidget*>(watched)->window());
    for (QPushButton* b : dialog ? dialog->findChildren<QPushButton*>() : QList<QPushButton*>())
      if (b->isDefault() && b->isEnabled() && b->isVisible()) {
        b->click();
        break;
      }
    return true;
  }
};

// Most downloads a window keeps waiting for an answer; more are refused.
constexpr int kMaxWaiting = 20;

}  // namespace

// ---- DownloadJob -------------------------------------------------------------

DownloadJob::DownloadJob(const QString& url, const QString& target, const QString& part, std::function<void()> cancel,
                         QObject* parent)
    : QObject(parent),
      url_(url),
      target_(target),
      part_(part),
      replaces_(fileIdOf(target)),
      cancel_(std::move(cancel)) {
  clock_.start();
}

void DownloadJob::progress(qint64 received, qint64 total) {
  if (state_ != State::Running) return;
  received_ = received;
  total_ = total > 0 ? total : -1;
  meter_.sample(clock_.elapsed(), received);
  emit changed();
}

void DownloadJob::finished() {
  if (state_ != State::Running) return;
  // An engine may call a download the server cut short complete.
  const qint64 size = QFileInfo(part_).size();
  if (const QString why = incompleteDownloadReason(total_, size); !why.isEmpty()) return failed(why);
  moveIntoPlace();
}

void DownloadJob::moveIntoPlace() {
  // A file begun before the question was answered may sit on another file
  // system than the folder chosen: it is copied over first.
  const auto partId = fileIdOf(part_), folderId = fileIdOf(QFileInfo(target_).absolutePath());
  if (partId && folderId && partId->first != folderId->first) {
    QString copy;
    try {
      copy = DownloadManager::claimPartFile(target_);
    } catch (const ZelvoError& e) {
      return failed(e.text());
    }
    QFile in(part_), out(copy);
    bool ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    while (ok && !in.atEnd()) {
      const QByteArray block = in.read(1 << 20);
      ok = !block.isEmpty() && out.write(block) == block.size();
    }
    ok = ok && out.flush();
    const QString why = out.errorString();
    out.close();
    QFile::remove(part_);
    part_ = copy;
    if (!ok) return failed(QStringLiteral("%1 に保存できません (%2)").arg(QDir::toNativeSeparators(target_), why));
  }
  const QByteArray from = QFile::encodeName(part_);
  QString to = target_;
  for (int n = 1;; ++n) {
    int error = renameNoReplace(from, QFile::encodeName(to));
    // Only the very file the user chose to replace is replaced.
    if (error == EEXIST && to == target_ && replaces_ && fileIdOf(to) == replaces_)
      error = std::rename(from.constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
    if (error == 0) break;
    if (error == EEXIST && n < 1000) {
      to = freeNameFor(target_, n);
      continue;
    }
    QFile::remove(part_);
    return end(State::Failed,
               QStringLiteral("%1 に保存できません (%2)").arg(QDir::toNativeSeparators(to), errnoText(error)));
  }
  if (to != target_) {
    note_ = QStringLiteral("%1 が既にあったため、%2 として保存しました")
                .arg(QFileInfo(target_).fileName(), QFileInfo(to).fileName());
    target_ = to;
  }
  received_ = QFileInfo(target_).size();
  if (total_ < received_) total_ = received_;
  end(State::Completed);
}

void DownloadJob::failed(const QString& why) {
  if (state_ != State::Running) return;
  QFile::remove(part_);
  end(State::Failed, why.isEmpty() ? QStringLiteral("ダウンロードできませんでした") : why);
}

void DownloadJob::cancelled() {
  if (state_ != State::Running) return;
  QFile::remove(part_);
  end(State::Cancelled);
}

void DownloadJob::cancel() {
  if (state_ != State::Running) return;
  if (cancel_) cancel_();
  // Whatever the engine reports later, the download is over for the user.
  cancelled();
}

void DownloadJob::end(State state, const QString& error) {
  state_ = state;
  error_ = error;
  cancel_ = nullptr;
  emit changed();
}

// ---- DownloadManager ---------------------------------------------------------

DownloadManager::DownloadManager(QObject* parent) : QObject(parent) {}

DownloadManager::~DownloadManager() {
  // Widgets cannot go once the application object is being taken down.
  if (!QCoreApplication::closingDown()) delete window_;
}

DownloadManager* DownloadManager::instance() {
  static QPointer<DownloadManager> manager;
  if (!manager) manager = new DownloadManager(QCoreApplication::instance());
  return manager;
}

QString DownloadManager::folder() {
  const QString home = QDir::homePath();
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  // The desktop names the home folder when the download folder was removed.
  if (folder.isEmpty() || QDir(folder) == QDir(home)) folder = home + QStringLiteral("/Downloads");
  if (!QDir().mkpath(folder))
    throw EInOutError(
        QStringLiteral("ダウンロード フォルダ %1 を作成できません").arg(QDir::toNativeSeparators(folder)));
  return folder;
}

QString DownloadManager::claimPartFile(const QString& target) {
  int error = 0;
  for (int n = 0; n < 100; ++n) {
    const QString part = partFileFor(target, n);
    // Exclusive: a file already there, whoever's it is, is left alone.
    const int fd = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return part;
    }
    error = errno;
    if (error != EEXIST) break;
  }
  throw EInOutError(QStringLiteral("%1 に保存できません (%2)").arg(QDir::toNativeSeparators(target), errnoText(error)));
}

void DownloadManager::reply(Answer answer, const QString& target) {
  guarded::run([&] {
    if (answer) answer(target);
  });
}

void DownloadManager::ask(QWidget* near, const DownloadOffer& offer, Answer answer) {
  const QString site = downloadSite(offer.pageUrl, offer.url);
  auto later = [this](Answer a) { QTimer::singleShot(0, this, [a = std::move(a)] { reply(a, {}); }); };
  if (refusedSites_.contains(site)) return later(std::move(answer));
  QObject* key = near;
  auto it = queues_.find(key);
  if (it == queues_.end()) {
    it = queues_.insert(key, Queue{});
    it->near = near;
    // The questions go with their window.
    if (near) connect(near, &QObject::destroyed, this, [this, key] { windowGone(key); });
  }
  if (it->pending.size() >= kMaxWaiting) return later(std::move(answer));
  const int asked = ++it->asked[site];
  it->pending.append({offer, site, asked >= 2, std::move(answer)});
  try {
    showNext(key);
  } catch (const ZelvoError& e) {
    // Shown later: the caller may be inside an engine's signal.
    QTimer::singleShot(0, this, [text = e.text()] { guarded::report(text); });
  }
}

void DownloadManager::showNext(QObject* key) {
  auto it = queues_.find(key);
  if (it == queues_.end() || it->dialog || it->pending.isEmpty()) return;
  const Pending& p = it->pending.front();
  QString where;
  try {
    where = folder();
  } catch (...) {
    Answer a = it->pending.takeFirst().answer;
    QTimer::singleShot(0, this, [a] { reply(a, {}); });
    throw;
  }
  QWidget* parent = it->near ? it->near->window() : nullptr;
  auto* dialog = new QFileDialog(parent, QStringLiteral("名前を付けて保存"));
  dialog->setObjectName(QStringLiteral("DownloadSaveDialog"));
  dialog->setWindowModality(Qt::NonModal);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(QStringLiteral("すべてのファイル (*)"));
  dialog->setDirectory(where);
  dialog->selectFile(downloadFileName(p.offer.suggestedName, p.offer.url));
  // Whose download it is, and for a site that keeps sending them, a way to
  // say no to the rest at once.
  auto* from = new QLabel(
      QStringLiteral("%1 からのダウンロード").arg(siteOf(p.offer.pageUrl.isEmpty() ? p.offer.url : p.offer.pageUrl)),
      dialog);
  from->setObjectName(QStringLiteral("lblDownloadFrom"));
  from->setTextFormat(Qt::PlainText);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
    grid->addWidget(from, grid->rowCount(), 0, 1, grid->columnCount());
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  auto refuse = std::make_shared<bool>(false);
  if (p.offerRefusal && buttons) {
    QPushButton* all =
        buttons->addButton(QStringLiteral("このサイトからのダウンロードをすべて拒否"), QDialogButtonBox::ActionRole);
    all->setObjectName(QStringLiteral("btnRefuseSite"));
    connect(all, &QPushButton::clicked, dialog, [dialog, refuse] {
      *refuse = true;
      dialog->reject();
    });
  }
  armQuestion(dialog, buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr);
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    name->installEventFilter(new EnterTakesDefault(dialog));
  connect(dialog, &QDialog::finished, this, [this, key, dialog, refuse](int result) {
    const QStringList chosen = dialog->selectedFiles();
    const QString target = result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString();
    guarded::run([&] { answered(key, target, *refuse); });
  });
  it->dialog = dialog;
  if (parent) placeOver(dialog, it->near, Qt::AlignTop);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void DownloadManager::answered(QObject* key, const QString& target, bool refuseSite) {
  auto it = queues_.find(key);
  if (it == queues_.end() || it->pending.isEmpty()) return;
  const Pending p = it->pending.takeFirst();
  if (QFileDialog* dialog = it->dialog) {
    dialog->disconnect(this);
    dialog->hide();
    dialog->deleteLater();
  }
  it->dialog = nullptr;
  QList<Answer> alsoRefused;
  if (refuseSite) {
    refusedSites_.insert(p.site);
    for (Queue& q : queues_) {
      // A question on screen in another window is answered there.
      for (qsizetype i = q.dialog ? 1 : 0; i < q.pending.size();) {
        if (q.pending[i].site == p.site)
          alsoRefused.append(q.pending.takeAt(i).answer);
        else
          ++i;
      }
    }
  }
  reply(p.answer, target);
  for (const Answer& a : alsoRefused) reply(a, {});
  showNext(key);
}

void DownloadManager::windowGone(QObject* key) {
  auto it = queues_.find(key);
  if (it == queues_.end()) return;
  const Queue q = std::move(*it);
  queues_.erase(it);
  if (QFileDialog* dialog = q.dialog) {
    dialog->disconnect(this);
    dialog->hide();
    dialog->deleteLater();
  }
  // Answered from the event loop: the window is being taken down now.
  for (const Pending& p : q.pending) QTimer::singleShot(0, this, [a = p.answer] { reply(a, {}); });
}

const DownloadManager::Queue* DownloadManager::queueOf(QWidget* w) const {
  for (const Queue& q : queues_)
    if (w && q.near && (q.near == w || w->isAncestorOf(q.near))) return &q;
  return nullptr;
}

QFileDialog* DownloadManager::question(QWidget* w) const {
  const Queue* q = queueOf(w);
  return q ? q->dialog.data() : nullptr;
}

int DownloadManager::waiting(QWidget* w) const {
  const Queue* q = queueOf(w);
  return q ? static_cast<int>(q->pending.size()) : 0;
}

DownloadJob* DownloadManager::start(const QString& url, const QString& target, const QString& part,
                                    std::function<void()> cancel) {
  auto* job = new DownloadJob(url, target, part, std::move(cancel), this);
  jobs_.append(job);
  connect(job, &DownloadJob::changed, this, [this, job] {
    if (job->state() == DownloadJob::State::Running) return;
    job->disconnect(this);
    // Kept unless the user cancelled it.
    if (job->state() != DownloadJob::State::Cancelled && !job->isPrivate()) guarded::run([&] { keep(job); });
  });
  TDownloadWindow* w = window();
  w->add(job);
  w->show();
  w->raise();
  return job;
}

TDownloadWindow* DownloadManager::window() {
  if (!window_) {
    window_ = new TDownloadWindow;
    for (const DownloadRecord& r : kept()) window_->addKept(r);
  }
  return window_;
}

void DownloadManager::showWindow() {
  TDownloadWindow* w = window();
  if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->show();
  w->raise();
  w->activateWindow();
}

const QList<DownloadRecord>& DownloadManager::kept() {
  if (!keptRead_) {
    keptRead_ = true;
    kept_ = readDownloadList(downloadListPath());
  }
  return kept_;
}

void DownloadManager::keep(const DownloadJob* job) {
  kept();
  DownloadRecord r;
  r.url = job->url();
  r.target = job->target();
  r.completed = job->state() == DownloadJob::State::Completed;
  r.size = r.completed ? job->received() : 0;
  r.error = job->error();
  r.note = job->note();
  r.endedMs = QDateTime::currentMSecsSinceEpoch();
  kept_.prepend(r);
  if (kept_.size() > kMaxKeptDownloads) kept_.resize(kMaxKeptDownloads);
  writeDownloadList(downloadListPath(), kept_);
}

void DownloadManager::clearList(qint64 sinceMs) {
  kept();
  jobs_.removeIf([](const QPointer<DownloadJob>& j) { return !j || j->state() != DownloadJob::State::Running; });
  if (window_) window_->removeEnded();
  // Forgotten on screen even when the file cannot be rewritten; the error says so.
  const QList<DownloadRecord> old = kept_;
  if (sinceMs <= 0)
    kept_.clear();
  else
    kept_.removeIf([sinceMs](const DownloadRecord& r) { return r.endedMs >= sinceMs; });
  // What ended before the range stays listed, this run's among the earlier ones.
  if (window_)
    for (const DownloadRecord& r : kept_) window_->addKept(r);
  if (old != kept_ || regularFileExists(downloadListPath())) writeDownloadList(downloadListPath(), kept_);
}

// ---- TDownloadWindow ---------------------------------------------------------

namespace {

QString endedText(bool completed, qint64 size, const QString& note, const QString& error) {
  if (!completed) return QStringLiteral("失敗: %1").arg(error);
  if (!note.isEmpty()) return QStringLiteral("完了 — %1 (%2)").arg(sizeText(size), note);
  return QStringLiteral("完了 — %1").arg(sizeText(size));
}

QString stateText(const DownloadJob* job) {
  switch (job->state()) {
    case DownloadJob::State::Running:
      return progressText(job->received(), job->total(), job->speed());
    case DownloadJob::State::Completed:
      return endedText(true, job->received(), job->note(), {});
    case DownloadJob::State::Cancelled:
      return QStringLiteral("キャンセルしました");
    case DownloadJob::State::Failed:
      return endedText(false, 0, {}, job->error());
  }
  return {};
}

struct RowParts {
  QWidget* row;
  QLabel* name;
  QLabel* status;
  QHBoxLayout* buttons;
  QPushButton* openFile;
};

// A row's name, status line and file buttons; `target` is read when a
// button is pressed, since a download may still take another name.
RowParts makeRow(QWidget* parent, const QString& file, std::function<QString()> target) {
  RowParts p;
  p.row = new QWidget(parent);
  p.row->setObjectName(QStringLiteral("downloadItem"));
  auto* v = new QVBoxLayout(p.row);
  v->setContentsMargins(4, 4, 4, 4);
  p.name = new QLabel(QFileInfo(file).fileName(), p.row);
  p.name->setObjectName(QStringLiteral("lblFileName"));
  p.name->setTextFormat(Qt::PlainText);
  p.name->setToolTip(QDir::toNativeSeparators(file));
  QFont bold = p.name->font();
  bold.setBold(true);
  p.name->setFont(bold);
  v->addWidget(p.name);
  p.status = new QLabel(p.row);
  p.status->setObjectName(QStringLiteral("lblStatus"));
  p.status->setTextFormat(Qt::PlainText);
  p.buttons = new QHBoxLayout;
  p.buttons->addWidget(p.status, 1);
  p.openFile = new QPushButton(QStringLiteral("ファイルを開く"), p.row);
  p.openFile->setObjectName(QStringLiteral("btnOpenFile"));
  auto* openFolder = new QPushButton(QStringLiteral("フォルダを開く"), p.row);
  openFolder->setObjectName(QStringLiteral("btnOpenFolder"));
  p.buttons->addWidget(p.openFile);
  p.buttons->addWidget(openFolder);
  v->addLayout(p.buttons);
  QObject::connect(p.openFile, &QPushButton::clicked, p.row,
                   [target] { QDesktopServices::openUrl(QUrl::fromLocalFile(target())); });
  QObject::connect(openFolder, &QPushButton::clicked, p.row,
                   [target] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(target()).absolutePath())); });
  return p;
}

}  // namespace

TDownloadWindow::TDownloadWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("frm_Download"));
  setWindowTitle(QStringLiteral("ダウンロード"));
  setAccessibleName(windowTitle());
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(480, 300);
  auto* layout = new QVBoxLayout(this);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  rows_ = new QWidget(scroll);
  auto* rowsLayout = new QVBoxLayout(rows_);
  rowsLayout->addStretch(1);
  scroll->setWidget(rows_);
  layout->addWidget(scroll);
  auto* clear = new QPushButton(QStringLiteral("一覧を消去"), this);
  clear->setObjectName(QStringLiteral("btnClearList"));
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(clear);
  layout->addLayout(bottom);
  connect(clear, &QPushButton::clicked, this, [] { guarded::run([] { DownloadManager::instance()->clearList(); }); });
}

void TDownloadWindow::add(DownloadJob* job) {
  QPointer<DownloadJob> j(job);
  const RowParts p = makeRow(rows_, job->target(), [j] { return j ? j->target() : QString(); });
  auto* bar = new QProgressBar(p.row);
  bar->setObjectName(QStringLiteral("downloadProgress"));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  static_cast<QVBoxLayout*>(p.row->layout())->insertWidget(1, bar);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), p.row);
  cancel->setObjectName(QStringLiteral("btnCancelDownload"));
  p.buttons->insertWidget(1, cancel);
  // Newest on top, above the stretch at the end.
  static_cast<QVBoxLayout*>(rows_->layout())->insertWidget(0, p.row);
  listed_.append({p.row, job});

  connect(cancel, &QPushButton::clicked, p.row, [j] {
    if (j) j->cancel();
  });
  auto update = [j, name = p.name, bar, status = p.status, cancel, openFile = p.openFile] {
    if (!j) return;
    name->setText(QFileInfo(j->target()).fileName());  // another name when its own was taken
    name->setToolTip(QDir::toNativeSeparators(j->target()));
    const bool running = j->state() == DownloadJob::State::Running;
    const int percent = j->state() == DownloadJob::State::Completed ? 100 : progressPercent(j->received(), j->total());
    if (percent < 0 && running)
      bar->setRange(0, 0);  // busy: size unknown
    else {
      bar->setRange(0, 100);
      bar->setValue(qMax(percent, 0));
    }
    status->setText(stateText(j));
    cancel->setEnabled(running);
    openFile->setEnabled(j->state() == DownloadJob::State::Completed);
  };
  connect(job, &DownloadJob::changed, p.row, update);
  update();
}

void TDownloadWindow::addKept(const DownloadRecord& record) {
  const QString target = record.target;
  const RowParts p = makeRow(rows_, target, [target] { return target; });
  p.status->setText(endedText(record.completed, record.size, record.note, record.error));
  p.openFile->setEnabled(record.completed);
  // Under the rows already there, above the stretch at the end.
  auto* layout = static_cast<QVBoxLayout*>(rows_->layout());
  layout->insertWidget(layout->count() - 1, p.row);
  listed_.append({p.row, nullptr});
}

void TDownloadWindow::removeEnded() {
  listed_.removeIf([](const Row& r) {
    if (r.job && r.job->state() == DownloadJob::State::Running) return false;
    delete r.widget.data();
    return true;
  });
}
