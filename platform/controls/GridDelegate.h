#pragma once

#include <QStyledItemDelegate>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::controls::detail {

class GridModel;

// Editors by cell type: a calendar date edit, a number line edit bounded by the column's
// decimals and range, a plain line edit for text; check boxes toggle in place and are
// drawn centred. Locked cells get no editor.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(GridModel* model, SpreadGrid* grid, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool eventFilter(QObject* editor, QEvent* event) override;

private:
    bool IsCheckBox(const QModelIndex& index) const;
    void Toggle(QAbstractItemModel* model, const QModelIndex& index);

    GridModel* m_model;
    SpreadGrid* m_grid;
};

} // namespace zpp::controls::detail
