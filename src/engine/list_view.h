#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Model of a report-style list view: rows of text columns and at most one selected row.
// A view (Qt or a test) shows it and forwards the user's selection into it.
class ListView {
  public:
    using Row = std::vector<std::string>;

    const std::vector<Row>& rows() const { return rows_; }
    size_t rowCount() const { return rows_.size(); }
    const Row& row(size_t index) const { return rows_.at(index); }

    void addRow(Row row) {
        rows_.push_back(std::move(row));
        ++revision_;
    }
    // Inserts before `index` (at the end when past it); the selected row stays selected.
    void insertRow(size_t index, Row row);
    void removeRow(size_t index);
    void clear();

    // -1 when no row is selected.
    int selected() const { return selected_; }
    void select(int index);

    // Raised by every change of the rows, so a view can tell cheaply that it must redraw.
    std::uint64_t revision() const { return revision_; }

  private:
    std::vector<Row> rows_;
    int selected_ = -1;
    std::uint64_t revision_ = 0;
};

}  // namespace vantrel
