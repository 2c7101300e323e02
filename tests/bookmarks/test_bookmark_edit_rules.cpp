// The editor's rules without a display: where Add and Make folder put the new
// node, that deleting keeps the address list aligned, and what the save walk
// hands to the writer.
#include <QRandomGenerator>
#include <QTest>
#include <functional>
#include <memory>

#include "bookmark_test_util.h"
#include "bookmarks/bookmark_edit_rules.h"

using namespace bmtest;

namespace {

// A plain tree standing in for the editor's tree view.
struct PNode {
  QString caption;
  bool folder = false;
  PNode* parent = nullptr;
  std::vector<std::unique_ptr<PNode>> kids;
};

struct PlainTree {
  using Node = PNode*;
  PNode root;

  PNode* holder(Node p) { return p ? p : &root; }
  const PNode* holder(Node p) const { return p ? p : &root; }
  int childCount(Node p) const { return int(holder(p)->kids.size()); }
  Node child(Node p, int row) const { return holder(p)->kids[size_t(row)].get(); }
  Node parent(Node n) const { return n->parent == &root ? nullptr : n->parent; }
  int row(Node n) const {
    const auto& k = n->parent->kids;
    for (size_t i = 0; i < k.size(); ++i)
      if (k[i].get() == n) return int(i);
    return -1;
  }
  bool isFolder(Node n) const { return n->folder; }
  QString caption(Node n) const { return n->caption; }
  Node insert(Node p, int row, const QString& caption, bool folder) {
    auto node = std::make_unique<PNode>();
    node->caption = caption;
    node->folder = folder;
    node->parent = holder(p);
    Node raw = node.get();
    holder(p)->kids.insert(holder(p)->kids.begin() + row, std::move(node));
    return raw;
  }
  void remove(Node n) { n->parent->kids.erase(n->parent->kids.begin() + row(n)); }

  Node find(const QString& caption, Node from = nullptr) {
    for (auto& k : holder(from)->kids) {
      if (k->caption == caption) return k.get();
      if (Node n = find(caption, k.get())) return n;
    }
    return nullptr;
  }
  void all(QList<Node>& out, Node from = nullptr) {
    for (auto& k : holder(from)->kids) {
      out << k.get();
      all(out, k.get());
    }
  }
};

using Rules = bookmarks::BookmarkEditRules<PlainTree>;

const BookmarkTree kFile{
    E::link(QStringLiteral("first"), QStringLiteral("u-first")),
    E::folder(QStringLiteral("full"),
              {E::link(QStringLiteral("a"), QStringLiteral("u-a")), E::folder(QStringLiteral("empty"))}),
    E::link(QStringLiteral("last"), QStringLiteral("u-last")),
};

}  // namespace

class TestBookmarkEditRules : public QObject {
  Q_OBJECT

 private slots:
  void loadsInPreOrderAndSavesBack() {
    PlainTree t;
    QStringList urls;
    Rules rules(t, urls);
    rules.load(kFile);
    QCOMPARE(urls, (QStringList{"u-first", bookmarks::kFolderMarker, "u-a", bookmarks::kFolderMarker, "u-last"}));
    QCOMPARE(rules.absoluteIndex(t.find("last")), qsizetype(4));
    QCOMPARE(rules.absoluteIndex(t.find("empty")), qsizetype(3));
    // Saved unchanged, the empty folder included.
    COMPARE_TREES(rules.collect(), kFile);
  }

  void addBeforeLinkIntoFolderAndIntoEmptyFolder() {
    PlainTree t;
    QStringList urls;
    Rules rules(t, urls);
    rules.load(kFile);

    // A link is current: the new one goes just above it, same folder.
    rules.insert(t.find("a"), "new1", false, "u-new1");
    // A folder with entries: the new one becomes its first entry.
    rules.insert(t.find("full"), "new2", false, "u-new2");
    // An empty folder: the new one becomes its only entry.
    rules.insert(t.find("empty"), "new3", false, "u-new3");
    // A top-level link.
    rules.insert(t.find("first"), "new4", false, "u-new4");

    const BookmarkTree expected{
        E::link("new4", "u-new4"),
        E::link("first", "u-first"),
        E::folder("full", {E::link("new2", "u-new2"), E::link("new1", "u-new1"), E::link("a", "u-a"),
                           E::folder("empty", {E::link("new3", "u-new3")})}),
        E::link("last", "u-last"),
    };
    COMPARE_TREES(rules.collect(), expected);
    QCOMPARE(urls.size(), qsizetype(9));
  }

  void madeFolderStaysFolderWhenEmpty() {
    PlainTree t;
    QStringList urls;
    Rules rules(t, urls);
    rules.load(kFile);
    // Make folder takes the address field as its filler; it never becomes
    // a link with that address.
    rules.insert(t.find("last"), QStringLiteral("新しいフォルダ"), true, "http://typed/");
    BookmarkTree saved = rules.collect();
    QCOMPARE(saved[2], E::folder(QStringLiteral("新しいフォルダ")));
    // Once it holds an entry it is a folder in any reading.
    rules.insert(t.find(QStringLiteral("新しいフォルダ")), "in", false, "u-in");
    saved = rules.collect();
    QCOMPARE(saved[2], E::folder(QStringLiteral("新しいフォルダ"), {E::link("in", "u-in")}));
  }

  void deletingKeepsAddressesAligned() {
    PlainTree t;
    QStringList urls;
    Rules rules(t, urls);
    rules.load(kFile);
    rules.remove(t.find("full"));  // the folder and its whole subtree
    COMPARE_TREES(rules.collect(), (BookmarkTree{E::link("first", "u-first"), E::link("last", "u-last")}));
    QCOMPARE(urls, (QStringList{"u-first", "u-last"}));

    // A folder emptied by deleting its entries stays a folder.
    PlainTree t2;
    QStringList urls2;
    Rules rules2(t2, urls2);
    rules2.load(kFile);
    rules2.remove(t2.find("a"));
    rules2.remove(t2.find("empty"));
    COMPARE_TREES(rules2.collect(),
                  (BookmarkTree{E::link("first", "u-first"), E::folder("full"), E::link("last", "u-last")}));
  }

  void emptyTreeTakesTheTopLevel() {
    PlainTree t;
    QStringList urls;
    Rules rules(t, urls);
    rules.insert(nullptr, "one", false, "u1");
    rules.insert(nullptr, "dir", true, "filler");
    rules.insert(t.find("dir"), "two", false, "u2");
    rules.remove(nullptr);  // nothing current: nothing happens
    COMPARE_TREES(rules.collect(), (BookmarkTree{E::folder("dir", {E::link("two", "u2")}), E::link("one", "u1")}));
  }

  void randomEditsNeverMixUpAddresses() {
    // Every link's address is derived from its caption; after any sequence
    // of adds, folders and deletes each link must still carry its own.
    QRandomGenerator rng(20261209);
    for (int round = 0; round < 40; ++round) {
      PlainTree t;
      QStringList urls;
      Rules rules(t, urls);
      int serial = 0;
      for (int step = 0; step < 120; ++step) {
        QList<PNode*> nodes;
        t.all(nodes);
        PNode* cur = nodes.isEmpty() || rng.bounded(8) == 0 ? nullptr : nodes[rng.bounded(int(nodes.size()))];
        const int op = rng.bounded(10);
        const QString name = QString::number(serial++);
        if (op < 5)
          rules.insert(cur, name, false, "u" + name);
        else if (op < 8)
          rules.insert(cur, "d" + name, true, "filler" + name);
        else
          rules.remove(cur);
        QList<PNode*> after;
        t.all(after);
        QCOMPARE(urls.size(), qsizetype(after.size()));
      }
      QList<PNode*> nodes;
      t.all(nodes);
      QCOMPARE(urls.size(), qsizetype(nodes.size()));
      std::function<void(const BookmarkTree&)> check = [&](const BookmarkTree& tree) {
        for (const BookmarkEntry& e : tree) {
          if (e.isFolder()) {
            QVERIFY(e.name.startsWith(u'd'));
            check(e.entries);
          } else {
            QCOMPARE(e.address, "u" + e.name);
          }
        }
      };
      check(rules.collect());
    }
  }
};

QTEST_APPLESS_MAIN(TestBookmarkEditRules)
#include "test_bookmark_edit_rules.moc"
