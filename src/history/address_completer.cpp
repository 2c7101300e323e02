#include "history/address_completer.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "bookmarks/bookmark_file.h"
#include "history/history_store.h"
#include "platform/guarded.h"
#include "search/search_rules.h"

namespace history {

namespace {

enum Role { MarkedTitleRole = Qt::UserRole + 1, MarkedUrlRole, BookmarkRole };

// Two lines per page: the title with the typed part marked, then the address.
class CompletionDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    const bool selected = opt.state & QStyle::State_Selected;
    const QString colour = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text).name();
    const QString dim = selected ? colour : opt.palette.color(QPalette::PlaceholderText).name();
    const QString mark = index.data(BookmarkRole).toBool() ? QStringLiteral("★ ") : QString();
    QTextDocument doc;
    doc.setDefaultFont(opt.font);
    doc.setDocumentMargin(2);
    doc.setHtml(
        QStringLiteral("<div style='color:%1'>%2%3</div><div style='color:%4'>%5</div>")
            .arg(colour, mark, index.data(MarkedTitleRole).toString(), dim, index.data(MarkedUrlRole).toString()));
    doc.setTextWidth(opt.rect.width() - 8);
    painter->save();
    painter->translate(opt.rect.topLeft() + QPoint(4, 0));
    painter->setClipRect(QRect(QPoint(0, 0), opt.rect.size()));
    doc.drawContents(painter);
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(200, option.fontMetrics.height() * 2 + 8);
  }
};

}  // namespace

TAddressCompleter::TAddressCompleter(QLineEdit* edit, Store* store) : QObject(edit), edit_(edit), store_(store) {
  // A tool-tip window takes no focus: the typing stays in the address box.
  popup_ = new QFrame(edit, Qt::ToolTip | Qt::FramelessWindowHint);
  popup_->setObjectName(QStringLiteral("CompletionPopup"));
  popup_->setAttribute(Qt::WA_ShowWithoutActivating);
  popup_->setFrameShape(QFrame::Box);
  popup_->setAccessibleName(QStringLiteral("アドレスの候補"));
  auto* layout = new QVBoxLayout(popup_);
  layout->setContentsMargins(1, 1, 1, 1);
  list_ = new QListWidget(popup_);
  list_->setObjectName(QStringLiteral("lstCompletion"));
  list_->setAccessibleName(QStringLiteral("アドレスの候補"));
  list_->setAccessibleDescription(QStringLiteral("履歴とブックマークから。上下キーで選び、Enter キーで開きます"));
  list_->setFocusPolicy(Qt::NoFocus);
  list_->setFrameShape(QFrame::NoFrame);
  list_->setItemDelegate(new CompletionDelegate(list_));
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The list is as tall as its rows, never the view's default minimum.
  list_->setMinimumSize(1, 1);
  layout->addWidget(list_);
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    guarded::run([&] {
      const QString url = item->data(Qt::UserRole).toString();
      edit_->setText(url);
      hide();
      emit chosen(url);
    });
  });

  lookup_ = new QTimer(this);
  lookup_->setSingleShot(true);
  lookup_->setInterval(0);
  connect(lookup_, &QTimer::timeout, this, [this] { guarded::run([this] { refresh(); }); });
  // Only what the user types asks for a list; addresses the frame shows do not.
  connect(edit_, &QLineEdit::textEdited, this, [this] { lookup_->start(); });
  // The frame showing a page's address ends the list made for what was typed.
  connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    // Typing marks the box modified; setText, as the frame uses, does not.
    if (!popup_->isVisible() || edit_->isModified() || text == typed_) return;
    const QListWidgetItem* current = list_->currentItem();
    if (!current || current->data(Qt::UserRole).toString() != text) hide();
  });
  edit_->installEventFilter(this);
}

TAddressCompleter::~TAddressCompleter() = default;

bool TAddressCompleter::isShown() const { return popup_->isVisible(); }

void TAddressCompleter::hide() {
  lookup_->stop();
  popup_->hide();
}

QList<Candidate> TAddressCompleter::bookmarkCandidates() {
  const QFileInfo file(bookmarks::kFileName);
  const QString stamp = file.exists() ? QStringLiteral("%1|%2|%3")
                                            .arg(file.absoluteFilePath())
                                            .arg(file.lastModified().toMSecsSinceEpoch())
                                            .arg(file.size())
                                      : QDir::currentPath();
  if (stamp == bookmarkStamp_) return bookmarks_;
  bookmarkStamp_ = stamp;
  bookmarks_.clear();
  const BookmarkTree tree = bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::LastChild);
  std::function<void(const std::vector<BookmarkEntry>&)> add = [&](const std::vector<BookmarkEntry>& entries) {
    for (const BookmarkEntry& e : entries) {
      if (e.isFolder())
        add(e.entries);
      else if (!e.address.isEmpty())
        bookmarks_.append(Candidate{e.address, e.name, 0, 0, true, 0});
    }
  };
  add(tree);
  return bookmarks_;
}

void TAddressCompleter::refresh() {
  lookup_->stop();
  typed_ = edit_->text();
  if (typed_.trimmed().isEmpty()) {
    hide();
    offered_.clear();
    return;
  }
  QList<Candidate> candidates = bookmarkCandidates();
  if (store_) candidates += store_->completionCandidates(typed_);
  offered_ = rankCompletions(typed_, candidates, QDateTime::currentMSecsSinceEpoch(), kMaxShown);
  // Words that are no address offer their search too, after the pages.
  const std::optional<QString> terms = search::searchTerms(typed_);
  if (offered_.isEmpty() && !terms) {
    hide();
    return;
  }
  list_->clear();
  for (const Candidate& c : offered_) {
    auto* item = new QListWidgetItem(list_);
    const QString title = c.title.isEmpty() ? c.url : c.title;
    item->setData(Qt::UserRole, c.url);
    item->setData(MarkedTitleRole, markedHtml(title, typed_));
    item->setData(MarkedUrlRole, markedHtml(c.url, typed_));
    item->setData(BookmarkRole, c.bookmark);
    // What assistive technology reads.
    item->setText(title + QStringLiteral(" ") + c.url);
    item->setToolTip(c.url);
  }
  if (terms) {
    // Choosing it puts back what was typed, which the box's Enter searches.
    auto* item = new QListWidgetItem(list_);
    const QString caption = QStringLiteral("「%1」を検索").arg(*terms);
    item->setData(Qt::UserRole, typed_);
    item->setData(MarkedTitleRole, caption.toHtmlEscaped());
    item->setData(MarkedUrlRole, QStringLiteral("検索エンジンで検索します"));
    item->setText(caption);
  }
  show();
}

void TAddressCompleter::place() {
  const int rowHeight = list_->sizeHintForRow(0);
  const int height = rowHeight * list_->count() + 2 * list_->frameWidth() + 2;
  QRect r(edit_->mapToGlobal(QPoint(0, edit_->height())), QSize(std::max(edit_->width(), 320), height));
  if (const QScreen* screen = edit_->screen()) {
    const QRect area = screen->availableGeometry();
    if (r.right() > area.right()) r.moveRight(area.right());
  }
  popup_->setGeometry(r);
}

void TAddressCompleter::show() {
  place();
  popup_->show();
  popup_->raise();
}

void TAddressCompleter::moveSelection(int step) {
  const int count = list_->count();
  if (count == 0) return;
  int row = list_->currentRow();
  // Past either end the box gets back what was typed.
  row = row < 0 ? (step > 0 ? 0 : count - 1) : row + step;
  if (row < 0 || row >= count) {
    list_->setCurrentRow(-1);
    list_->clearSelection();
    edit_->setText(typed_);
    return;
  }
  list_->setCurrentRow(row);
  edit_->setText(list_->item(row)->data(Qt::UserRole).toString());
}

void TAddressCompleter::removeSelected() {
  const int row = list_->currentRow();
  if (row < 0 || row >= offered_.size()) return;
  const Candidate c = offered_[row];
  // Only the history forgets; a bookmark stays until the editor removes it.
  if (!c.id || !store_) return;
  store_->removeEntries({c.id});
  offered_.removeAt(row);
  delete list_->takeItem(row);
  edit_->setText(typed_);
  list_->setCurrentRow(-1);
  if (list_->count() == 0)
    hide();
  else
    place();
}

bool TAddressCompleter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return false;
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
      if (!popup_->isVisible()) return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const bool press = event->type() == QEvent::KeyPress;
      const bool shiftDelete = key->key() == Qt::Key_Delete && key->modifiers() == Qt::ShiftModifier;
      switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
          if (press)
            guarded::run([&] { moveSelection(key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown ? 1 : -1); });
          event->accept();
          return true;
        case Qt::Key_Escape:
          // The list closes; Esc stops no page while it is open.
          if (press) {
            edit_->setText(typed_);
            hide();
          }
          event->accept();
          return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
          // The box's own Enter opens what it shows now.
          if (press) hide();
          return false;
        default:
          if (shiftDelete && list_->currentRow() >= 0) {
            if (press) guarded::run([this] { removeSelected(); });
            event->accept();
            return true;
          }
          return false;
      }
    }
    case QEvent::FocusOut:
    case QEvent::Hide:
      hide();
      return false;
    case QEvent::Move:
    case QEvent::Resize:
      if (popup_->isVisible()) place();
      return false;
    default:
      return false;
  }
}

}  // namespace history
