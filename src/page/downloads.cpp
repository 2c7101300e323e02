#include "page/downloads.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>

// ---- DownloadJob -------------------------------------------------------------

DownloadJob::DownloadJob(const QString& url, const QString& target, std::function<void()> cancel, QObject* parent)
    : QObject(parent), url_(url), target_(target), cancel_(std::move(cancel)) {
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
  // rename() replaces a file the user chose to overwrite in one step.
  const QByteArray from = QFile::encodeName(partPath()), to = QFile::encodeName(target_);
  if (std::rename(from.constData(), to.constData()) != 0) {
    const QString why = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(partPath());
    end(State::Failed, QStringLiteral("%1 に保存できません (%2)").arg(QDir::toNativeSeparators(target_), why));
    return;
  }
  received_ = QFileInfo(target_).size();
  if (total_ < received_) total_ = received_;
  end(State::Completed);
}

void DownloadJob::failed(const QString& why) {
  if (state_ != State::Running) return;
  QFile::remove(partPath());
  end(State::Failed, why.isEmpty() ? QStringLiteral("ダウンロードできませんでした") : why);
}

void DownloadJob::cancelled() {
  if (state_ != State::Running) return;
  QFile::remove(partPath());
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

QString DownloadManager::askTarget(QWidget* near, const QString& suggestedName) {
  QWidget* parent = near ? near->window() : QApplication::activeWindow();
  QFileDialog dialog(parent, QStringLiteral("名前を付けて保存"));
  dialog.setObjectName(QStringLiteral("DownloadSaveDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("すべてのファイル (*)"));
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  dialog.setDirectory(folder);
  dialog.selectFile(suggestedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

DownloadJob* DownloadManager::start(const QString& url, const QString& target, std::function<void()> cancel) {
  // A leftover of an earlier attempt is ours to replace.
  QFile::remove(partFileFor(target));
  auto* job = new DownloadJob(url, target, std::move(cancel), this);
  jobs_.append(job);
  TDownloadWindow* w = window();
  w->add(job);
  w->show();
  w->raise();
  return job;
}

TDownloadWindow* DownloadManager::window() {
  if (!window_) window_ = new TDownloadWindow;
  return window_;
}

// ---- TDownloadWindow ---------------------------------------------------------

namespace {

QString stateText(const DownloadJob* job) {
  switch (job->state()) {
    case DownloadJob::State::Running:
      return progressText(job->received(), job->total(), job->speed());
    case DownloadJob::State::Completed:
      return QStringLiteral("完了 — %1").arg(sizeText(job->received()));
    case DownloadJob::State::Cancelled:
      return QStringLiteral("キャンセルしました");
    case DownloadJob::State::Failed:
      return QStringLiteral("失敗: %1").arg(job->error());
  }
  return {};
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
}

void TDownloadWindow::add(DownloadJob* job) {
  auto* row = new QWidget(rows_);
  row->setObjectName(QStringLiteral("downloadItem"));
  auto* v = new QVBoxLayout(row);
  v->setContentsMargins(4, 4, 4, 4);
  auto* name = new QLabel(QFileInfo(job->target()).fileName(), row);
  name->setObjectName(QStringLiteral("lblFileName"));
  name->setTextFormat(Qt::PlainText);
  name->setToolTip(QDir::toNativeSeparators(job->target()));
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  v->addWidget(name);
  auto* bar = new QProgressBar(row);
  bar->setObjectName(QStringLiteral("downloadProgress"));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  v->addWidget(bar);
  auto* h = new QHBoxLayout;
  auto* status = new QLabel(row);
  status->setObjectName(QStringLiteral("lblStatus"));
  status->setTextFormat(Qt::PlainText);
  h->addWidget(status, 1);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), row);
  cancel->setObjectName(QStringLiteral("btnCancelDownload"));
  auto* openFile = new QPushButton(QStringLiteral("ファイルを開く"), row);
  openFile->setObjectName(QStringLiteral("btnOpenFile"));
  auto* openFolder = new QPushButton(QStringLiteral("フォルダを開く"), row);
  openFolder->setObjectName(QStringLiteral("btnOpenFolder"));
  h->addWidget(cancel);
  h->addWidget(openFile);
  h->addWidget(openFolder);
  v->addLayout(h);
  // Newest on top, above the stretch at the end.
  static_cast<QVBoxLayout*>(rows_->layout())->insertWidget(0, row);

  QPointer<DownloadJob> j(job);
  connect(cancel, &QPushButton::clicked, row, [j] {
    if (j) j->cancel();
  });
  connect(openFile, &QPushButton::clicked, row, [j] {
    if (j) QDesktopServices::openUrl(QUrl::fromLocalFile(j->target()));
  });
  connect(openFolder, &QPushButton::clicked, row, [j] {
    if (j) QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(j->target()).absolutePath()));
  });
  auto update = [j, bar, status, cancel, openFile] {
    if (!j) return;
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
  connect(job, &DownloadJob::changed, row, update);
  update();
}
