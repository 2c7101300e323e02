#include "engine/find_position.h"

void FindPosition::found(bool backward) {
  if (fresh_) {
    fresh_ = false;
    current_ = 1;
  } else if (backward) {
    current_ = current_ <= 1 && total_ > 0 ? total_ : current_ - 1;
  } else {
    current_ = total_ > 0 && current_ >= total_ ? 1 : current_ + 1;
  }
  if (current_ < 1) current_ = 1;
}

void FindPosition::counted(int total) {
  total_ = total > 0 ? total : 0;
  if (total_ == 0)
    current_ = 0;
  else if (current_ > total_)
    current_ = total_;
}
