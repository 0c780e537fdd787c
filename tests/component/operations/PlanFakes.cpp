#include "PlanFakes.h"

#include "component/grid/PlanGrid.h"
#include "component/operations/frmMessage.h"
#include "component/operations/frmResultList.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace zpp::test {

void PlanColumnsFixture::SetUp() {
    PlanFixture::SetUp();
    auto set = RecordList::Create();
    for (int c = 1; c <= col::Count; ++c) {
        auto def = KeyedRecord::Create();
        def->Set("Col", c);
        def->Set("FieldName", PlanFieldNames().at(c - 1));
        set->Add(def);
    }
    State().PlanColumnSet = set;
}

void GridOpsFixture::SetUp() {
    PlanColumnsFixture::SetUp();
    grid.SetMaxCols(col::Count);
    grid.SetColCellType(col::CheckBox, controls::CellType::CheckBox);
    ops.SetSpread(&grid);
    ui::SetModalHandler([this](QDialog& dialog) {
        if (auto* list = qobject_cast<frmResultList*>(&dialog)) {
            ++resultLists;
            title = list->Title();
            lines = list->Lines();
        } else if (auto* m = qobject_cast<frmMessage*>(&dialog)) {
            m->Load();
            messages << m->btnYes->text() + (m->btnNo->isHidden() ? QString() : "/" + m->btnNo->text()) +
                            u':' + m->txtMessage->toPlainText();
        } else {
            ADD_FAILURE() << "unexpected dialog";
        }
        return int(QDialog::Accepted);
    });
}

void GridOpsFixture::Fill(const QVector<Row>& rows) {
    grid.SetMaxRows(rows.size());
    for (int row = 1; row <= rows.size(); ++row) {
        const Row& r = rows[row - 1];
        const int entry = r.entry ? r.entry : row;
        const QPair<int, QString> cells[] = {{col::InterID, QString::number(r.inter)},
                                             {col::EntryID, QString::number(entry)},
                                             {col::Key, QStringLiteral("%1_%2").arg(r.inter).arg(entry)},
                                             {col::CheckBox, r.ticked ? "1" : "0"},
                                             {col::BillNo, r.bill},
                                             {col::ItemNumber, r.item},
                                             {col::ItemID, r.item == "1.01.002" ? "101" : "100"},
                                             {col::Qty, r.qty},
                                             {col::PurchaseUnFinishQty, r.qty},
                                             {col::PushQty, r.push},
                                             {col::SupplyNumber, r.supplier},
                                             {col::SupplyID, r.supplier.isEmpty() ? "0" : "7"},
                                             {col::Price, r.price},
                                             {col::Close, r.close},
                                             {col::FinishDate, r.finish},
                                             {col::IsMerge, "0"}};
        for (const auto& [c, text] : cells)
            grid.SetText(c, row, text);
    }
}

int GridOpsFixture::Calls(const QString& method) const {
    int n = 0;
    for (const UpdateCall& c : Plans().Calls)
        n += c.Method == method;
    return n;
}

RecordPtr MakeRow(const QHash<QString, QString>& values) {
    static const auto keys = [] {
        auto k = std::make_shared<KeySet>();
        for (const QString& f : PlanFieldNames())
            k->Append(f);
        return std::shared_ptr<const KeySet>(k);
    }();
    QVector<QVariant> cells(keys->Count(), QVariant(QString()));
    for (auto it = values.begin(); it != values.end(); ++it) {
        const int i = keys->IndexOf(it.key());
        if (i < 0)
            throw Error("no plan field " + it.key());
        cells[i] = it.value();
    }
    return std::make_shared<KeyedRecord>(keys, cells);
}

RecordListPtr AsGridRows(const RecordListPtr& merged) {
    auto rows = RecordList::Create();
    for (const auto& m : *merged) {
        auto r = m->Clone();
        r->Remove("EntryDataVct");
        for (const QString& k : r->Keys())
            r->Set(k, r->Get(k).toString());
        rows->Add(r);
    }
    return rows;
}

} // namespace zpp::test
