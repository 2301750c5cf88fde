#include "engine/list_view.h"

#include <algorithm>

namespace vantrel {

void ListView::removeRow(size_t index) {
    if (index >= rows_.size()) return;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    ++revision_;
    if (selected_ == static_cast<int>(index)) {
        selected_ = -1;
    } else if (selected_ > static_cast<int>(index)) {
        --selected_;
    }
}

void ListView::insertRow(size_t index, Row row) {
    index = std::min(index, rows_.size());
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    ++revision_;
    if (selected_ >= static_cast<int>(index)) ++selected_;
}

void ListView::clear() {
    rows_.clear();
    selected_ = -1;
    ++revision_;
}

void ListView::select(int index) {
    selected_ = (index >= 0 && index < static_cast<int>(rows_.size())) ? index : -1;
}

}  // namespace vantrel
