#include "net/domain_selection.h"

#include <cmath>

namespace vantrel {

namespace {
constexpr size_t kShortestOfferedLabel = 3;
}

DomainSelection::DomainSelection(EventLoop& loop, DomainFinder& finder)
    : TimerQuery(loop, kQueryInterval, [this] { TimerQueryTimer(); }), finder_(finder) {}

void DomainSelection::FormCreate() {
    rows_.clear();
    selected_.reset();
    for (const auto& label : finder_.labels()) {
        if (label.size() < kShortestOfferedLabel) continue;
        for (const auto suffix : kDomainSuffixes) {
            Row row{label + std::string(suffix), finder_.IsDomainFree(label + std::string(suffix))};
            if (row.enabled && !selected_) selected_ = rows_.size();
            rows_.push_back(std::move(row));
        }
    }
    rows_.push_back({kDecline, true});
    finder_.selectedResult.clear();
    TimerQuery.setEnabled(finder_.finishedCount() < finder_.startedCount());
}

void DomainSelection::TimerQueryTimer() {
    for (size_t row = 0; row + 1 < rows_.size(); ++row) {
        if (finder_.IsDomainFree(rows_[row].text)) rows_[row].enabled = true;
    }
    if (finder_.finishedCount() >= finder_.startedCount()) TimerQuery.setEnabled(false);
    if (auto handler = changed) handler();
}

void DomainSelection::selectRow(size_t row) {
    if (row < rows_.size() && rows_[row].enabled) selected_ = row;
}

int DomainSelection::progress() const {
    if (finder_.startedCount() == 0) return 0;
    return int(std::lround(100.0 * finder_.finishedCount() / finder_.startedCount()));
}

bool DomainSelection::BTNOkClick() {
    if (!selected_) return false;
    finder_.selectedResult =
        isLastRow(*selected_) ? DomainFinder::kOtherResult : rows_[*selected_].text;
    TimerQuery.setEnabled(false);
    return true;
}

}  // namespace vantrel
