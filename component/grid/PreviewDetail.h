#pragma once

#include "platform/records/KeyedRecord.h"

#include <QString>

namespace zpp::controls {
class LedgerGrid;
}

namespace zpp {

// Feeds a ledger its caption row and data rows on request, from column definitions
// ("Text", "FieldName", "ColWidth", "ColHidden", "CellType") and the rows shown.
class PreviewDetail {
public:
    RecordListPtr FieldInfoVct;
    RecordListPtr FieldDataVct;
    controls::LedgerGrid* LDG = nullptr;

    // One data row (ledger row >= 2): each column's value with trailing blanks removed,
    // followed by "|". The column argument is not used: a row is always given whole.
    void DRowData(qint32 row, qint32 col, QString& text) const;
    // The caption row: each column's caption followed by "|"; also gives the ledger its
    // column widths, hidden states and cell types.
    void TRowData(qint32 row, QString& text) const;
    // The ledger's rows: the caption row plus one per record.
    void TakeJournalData(QVariant& result) const;
    // The ledger's columns: one per definition.
    void GetTitleInfo() const;
};

} // namespace zpp
