#include "PreviewDetail.h"

#include "component/host/Lang.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/records/Values.h"

namespace zpp {

namespace {

QString CellText(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDate)
        return values::DisplayDate(value.toDate());
    if (value.metaType().id() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    QString text = value.toString();
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    text.truncate(end);
    return text;
}

} // namespace

void PreviewDetail::DRowData(qint32 row, qint32, QString& text) const {
    text.clear();
    if (!FieldDataVct || !FieldInfoVct || row < 2 || row - 1 > FieldDataVct->Count())
        return;
    // Read in place: printing every row must not turn compact rows into records.
    for (const RecordPtr& def : *FieldInfoVct) {
        text += CellText(FieldDataVct->ValueOf(row - 1, def->Text(QStringLiteral("FieldName")), QString()));
        text += u'|';
    }
}

void PreviewDetail::TRowData(qint32, QString& text) const {
    text.clear();
    if (!FieldInfoVct)
        return;
    int col = 0;
    for (const RecordPtr& def : *FieldInfoVct) {
        ++col;
        // Captions read in the log-in language, as the grid shows them.
        text += GetLangString(def->Text(QStringLiteral("Text"))) + u'|';
        if (!LDG)
            continue;
        if (def->Exists(QStringLiteral("ColWidth")))
            LDG->SetColWidth(col, def->Get(QStringLiteral("ColWidth")).toDouble());
        if (def->Exists(QStringLiteral("ColHidden")))
            LDG->SetColHidden(col, def->Get(QStringLiteral("ColHidden")).toBool());
        if (def->Exists(QStringLiteral("CellType")))
            LDG->SetColCellType(col, values::ToInt32(values::Val(def->Get(QStringLiteral("CellType")))));
    }
}

void PreviewDetail::TakeJournalData(QVariant&) const {
    if (!LDG)
        return;
    LDG->SetMaxRows(1);
    if (FieldDataVct && FieldDataVct->Count() > 0)
        LDG->SetMaxRows(FieldDataVct->Count() + 1);
}

void PreviewDetail::GetTitleInfo() const {
    if (LDG)
        LDG->SetMaxCols(FieldInfoVct ? FieldInfoVct->Count() : 0);
}

} // namespace zpp
