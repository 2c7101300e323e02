#include "options/folder_chooser.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <utility>

#include "options/placement.h"
#include "platform/guarded.h"
#include "platform/window_frame.h"

namespace {

constexpr int MAX_PATH = 260;
constexpr int kIdRole = Qt::UserRole;
constexpr int kStateRole = Qt::UserRole + 1;
enum ReadState { Unread, Reading, Read };

QString idOf(const QTreeWidgetItem* item) { return item->data(0, kIdRole).toString(); }
ReadState stateOf(const QTreeWidgetItem* item) { return ReadState(item->data(0, kStateRole).toInt()); }

// Copies `text` into a zero-terminated buffer of `size` bytes without cutting
// a character in two.
void copyToBuffer(char* buffer, std::size_t size, const QString& text) {
  QByteArray utf8 = text.toUtf8();
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(utf8.size()), size - 1);
  while (n > 0 && n < static_cast<std::size_t>(utf8.size()) && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
    --n;
  std::memcpy(buffer, utf8.constData(), n);
  buffer[n] = '\0';
}

// The status line: a long text is shown shortened in its middle (whole in
// its tooltip) and never makes the dialog wider; bytes of a path that are
// no text show as U+FFFD.
class StatusLine : public QLabel {
 public:
  using QLabel::QLabel;
  QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect r = contentsRect();
    const QString shown = fontMetrics().elidedText(shell::displayPath(text()), Qt::ElideMiddle, r.width());
    style()->drawItemText(&p, r, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown, foregroundRole());
  }
};

}  // namespace

// ---- the dialog ------------------------------------------------------------------

TFolderBrowseDialog::TFolderBrowseDialog(shell::ShellFolders& shell, BrowseInfo& info)
    : QDialog(info.hwndOwner), shell_(shell), info_(info) {
  setObjectName(QStringLiteral("FolderBrowseDialog"));
  setWindowTitle(QStringLiteral("フォルダの参照"));
  setWindowModality(Qt::ApplicationModal);
  resize(320, 380);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(10, 10, 10, 10);
  column->setSpacing(6);
  TitleLabel = new QLabel(info.lpszTitle, this);
  TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
  TitleLabel->setWordWrap(true);
  TitleLabel->setTextFormat(Qt::PlainText);
  column->addWidget(TitleLabel);
  StatusLabel = new StatusLine(this);
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  StatusLabel->setTextFormat(Qt::PlainText);
  StatusLabel->setVisible(info.ulFlags & shell::BIF_STATUSTEXT);
  column->addWidget(StatusLabel);
  Tree = new QTreeWidget(this);
  Tree->setObjectName(QStringLiteral("FolderTree"));
  Tree->setHeaderHidden(true);
  Tree->setUniformRowHeights(true);
  column->addWidget(Tree, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  column->addLayout(buttons);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  // Ctrl+H shows and hides the folders whose names start with a dot.
  auto* hidden = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
  connect(hidden, &QShortcut::activated, this, [this] { guarded::run([this] { toggleHidden(); }); });
  // The tree is named for what it holds and described by the instruction
  // above it; the status line keeps its name and carries its text as its
  // description.
  Tree->setAccessibleName(QStringLiteral("フォルダ"));
  Tree->setAccessibleDescription(info.lpszTitle);
  StatusLabel->setAccessibleName(QStringLiteral("状態"));
  TitleLabel->setBuddy(Tree);

  // Listings come back through the event loop; once the dialog is gone
  // they are dropped.
  reads_ = std::make_unique<shell::FolderReads>(
      shell.Reader(), [this](const QString& id, bool withHidden, const QStringList& listed) {
        QMetaObject::invokeMethod(
            this, [this, id, withHidden, listed] { guarded::run([&] { readDone(id, withHidden, listed); }); },
            Qt::QueuedConnection);
      });

  QTreeWidgetItem* root = makeItem(QString(), info.pidlRoot->id);
  Tree->addTopLevelItem(root);
  requestRead(root);
  root->setExpanded(true);
  Tree->setCurrentItem(root);

  connect(Tree, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* item) { guarded::run([&] { requestRead(item); }); });
  connect(Tree, &QTreeWidget::currentItemChanged, this, [this] { guarded::run([this] { selectionChanged(); }); });
}

TFolderBrowseDialog::~TFolderBrowseDialog() {
  // Before anything else goes: no listing is handed in after this.
  reads_.reset();
}

QTreeWidgetItem* TFolderBrowseDialog::makeItem(const QString& parentId, const QString& id) {
  auto* item = new QTreeWidgetItem;
  // Mount points are told apart by their whole path.
  item->setText(0, parentId == shell::drivesId() ? shell::displayPath(id) : shell::displayName(id));
  item->setData(0, kIdRole, id);
  item->setData(0, kStateRole, Unread);
  item->setToolTip(0, shell::isVirtual(id) ? shell::displayName(id) : shell::displayPath(id));
  QStyle* st = style();
  if (id == shell::desktopId())
    item->setIcon(0, st->standardIcon(QStyle::SP_DesktopIcon));
  else if (id == shell::drivesId())
    item->setIcon(0, st->standardIcon(QStyle::SP_ComputerIcon));
  else if (id == QLatin1String("/"))
    item->setIcon(0, st->standardIcon(QStyle::SP_DriveHDIcon));
  else
    item->setIcon(0, st->standardIcon(QStyle::SP_DirIcon));
  // Whether a folder has sub-folders is found out when it is opened.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void TFolderBrowseDialog::requestRead(QTreeWidgetItem* item) {
  if (!item || idOf(item).isEmpty() || stateOf(item) != Unread) return;
  item->setData(0, kStateRole, Reading);
  // Shown until the listing is in; it can be neither chosen nor stood on.
  auto* wait = new QTreeWidgetItem(item);
  wait->setText(0, QStringLiteral("読み込み中…"));
  wait->setFlags(Qt::NoItemFlags);
  startRead(idOf(item));
}

void TFolderBrowseDialog::startRead(const QString& id) {
  const std::pair<QString, bool> key{id, showHidden_};
  if (reading_.contains(key)) return;
  reading_.insert(key);
  updateBusy();
  reads_->start(id, showHidden_);
}

bool TFolderBrowseDialog::isReading() const {
  return std::any_of(reading_.begin(), reading_.end(), [this](const auto& k) { return k.second == showHidden_; });
}

void TFolderBrowseDialog::updateBusy() {
  if (isReading())
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
}

void TFolderBrowseDialog::readDone(const QString& id, bool withHidden, const QStringList& listed) {
  reading_.remove({id, withHidden});
  // A listing asked for before Ctrl+H changed what is shown is not used.
  while (withHidden == showHidden_) {
    QTreeWidgetItem* waiting = nullptr;
    for (QTreeWidgetItemIterator it(Tree); *it && !waiting; ++it)
      if (stateOf(*it) == Reading && idOf(*it) == id) waiting = *it;
    if (!waiting) break;
    merge(waiting, listed);
  }
  updateBusy();
}

bool TFolderBrowseDialog::holdsCurrent(const QTreeWidgetItem* item) const {
  for (const QTreeWidgetItem* p = Tree->currentItem(); p; p = p->parent())
    if (p == item) return true;
  return false;
}

void TFolderBrowseDialog::merge(QTreeWidgetItem* item, const QStringList& listed) {
  item->setData(0, kStateRole, Read);
  const QSet<QString> wanted(listed.begin(), listed.end());
  // What is no longer listed goes, except the way to the folder the user
  // stands in (hidden folders stay reachable).
  for (int i = item->childCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* child = item->child(i);
    const QString id = idOf(child);
    if (id.isEmpty() || (!wanted.contains(id) && !holdsCurrent(child) && !child->isSelected()))
      delete item->takeChild(i);
  }
  // The listed ones in their order; those already there keep their place.
  int pos = 0;
  for (const QString& id : listed) {
    int at = -1;
    for (int j = 0; j < item->childCount() && at < 0; ++j)
      if (idOf(item->child(j)) == id) at = j;
    if (at >= 0) {
      pos = std::max(pos, at + 1);
      continue;
    }
    item->insertChild(pos++, makeItem(idOf(item), id));
  }
  item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                   : QTreeWidgetItem::DontShowIndicator);
}

void TFolderBrowseDialog::toggleHidden() {
  showHidden_ = !showHidden_;
  // Every listed folder is listed again; what the user stands in stays.
  for (QTreeWidgetItemIterator it(Tree); *it; ++it) {
    if (idOf(*it).isEmpty() || stateOf(*it) == Unread) continue;
    (*it)->setData(0, kStateRole, Reading);
    startRead(idOf(*it));
  }
  updateBusy();
}

QString TFolderBrowseDialog::currentId() const {
  const QTreeWidgetItem* item = Tree->currentItem();
  return item ? idOf(item) : QString();
}

void TFolderBrowseDialog::setStatusText(const QString& text) {
  if (!(info_.ulFlags & shell::BIF_STATUSTEXT)) return;
  // Kept as given; shown with bytes that are no text marked.
  StatusLabel->setText(text);
  StatusLabel->setToolTip(shell::displayPath(text));
  StatusLabel->setAccessibleDescription(shell::displayPath(text));
}

void TFolderBrowseDialog::enableOK(bool enable) { OKButton->setEnabled(enable); }

void TFolderBrowseDialog::setSelection(shell::PItemIDList target) {
  if (!target) return;
  const QString want = target->id;
  QTreeWidgetItem* at = Tree->topLevelItem(0);
  if (!at || !shell::isAncestor(idOf(at), want)) return;
  // The way down is found without waiting for listings: a step not listed
  // yet (or not at all, a hidden folder) is put in, and the listing merges
  // around it when it comes.
  while (idOf(at) != want) {
    QStringList children;
    for (int i = 0; i < at->childCount(); ++i) children << idOf(at->child(i));
    QString step = shell::closestAncestor(children, want);
    QTreeWidgetItem* next = step.isEmpty() ? nullptr : at->child(children.indexOf(step));
    if (!next) {
      step = shell::stepToward(idOf(at), want);
      if (step.isEmpty()) return;
      next = makeItem(idOf(at), step);
      at->addChild(next);
    }
    requestRead(at);
    at->setExpanded(true);
    at = next;
  }
  Tree->setCurrentItem(at);
  Tree->scrollToItem(at);
}

void TFolderBrowseDialog::send(int msg, shell::PItemIDList item) {
  if (!info_.lpfn) return;
  {
    ++inCallback_;
    struct Done {
      int& depth;
      ~Done() { --depth; }
    } done{inCallback_};
    info_.lpfn(this, msg, item, info_.lParam);
  }
  sendPendingSelection();
}

void TFolderBrowseDialog::sendPendingSelection() {
  if (inCallback_ > 0 || !std::exchange(selectionPending_, false)) return;
  selectionChanged();
}

void TFolderBrowseDialog::selectionChanged() {
  shell::ItemIdList item{currentId()};
  // Folders only: OK only for items with a file-system path.
  // A change made while the owner's callback runs (its set-up selection)
  // is reported once that message is done, so the messages keep their order.
  if (inCallback_ > 0) {
    selectionPending_ = true;
    return;
  }
  OKButton->setEnabled(shell::okAllowed(item.id, info_.ulFlags));
  send(BFFM_SELCHANGED, &item);
}

void TFolderBrowseDialog::setUp() {
  {
    // The root's OK state, then set-up, then the selection the set-up left.
    const QSignalBlocker block(Tree);
    shell::ItemIdList root{currentId()};
    OKButton->setEnabled(shell::okAllowed(root.id, info_.ulFlags));
  }
  const QString before = currentId();
  guarded::run([&] { send(BFFM_INITIALIZED, nullptr); });
  // Then the selection: the one the set-up chose, or the root.
  if (currentId() == before) selectionPending_ = true;
  guarded::run([&] { sendPendingSelection(); });
}

shell::PItemIDList TFolderBrowseDialog::chosenItem(shell::Malloc* malloc) {
  const QString chosen = currentId();
  if (chosen.isEmpty()) return nullptr;
  if (info_.pszDisplayName) copyToBuffer(info_.pszDisplayName, MAX_PATH, shell::displayName(chosen));
  return malloc->AllocItem(chosen);
}

shell::PItemIDList TFolderBrowseDialog::BrowseForFolder(shell::ShellFolders& shell, BrowseInfo& info) {
  shell::Malloc* malloc = shell.GetMalloc();
  if (!info.pidlRoot || !malloc) return nullptr;
  TFolderBrowseDialog dialog(shell, info);
  dialog.setUp();
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  return dialog.chosenItem(malloc);
}

void TFolderBrowseDialog::OpenForFolder(shell::ShellFolders& shell, BrowseInfo& info,
                                        std::function<void(shell::PItemIDList)> done) {
  shell::Malloc* malloc = shell.GetMalloc();
  if (!info.pidlRoot || !malloc) return done(nullptr);
  auto* dialog = new TFolderBrowseDialog(shell, info);
  dialog->setUp();
  connect(dialog, &QDialog::finished, dialog, [dialog, malloc, done = std::move(done)](int result) {
    dialog->deleteLater();
    guarded::run([&] { done(result == QDialog::Accepted ? dialog->chosenItem(malloc) : nullptr); });
  });
  dialog->open();
}

// ---- the component ---------------------------------------------------------------

TSHBrowseForFolderEx::TSHBrowseForFolderEx(QObject* AOwner) : QObject(AOwner) {}

TSHBrowseForFolderEx::~TSHBrowseForFolderEx() = default;

bool TSHBrowseForFolderEx::IsFolderID(shell::PItemIDList id) {
  const unsigned asked = shell::SFGAO_FOLDER | shell::SFGAO_HASSUBFOLDER;
  return (shell().GetAttributesOf(id, asked) & asked) != 0;
}

shell::PItemIDList TSHBrowseForFolderEx::FolderID(int ordinal, bool manual, const QString& name) {
  if (manual && !name.isEmpty()) {
    if (shell::PItemIDList id = shell().ParseDisplayName(name)) {
      if (IsFolderID(id)) return id;
      if (shell::Malloc* m = shell().GetMalloc()) m->Free(id);
    }
  }
  return shell().GetSpecialFolderLocation(shbffex::csidlOf(ordinal));
}

shell::PItemIDList TSHBrowseForFolderEx::GetSelectFolderID() {
  return FolderID(FSelectFolder, FSelectFolder == sfManual, FSelectFolderName);
}

shell::PItemIDList TSHBrowseForFolderEx::GetRootFolderID() {
  return FolderID(FRootFolder, FRootFolder == rfManual, FRootFolderName);
}

QWidget* TSHBrowseForFolderEx::ownerForm() const {
  auto* w = qobject_cast<QWidget*>(parent());
  return w ? w->window() : nullptr;
}

// What one showing of the dialog holds, given back to the allocator when
// it ends, also when it ends with an error.
struct TSHBrowseForFolderEx::Session {
  shell::Malloc* malloc = nullptr;
  shell::PItemIDList root = nullptr;
  char* buffer = nullptr;
  TFolderBrowseDialog::BrowseInfo info;
  QPointer<QWidget> appWindow;
  ~Session() {
    if (buffer) malloc->Free(buffer);
    if (root) malloc->Free(root);
  }
};

std::shared_ptr<TSHBrowseForFolderEx::Session> TSHBrowseForFolderEx::begin() {
  FSelectedPath.clear();
  FDisplayName.clear();
  shell::ShellFolders& sh = shell();
  shell::Malloc* malloc = sh.GetMalloc();
  if (!malloc || !sh.GetDesktopFolder()) return nullptr;
  auto s = std::make_shared<Session>();
  s->malloc = malloc;
  s->root = GetRootFolderID();
  if (!s->root) return nullptr;
  s->buffer = malloc->Alloc(MAX_PATH);
  if (!s->buffer) return nullptr;
  s->appWindow = ownerForm() ? ownerForm() : QApplication::activeWindow();
  TFolderBrowseDialog::BrowseInfo& bi = s->info;
  bi.hwndOwner = s->appWindow;
  bi.pidlRoot = s->root;
  bi.pszDisplayName = s->buffer;
  bi.lpszTitle = Caption;
  const shbffex::BrowseFlags flags = shbffex::browseFlags(Options);
  bi.ulFlags = flags.flags;
  FShowPath = flags.showPath;
  bi.lpfn = &TSHBrowseForFolderEx::BrowseCallback;
  bi.lParam = this;
  return s;
}

bool TSHBrowseForFolderEx::finish(Session& session, shell::PItemIDList chosen) {
  if (session.appWindow) {
    session.appWindow->raise();
    session.appWindow->activateWindow();
  }
  if (!chosen) return false;
  FDisplayName = QString::fromUtf8(session.buffer);
  // The path is taken whole, however long it is.
  if (const std::optional<QString> path = shell().GetPathFromIDList(chosen)) FSelectedPath = *path;
  session.malloc->Free(chosen);
  return true;
}

namespace {
// The initial selection is asked for only while the dialog is set up.
struct SelectIdCleanup {
  shell::PItemIDList& id;
  shell::Malloc* malloc;
  ~SelectIdCleanup() {
    if (id && malloc) malloc->Free(id);
    id = nullptr;
  }
};
}  // namespace

bool TSHBrowseForFolderEx::Execute() {
  std::shared_ptr<Session> s = begin();
  if (!s) return false;
  shell::PItemIDList chosen = nullptr;
  {
    SelectIdCleanup cleanup{FSelectID, s->malloc};
    FSelectID = GetSelectFolderID();
    chosen = TFolderBrowseDialog::BrowseForFolder(shell(), s->info);
  }
  return finish(*s, chosen);
}

void TSHBrowseForFolderEx::Open() {
  if (open_) return;
  std::shared_ptr<Session> s = begin();
  if (!s) {
    emit Finished(false);
    return;
  }
  SelectIdCleanup cleanup{FSelectID, s->malloc};
  FSelectID = GetSelectFolderID();
  open_ = true;
  QPointer<TSHBrowseForFolderEx> self(this);
  TFolderBrowseDialog::OpenForFolder(shell(), s->info, [self, s](shell::PItemIDList chosen) {
    if (!self) {
      if (chosen) s->malloc->Free(chosen);
      return;
    }
    self->open_ = false;
    emit self->Finished(self->finish(*s, chosen));
  });
}

void TSHBrowseForFolderEx::DoSelectionChanged(QWidget* Wnd, const QString& Path, QString& ShowText,
                                              TOKButtonState& OKButtonState) {
  if (OnSelectionChanged) OnSelectionChanged(this, Wnd, Path, ShowText, OKButtonState);
}

int TSHBrowseForFolderEx::BrowseCallback(TFolderBrowseDialog* Wnd, int uMsg, shell::PItemIDList lParam,
                                         QObject* lpData) {
  auto* self = qobject_cast<TSHBrowseForFolderEx*>(lpData);
  if (!self || !Wnd) return 0;
  QString path;
  QString showText;
  TOKButtonState okState = obsNoChange;
  if (uMsg == TFolderBrowseDialog::BFFM_INITIALIZED) {
    if (self->FSelectID) Wnd->setSelection(self->FSelectID);
    switch (self->FShowStyle) {
      case ssCenterScreen: {
        // By the outer frame, also once the window manager has framed it.
        const QScreen* s = QGuiApplication::primaryScreen();
        const std::optional<QRect> area = s ? std::optional<QRect>(s->availableGeometry()) : std::nullopt;
        window_frame::placeByFrame(Wnd, [Wnd, area](const QMargins& m) {
          const QRect outer(Wnd->pos(), Wnd->size().grownBy(m));
          const auto p = placement::centerOnWorkArea(outer, area);
          return p ? QRect(*p, outer.size()) : outer;
        });
        break;
      }
      case ssClient: {
        QWidget* owner = qobject_cast<QWidget*>(self->parent());
        if (owner && owner->isWindow() && owner->internalWinId()) {
          QPoint origin = owner->mapToGlobal(QPoint(0, 0));
          // A main window's client area starts below its menu bar.
          if (auto* mw = qobject_cast<QMainWindow*>(owner); mw && mw->menuWidget() && mw->menuWidget()->isVisible())
            origin.ry() += mw->menuWidget()->height();
          window_frame::placeByFrame(Wnd, [Wnd, origin](const QMargins& m) {
            return placement::moveToOwnerClient(QRect(Wnd->pos(), Wnd->size().grownBy(m)), origin);
          });
        }
        break;
      }
      case ssNone:
        break;
    }
  } else if (uMsg == TFolderBrowseDialog::BFFM_SELCHANGED) {
    if (const std::optional<QString> p = self->shell().GetPathFromIDList(lParam)) path = *p;
    self->DoSelectionChanged(Wnd, path, showText, okState);
  }
  if (self->FShowPath) showText = path;
  Wnd->setStatusText(showText);
  if (okState == obsEnable)
    Wnd->enableOK(true);
  else if (okState == obsDisable)
    Wnd->enableOK(false);
  return 0;
}
