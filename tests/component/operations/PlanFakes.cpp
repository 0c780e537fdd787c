#include "PlanFakes.h"

#include "component/grid/PlanGrid.h"

namespace zpp::test {

PlanWorld& Plans() {
    static PlanWorld world;
    return world;
}

void PlanFixture::SetUp() {
    HostFixture::SetUp();
    Plans() = PlanWorld();
    RegisterService<FakePlanInfo>(progid::PurchasePlanInfo);
    RegisterService<FakePlanUpdate>(progid::PurchasePlanUpdate);
    auto set = RecordList::Create();
    for (int c = 1; c <= col::Count; ++c) {
        auto def = KeyedRecord::Create();
        def->Set("Col", c);
        def->Set("FieldName", PlanFieldNames().at(c - 1));
        set->Add(def);
    }
    State().PlanColumnSet = set;
}

void PlanFixture::TearDown() {
    Plans() = PlanWorld();
    HostFixture::TearDown();
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

RecordPtr Result(const QVariant& row, const QVariant& succeed, const QString& error) {
    auto r = KeyedRecord::Create();
    if (row.isValid())
        r->Set("Row", row);
    if (succeed.isValid())
        r->Set("Succeed", succeed);
    if (!error.isNull())
        r->Set("Error", error);
    return r;
}

RecordListPtr ListOf(std::initializer_list<RecordPtr> records) {
    auto list = RecordList::Create();
    for (const auto& r : records)
        list->Add(r);
    return list;
}

} // namespace zpp::test
