#pragma once

// Which match of how many a search shows, for an engine that tells only
// how many matches there are and whether a step found one: a new search
// stands on the first match, each step moves one on, wrapping at the ends.
class FindPosition {
 public:
  // A new text (or new options): the next match found is the first.
  void begin() {
    fresh_ = true;
    current_ = 0;
  }
  // A step found a match (backward: the previous one).
  void found(bool backward);
  // The text is not on the page.
  void failed() { current_ = total_ = 0; }
  // The engine counted the matches.
  void counted(int total);

  int current() const { return current_; }
  int total() const { return total_; }

 private:
  bool fresh_ = true;
  int current_ = 0;
  int total_ = 0;
};
