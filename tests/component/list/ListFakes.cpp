#include "ListFakes.h"

#include "component/host/ProgIds.h"

namespace zpp::test {

PlanWorld& Plan() {
    static PlanWorld world;
    return world;
}

RecordPtr MakeRow(int interId, int entryId, const QString& item, double qty, const QString& close) {
    auto r = KeyedRecord::Create();
    r->Set("FInterID", QString::number(interId));
    r->Set("FEntryID", QString::number(entryId));
    r->Set("FVDate", QDate(2026, 12, 6));
    r->Set("FClose", close);
    r->Set("FItemNumber", item);
    r->Set("FItemName", QString("物料" + item));
    r->Set("FSupplyNumber", "S01");
    r->Set("FQty", qty);
    r->Set("FPurchaseFinishQty", 0);
    r->Set("FPurchaseUnFinishQty", qty);
    r->Set("FPushQty", qty);
    r->Set("FPrice", 12.5);
    r->Set("FFinishDate", "2026-12-20");
    r->Set("FBillNo", QString("PL%1").arg(interId));
    r->Set("FKey", QString("%1_%2").arg(interId).arg(entryId));
    r->Set("FQtyDecimal", 2);
    r->Set("FPriceDecimal", 3);
    return r;
}

RecordListPtr FakePlanInfo::GetRptData(const QString&, RecordPtr& conditions, const QString&,
                                       QString& billNo) {
    ++Plan().RptCalls;
    Plan().LastBillNo = billNo;
    if (Plan().RptFails)
        throw Error("数据库连接已断开");
    conditions->Set("Seen", true);
    return Plan().Rows->Clone();
}

namespace {
struct InDoubt : Error {
    using Error::Error;
    bool OutcomeUnknown() const noexcept override { return true; }
};
} // namespace

RecordListPtr FakePlanUpdate::Record(const QString& op, const RecordListPtr& list) {
    if (Plan().UpdateFails)
        throw Error("数据库已锁定");
    if (Plan().UpdateInDoubt)
        throw InDoubt("无法确定本次操作是否已完成");
    Plan().Updates.push_back({op, list});
    auto results = RecordList::Create();
    for (const RecordPtr& r : *list) {
        auto result = KeyedRecord::Create();
        result->Set("Row", r->Get("Row", 0));
        result->Set("Succeed", 1);
        result->Set("Error", QString());
        results->Add(result);
    }
    return results;
}

RecordPtr FakePrices::GetSupplyInfo(const QString&, RecordPtr& request) {
    if (Plan().PriceFails)
        throw Error("价格服务不可用");
    Plan().PriceRequests << request->Clone();
    auto answer = KeyedRecord::Create();
    answer->Set("AuxPrice", Plan().Price);
    return answer;
}

void ListFixture::SetUp() {
    HostFixture::SetUp();
    Plan() = PlanWorld();
    Filter() = FilterWorld();
    RegisterService<FakePlanInfo>(progid::PurchasePlanInfo);
    RegisterService<FakeMrpServer>(progid::MrpDataServer);
    RegisterService<FakePlanUpdate>(progid::PurchasePlanUpdate);
    RegisterService<FakePrices>(progid::BillDataAccess);
    RegisterService<FakeLookupView>(progid::GLView);
    RegisterService<FakeProfile>(progid::ProfileRead);
    RegisterService<FakeProfile>(progid::Profile);
}

} // namespace zpp::test
