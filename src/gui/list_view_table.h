#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <cstdint>
#include <functional>

#include "engine/list_view.h"

namespace vantrel::gui {

// A ListView model as Qt's table model. Rows are read from the model on demand, so a long kill
// log costs nothing until it is scrolled into sight.
class ListViewModel : public QAbstractTableModel {
  public:
    ListViewModel(const ListView& view, QStringList headers, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Redraws when the rows changed since the last call; true then.
    bool follow();

  private:
    const ListView& view_;
    QStringList headers_;
    std::uint64_t shownRevision_;
};

// A report-style list bound to a ListView: shows its rows and selected row, and forwards the
// user's selection, the Delete key, the context menu's "Delete" and double clicks.
class ListViewTable : public QTableView {
  public:
    struct Handlers {
        std::function<void(int keyCode)> keyDown;  // LVKeyDown with the virtual-key code
        std::function<void()> deleteClick;         // the context menu's "Delete"
        std::function<void()> doubleClick;
    };

    ListViewTable(ListView& view, QStringList headers, Handlers handlers, QWidget* parent);

    // Brings rows and selection in line with the model.
    void follow();
    ListViewModel& listModel() { return model_; }

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    ListView& view_;
    ListViewModel model_;
    Handlers handlers_;
    bool following_ = false;  // selection changes made by follow() are not the user's
};

}  // namespace vantrel::gui
