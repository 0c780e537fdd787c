#include "PlanFakes.h"

namespace zpp::test {

PlanWorld& Plans() {
    static PlanWorld world;
    return world;
}

RecordListPtr FakePlanInfo::GetRptData(const QString&, RecordPtr& conditions, const QString&, QString&) {
    ++Plans().RptCalls;
    if (Plans().RptFails)
        throw Error("数据库连接已断开");
    conditions->Set("Seen", true);
    return Plans().Rows->Clone();
}

RecordListPtr FakePlanUpdate::Run(const QString& method, const QString& props, RecordListPtr& list) {
    Plans().Calls.push_back({method, props, list});
    if (Plans().OnUpdate)
        return Plans().OnUpdate(method, list);
    auto results = RecordList::Create();
    for (const RecordPtr& r : *list) {
        r->Set("Succeed", 1);
        results->Add(Result(r->Get("Row", 0), 1, ""));
    }
    return results;
}

RecordListPtr FakeMrp::RefreshPOOrderBill(const QString&, QString& ids) {
    Plans().Refreshes << ids;
    return ListOf({Order("华东五金", "POORD000009", "77")});
}

RecordPtr FakePrices::GetSupplyInfo(const QString&, RecordPtr& request) {
    if (Plans().SupplyPriceFails)
        throw Error("价格服务不可用");
    Plans().SupplyPriceRequests << request->Clone();
    auto answer = KeyedRecord::Create();
    answer->Set("AuxPrice", Plans().SupplyPrice);
    return answer;
}

void PlanFixture::SetUp() {
    HostFixture::SetUp();
    Plans() = PlanWorld();
    RegisterService<FakePlanInfo>(progid::PurchasePlanInfo);
    RegisterService<FakePlanUpdate>(progid::PurchasePlanUpdate);
    RegisterService<FakeMrp>(progid::MrpDataServer);
    RegisterService<FakePrices>(progid::BillDataAccess);
}

RecordPtr Order(const QString& supplier, const QString& billNo, const QString& id) {
    RecordPtr r = KeyedRecord::Create();
    r->Set("FSupplyName", supplier);
    r->Set("FBillNO", billNo);
    r->Set("FDate", "2026-12-10");
    r->Set("FInterID", id);
    return r;
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

} // namespace zpp::test
