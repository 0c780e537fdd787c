#pragma once

#include "component/grid/PreviewDetail.h"
#include "platform/records/KeyedRecord.h"

#include <QString>
#include <QVector>
#include <memory>
#include <optional>
#include <vector>

namespace zpp::controls {
class SpreadGrid;
class LedgerGrid;
} // namespace zpp::controls
namespace zpp::exporting {
class Exporter;
class ExportRow;
} // namespace zpp::exporting

namespace zpp {

// The controller behind the plan list window: reloads the rows from the planning service,
// fills the grid, and carries out the list-level commands.
class ClsPurchasePlanUI {
public:
    ClsPurchasePlanUI();
    ~ClsPurchasePlanUI();

    void SetSpread(controls::SpreadGrid* grid) { Spread = grid; }
    // The hidden ledger that prints, previews and exports the list.
    void SetLedger(controls::LedgerGrid* ledger) { Ledger = ledger; }
    // The provider that answers the ledger's row requests; a new one after every Refresh.
    const std::shared_ptr<zpp::PreviewDetail>& PreviewDetail() const { return m_preview; }
    void SetFieldDataVct(RecordListPtr rows) { FieldDataVct = std::move(rows); }
    const RecordListPtr& Rows() const { return FieldDataVct; }
    // The rows as the last Refresh read them, whatever view the grid shows since; a save
    // compares against them to send only what this list changed.
    const RecordListPtr& Loaded() const { return LoadedRows; }

    // Fetches the rows for the current filter conditions, or for one plan bill when the
    // bill number is not empty, and shows them. Failures propagate; the rows shown stay.
    // The user may stop a long read; the rows shown then stay as they were.
    void Refresh(QString& billNo);
    // Whether the last Refresh was stopped by the user.
    bool RefreshCancelled() const { return m_cancelled; }
    void SelectAll();
    void UnSelectAll();
    // Fills the active cell's value down the open rows below; true when a cell changed.
    bool FillCol();
    // Folds the rows into merged rows; false when refused or declined.
    bool Merge();
    void UnMerge();
    // Shows the filter dialog again and reloads on confirmation.
    void ShowFilter();
    void ShowHideCol();
    // Supplier checks and lookups of the active cell. With the code the row had before the
    // edit, an unknown or refused code puts it back (and says so) instead of clearing the row.
    void GetRightSupply(qint32 col, qint32 row, qint32 rememberedSupplierId,
                        const std::optional<QString>& previousCode = std::nullopt);
    void GetSupply();

    // Exports the list, or the selected row blocks, through the export component.
    void FileExport();
    // The export component asks for data row rowIndex (from 1).
    void oExport_LoadData(int rowIndex, exporting::ExportRow* row);
    // Print (logged) and preview of the list through the ledger.
    void PrintPre();
    void PrintPreView();
    // Saves the ledger's page settings to the INI file and its header and footer to the profile.
    void SaveLdgSetting();
    // The key of the saved header/footer record.
    QString HeadFootKey() const;

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

    struct SupplierCheck {
        QString Name; // empty: no supplier has the code
        bool MayUse = false;
        qint32 Id = 0;
        double TaxRate = 0;
    };
    // What the services know of a supplier code for the log-in user.
    static SupplierCheck CheckSupplierCode(const QString& code);

private:
    // Writes a checked supplier into a row, with a new price when it is not the remembered one.
    void ApplySupplier(qint32 row, const QString& code, const SupplierCheck& check,
                       qint32 rememberedSupplierId);
    void LoadGrid();
    void BindPreview();
    // The grid rows an export writes: the selected row blocks (selected whole, so the user sees
    // what goes out), or every row. The export reads their cells in place.
    std::vector<int> RowsToExport();
    void CopyGridRangeToLedger();
    void DoPrint(int mode);
    // By grid column (index 0 unused): whether the column is exported.
    QVector<bool> ExportedColumns() const;
    // Ticks or clears every tick box that is not locked.
    void SetAllTicks(const QString& value);

    controls::SpreadGrid* Spread = nullptr;
    controls::LedgerGrid* Ledger = nullptr;
    std::shared_ptr<zpp::PreviewDetail> m_preview;
    std::unique_ptr<exporting::Exporter> oExport;
    QVector<bool> m_exported; // the export's columns, worked out once per export
    std::vector<int> m_exportRows;
    RecordListPtr FieldDataVct;
    RecordListPtr LoadedRows;
    bool m_cancelled = false;
};

} // namespace zpp
