#pragma once

#include "CellColumn.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <functional>
#include <vector>

namespace zpp::controls {

// The ledger's cells and the table model the view reads. Sheet rows and columns are
// 1-based; row 1 holds the captions and view row i shows sheet row i + 2.
// Own texts live in per-column arenas sized on first use, so a sheet of 100,000 served rows
// costs nothing per cell; rows without own texts are asked for and kept in a small cache.
class LedgerSheet : public QAbstractTableModel {
public:
    // Answers a row's texts; false when nobody is there to answer, so nothing is cached.
    using RowServer = std::function<bool(int row, QString* text)>;

    struct Column {
        double width = 10;
        bool hidden = false;
        int type = 0;
    };

    explicit LedgerSheet(QObject* parent = nullptr);

    void SetServer(RowServer server) { m_server = std::move(server); }
    // Answers one cell of a row without texts of its own; while set, it serves rows instead of
    // the row server. Setting or clearing it forgets the rows served so far.
    using CellReader = std::function<QString(int row, int col)>;
    void SetCellReader(CellReader reader);

    int Rows() const { return m_rows; }
    int Cols() const { return static_cast<int>(m_cols.size()); }
    void SetRows(int rows);
    void SetCols(int cols);
    bool HasCol(int col) const { return col >= 1 && col <= Cols(); }
    Column& Col(int col) { return m_cols[col - 1]; }
    const Column& Col(int col) const { return m_cols[col - 1]; }

    // A view of a cell's text; it stays valid until texts change or another row is served
    // into the same cache slot, which is enough to draw one row.
    QStringView Cell(int row, int col) const;
    QString Text(int row, int col) const { return Cell(row, col).toString(); }
    void SetText(int row, int col, QStringView text);
    // Drops own texts and served rows alike: every row is asked for again.
    void ClearTexts();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Served {
        int row = 0; // 0: slot empty
        QString text;
        std::vector<std::pair<qsizetype, qsizetype>> cells; // start, length in text
    };
    // A view paints a screenful of rows column by column and print asks row by row; 64 slots
    // by row number cover both without ever asking twice for a row on screen.
    static constexpr int kSlots = 64;

    bool OwnRow(int row) const { return row - 1 < static_cast<int>(m_own.size()) && m_own[row - 1]; }
    const Served& Serve(int row) const;
    // Bulk fills write millions of cells: the view hears of them once, after the fill.
    void NoteChanged(int row, int col);
    void FlushChanged();

    int m_rows = 0;
    std::vector<Column> m_cols;
    std::vector<detail::CellColumn> m_texts; // by column; sized to the rows on first write
    std::vector<bool> m_own;                 // by row; sized on first write
    mutable std::array<Served, kSlots> m_served;
    RowServer m_server;
    CellReader m_cellReader;

    bool m_flushQueued = false;
    int m_dirtyTop = 0, m_dirtyBottom = 0, m_dirtyLeft = 0, m_dirtyRight = 0;
};

} // namespace zpp::controls
