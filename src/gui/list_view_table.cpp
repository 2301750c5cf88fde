#include "gui/list_view_table.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include "engine/domain_lists.h"

namespace vantrel::gui {

ListViewModel::ListViewModel(const ListView& view, QStringList headers, QObject* parent)
    : QAbstractTableModel(parent),
      view_(view),
      headers_(std::move(headers)),
      shownRevision_(view.revision()) {}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.rowCount());
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto column = static_cast<size_t>(index.column());
    if (row >= view_.rowCount() || column >= view_.row(row).size()) return {};
    const std::string& text = view_.row(row)[column];
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (section < 0 || section >= headers_.size()) return {};
    return headers_[section];
}

bool ListViewModel::follow() {
    if (shownRevision_ == view_.revision()) return false;
    beginResetModel();
    shownRevision_ = view_.revision();
    endResetModel();
    return true;
}

ListViewTable::ListViewTable(ListView& view, QStringList headers, Handlers handlers,
                             QWidget* parent)
    : QTableView(parent),
      view_(view),
      model_(view, std::move(headers), this),
      handlers_(std::move(handlers)) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    // Only a selected row is the model's: Qt also moves its current row by itself (to the first
    // row when the list takes the focus), which selects nothing.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (following_) return;
        const QModelIndexList rows = selectionModel()->selectedRows();
        view_.select(rows.isEmpty() ? -1 : rows.first().row());
    });
    follow();
}

void ListViewTable::follow() {
    following_ = true;
    model_.follow();
    const int shown =
        currentIndex().isValid() && selectionModel()->hasSelection() ? currentIndex().row() : -1;
    if (shown != view_.selected()) {
        if (view_.selected() < 0) {
            selectionModel()->clearSelection();
            selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
        } else {
            selectRow(view_.selected());
        }
    }
    following_ = false;
}

void ListViewTable::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    // No row is marked as current that the user did not choose.
    if (view_.selected() < 0) selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
}

void ListViewTable::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        if (handlers_.keyDown) handlers_.keyDown(DomainLists::kDeleteKey);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ListViewTable::contextMenuEvent(QContextMenuEvent* event) {
    if (!handlers_.deleteClick) return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Delete"), [this] { handlers_.deleteClick(); });
    menu.exec(event->globalPos());
}

void ListViewTable::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (handlers_.doubleClick) handlers_.doubleClick();
}

}  // namespace vantrel::gui
