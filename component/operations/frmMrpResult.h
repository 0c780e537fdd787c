#pragma once

#include "component/grid/PreviewDetail.h"
#include "platform/records/KeyedRecord.h"
#include "platform/records/RecordSet.h"

#include <QDialog>

class QLabel;
class QToolBar;

namespace zpp {
namespace controls {
class LedgerGrid;
}

// The purchase orders a push created: supplier, bill number and date per order. "Modify",
// a double click or Enter opens the selected order in the bill window; when the user changed
// it there, the list is read again. "Print", "PrintView", "ExportPdf" and "Export" (Excel) put
// out the selected order as a document for its supplier; "ExportAllPdf" writes every order
// as a PDF into a folder.
class frmMrpResult : public QDialog {
    Q_OBJECT
public:
    explicit frmMrpResult(QWidget* parent = nullptr);

    // Set before showing: the created orders' interior IDs as the push returned them, and
    // their records (FSupplyName, FBillNO, FDate, FInterID).
    QString OrderInterID;
    RecordListPtr FieldDataVct;

    // Lays out the columns and shows FieldDataVct; showing the window runs it.
    void Load();
    // Opens the order of the ledger's current row in the bill window.
    void OpenSelectedOrder();
    void ToolClick(const QString& key);
    // A line above the orders (what the push left out); hidden while empty.
    void SetNote(const QString& note);

    // The column descriptions shown.
    static RecordListPtr ResultColumns();

    controls::LedgerGrid* grdLedger;
    QToolBar* barProc1;
    QLabel* lblNote;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The interior ID of the order at the ledger's current row; 0, having said so, when none.
    qint64 SelectedOrderId() const;
    // Gives the ledger the records again and moves to a data row.
    void ShowRows(int currentRow);

    PreviewDetail m_preview;
    RecordSetPtr m_orders; // the order list last fetched for the bill window
    bool m_loaded = false;
};

// Shows the created orders modally, under a note when there is one.
void ShowPushResult(const QString& orderIds, const RecordListPtr& orders, const QString& note = {});

} // namespace zpp
