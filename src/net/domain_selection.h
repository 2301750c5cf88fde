#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/timer.h"
#include "net/domain_finder.h"

namespace vantrel {

// The domain finder dialog as a model: one row per candidate domain (disabled until its lookup
// found it free), a last row for a different domain, the progress of the lookups, and the
// choice it leaves in the finder's selected result. A view shows it and forwards the user's
// input; `changed` tells it that TimerQuery updated rows or progress.
class DomainSelection {
  public:
    static constexpr const char* kCaption = "Vantrel FREE e-mail service";
    static constexpr const char* kGroupCaption = "  Available Domains  ";
    static constexpr const char* kRegister = "Register";
    static constexpr const char* kDecline = "I\u2019d like a different domain";
    static constexpr const char* kCancel = "I don\u2019t need a personalized domain";
    static constexpr const char* kStatus = "Domain searching status:";
    static constexpr const char* kLabel1 =
        "Vantrel has found free Internet domains made from your name.";
    static constexpr const char* kLabel2 =
        "Choose one to get your own personalized address for your FREE e-mail.";
    static constexpr EventLoop::Millis kQueryInterval = 100;

    struct Row {
        std::string text;
        bool enabled = false;
    };

    DomainSelection(EventLoop& loop, DomainFinder& finder);

    // Fills the rows, preselects the first free one, clears the result and starts TimerQuery.
    void FormCreate();
    void TimerQueryTimer();
    // Sets the result from the selected row; false (nothing chosen yet) keeps the dialog open.
    bool BTNOkClick();

    const std::vector<Row>& rows() const { return rows_; }
    std::optional<size_t> selectedRow() const { return selected_; }
    // Only enabled rows can be selected.
    void selectRow(size_t row);
    int progress() const;  // 0..100
    bool querying() const { return TimerQuery.enabled(); }

    std::function<void()> changed;
    Timer TimerQuery;

  private:
    bool isLastRow(size_t row) const { return row + 1 == rows_.size(); }

    DomainFinder& finder_;
    std::vector<Row> rows_;
    std::optional<size_t> selected_;
};

}  // namespace vantrel
