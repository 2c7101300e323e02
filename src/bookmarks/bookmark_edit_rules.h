#pragma once

#include <QString>
#include <QStringList>

#include "bookmarks/bookmark_tree.h"

namespace bookmarks {

// The bookmark editor's rules: loading, adding, deleting and the save walk,
// over the editor's tree and the address list kept beside it (one entry per
// node in pre-order, so a node's absolute index is its position in the list).
//
// `Tree` adapts the tree that holds the nodes; Node{} stands for "none" and,
// as a parent, for the top level:
//   using Node = ...;
//   int childCount(Node parent) const;
//   Node child(Node parent, int row) const;
//   Node parent(Node node) const;
//   int row(Node node) const;
//   bool isFolder(Node node) const;      // by its image, as the editor shows it
//   QString caption(Node node) const;
//   Node insert(Node parent, int row, const QString& caption, bool folder);
//   void remove(Node node);              // with its whole subtree
template <class Tree>
class BookmarkEditRules {
 public:
  using Node = typename Tree::Node;

  // Where a new node goes: as child `row` of `parent`, with its address-list
  // entry at `urlIndex` (the absolute index the new node gets).
  struct Placement {
    Node parent{};
    int row = 0;
    qsizetype urlIndex = 0;
  };

  BookmarkEditRules(Tree& tree, QStringList& urls) : tree_(tree), urls_(urls) {}

  // Appends the entries at the end of the top level, in pre-order, with
  // their address-list entries (a folder's is the marker).
  void load(const BookmarkTree& entries) { loadInto(Node{}, entries); }

  // Add and Make folder place the new node by the current node: before a
  // link, in the same folder; as the first entry of a folder, empty or not.
  // With no node at all it goes to the top level.
  Placement place(Node current) const {
    if (current == Node{}) return {Node{}, 0, 0};
    if (!tree_.isFolder(current)) return {tree_.parent(current), tree_.row(current), absoluteIndex(current)};
    return {current, 0, absoluteIndex(current) + 1};
  }

  // Inserts a node placed by `current` and its address-list entry `url`.
  Node insert(Node current, const QString& caption, bool folder, const QString& url) {
    const Placement p = place(current);
    urls_.insert(p.urlIndex, url);
    return tree_.insert(p.parent, p.row, caption, folder);
  }

  // Deletes the node with its subtree and their address-list entries.
  void remove(Node node) {
    if (node == Node{}) return;
    const qsizetype at = absoluteIndex(node);
    const qsizetype n = subtreeSize(node);
    tree_.remove(node);
    urls_.remove(at, qMin(n, urls_.size() - at));
  }

  // The save walk: the whole tree in order. A node with entries is a folder;
  // a node without is a folder when it is shown as one (so an emptied or new
  // folder stays a folder), else a link with its address-list entry.
  BookmarkTree collect() const {
    qsizetype index = 0;
    return collectFrom(Node{}, index);
  }

  qsizetype absoluteIndex(Node node) const {
    qsizetype index = 0;
    for (Node n = node; n != Node{}; n = tree_.parent(n)) {
      const Node p = tree_.parent(n);
      for (int r = 0, end = tree_.row(n); r < end; ++r) index += subtreeSize(tree_.child(p, r));
      if (p != Node{}) index += 1;
    }
    return index;
  }

  qsizetype subtreeSize(Node node) const {
    qsizetype n = 1;
    for (int r = 0, end = tree_.childCount(node); r < end; ++r) n += subtreeSize(tree_.child(node, r));
    return n;
  }

 private:
  void loadInto(Node parent, const BookmarkTree& entries) {
    for (const BookmarkEntry& e : entries) {
      const Node n = tree_.insert(parent, tree_.childCount(parent), e.name, e.isFolder());
      urls_ << (e.isFolder() ? kFolderMarker : e.address);
      if (e.isFolder()) loadInto(n, e.entries);
    }
  }

  BookmarkTree collectFrom(Node parent, qsizetype& index) const {
    BookmarkTree out;
    const int count = tree_.childCount(parent);
    out.reserve(size_t(count));
    for (int r = 0; r < count; ++r) {
      const Node n = tree_.child(parent, r);
      const qsizetype at = index++;
      if (tree_.childCount(n) > 0 || tree_.isFolder(n)) {
        out.push_back(BookmarkEntry::folder(tree_.caption(n), collectFrom(n, index)));
      } else {
        out.push_back(BookmarkEntry::link(tree_.caption(n), at < urls_.size() ? urls_[at] : QString()));
      }
    }
    return out;
  }

  Tree& tree_;
  QStringList& urls_;
};

}  // namespace bookmarks
