#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp {

// The controller behind the plan list window: reloads the rows from the planning service,
// fills the grid, and carries out the list-level commands.
class ClsPurchasePlanUI {
public:
    ClsPurchasePlanUI();
    ~ClsPurchasePlanUI();

    void SetSpread(controls::SpreadGrid* grid) { Spread = grid; }
    void SetFieldDataVct(RecordListPtr rows) { FieldDataVct = std::move(rows); }
    const RecordListPtr& Rows() const { return FieldDataVct; }
    // The rows as the last Refresh read them, whatever view the grid shows since; a save
    // compares against them to send only what this list changed.
    const RecordListPtr& Loaded() const { return LoadedRows; }

    // Fetches the rows for the current filter conditions, or for one plan bill when the
    // bill number is not empty, and shows them. Failures propagate; the rows shown stay.
    void Refresh(QString& billNo);
    void SelectAll();
    void UnSelectAll();
    void FillCol();
    // Folds the rows into merged rows; false when refused or declined.
    bool Merge();
    void UnMerge();
    // Shows the filter dialog again and reloads on confirmation.
    void ShowFilter();
    void ShowHideCol();
    // Supplier checks and lookups of the active cell.
    void GetRightSupply(qint32 col, qint32 row, qint32 rememberedSupplierId);
    void GetSupply();

    // Checks whether a list may be merged: ok, or a question to ask, or a refusal.
    // "CGSrcPrice" of the shared INI file: 1 asks the price service for the last purchase price.
    static qint32 PriceSourceSetting();
    static void CheckMergeLimits(const RecordListPtr& rows, bool& ok, bool& ask, QString& message);
    bool WriteIniValue(const QString& section, const QString& key, const QString& value) const;

    QString IniFile;
    qint32 FormatID = 0;
    QString ReportTitle;
    qint32 FormatOwner = 0;
    qint32 CurSupplierID = 0;

private:
    void LoadGrid();
    // Ticks or clears every tick box that is not locked.
    void SetAllTicks(const QString& value);

    controls::SpreadGrid* Spread = nullptr;
    RecordListPtr FieldDataVct;
    RecordListPtr LoadedRows;
};

} // namespace zpp
