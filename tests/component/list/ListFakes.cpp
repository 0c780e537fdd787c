#include "ListFakes.h"

namespace zpp::test {

RecordPtr MakeRow(int interId, int entryId, const QString& item, double qty, const QString& close) {
    auto r = KeyedRecord::Create();
    const std::pair<const char*, QVariant> fields[] = {{"FInterID", QString::number(interId)},
                                                       {"FEntryID", QString::number(entryId)},
                                                       {"FVDate", QDate(2026, 12, 6)},
                                                       {"FClose", close},
                                                       {"FItemNumber", item},
                                                       {"FItemName", QString("物料" + item)},
                                                       {"FSupplyNumber", "S01"},
                                                       {"FQty", qty},
                                                       {"FPurchaseFinishQty", 0},
                                                       {"FPurchaseUnFinishQty", qty},
                                                       {"FPushQty", qty},
                                                       {"FPrice", 12.5},
                                                       {"FFinishDate", "2026-12-20"},
                                                       {"FBillNo", QString("PL%1").arg(interId)},
                                                       {"FKey", QString("%1_%2").arg(interId).arg(entryId)},
                                                       {"FQtyDecimal", 2},
                                                       {"FPriceDecimal", 3}};
    for (const auto& [name, value] : fields)
        r->Set(name, value);
    return r;
}

} // namespace zpp::test
