#pragma once

#include <QStackedWidget>

class QListView;
class QTreeView;
class QStandardItemModel;

namespace zpp {

// The scheme list: one column of rows with a text and a key, shown as large icons, small
// icons, a list or details (with the column header). All views share one model and one
// selection. Rows are 1-based and cannot be renamed in place.
class SchemeListView : public QStackedWidget {
    Q_OBJECT
public:
    enum View { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

    explicit SchemeListView(QWidget* parent = nullptr);

    void SetColumnTitle(const QString& title);
    QString ColumnTitle() const;

    void Clear();
    // Appends a row showing the scheme icon; gives its position.
    int AddRow(const QString& text, const QString& key);
    int RowCount() const;
    QString RowText(int row) const;
    QString RowKey(int row) const;
    // The position of the row with the key, 0 when there is none.
    int FindKey(const QString& key) const;
    // The selected row, 0 when none is.
    int SelectedRow() const;
    void SelectRow(int row);

    int ViewMode() const { return m_view; }
    void SetViewMode(int view);

    QListView* IconView() const { return m_icons; }
    QTreeView* DetailView() const { return m_details; }

Q_SIGNALS:
    void RowClicked(int row);

private:
    QStandardItemModel* m_model;
    QListView* m_icons;
    QTreeView* m_details;
    int m_view = LargeIcons;
};

} // namespace zpp
