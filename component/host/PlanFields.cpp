#include "PlanFields.h"

namespace zpp {

const QStringList& PlanFieldNames() {
    static const QStringList names = {"FInterID",
                                      "FEntryID",
                                      "CheckBox",
                                      "FVDate",
                                      "FClose",
                                      "FItemNumber",
                                      "FItemName",
                                      "FItemModel",
                                      "FAuxProp",
                                      "FSupplyNumber",
                                      "FSupplyName",
                                      "FUnitName",
                                      "FQty",
                                      "FPurchaseFinishQty",
                                      "FPurchaseUnFinishQty",
                                      "FPushQty",
                                      "FPrice",
                                      "FDiscountRate",
                                      "FTaxRate",
                                      "FFinishDate",
                                      "FBillNo",
                                      "FSourceNo",
                                      "FMemo",
                                      "FItemID",
                                      "FUnitID",
                                      "FAuxPropID",
                                      "FStartDate",
                                      "FSupplyID",
                                      "FKey",
                                      "FIsMerge",
                                      "FStartKey",
                                      "FEndKey",
                                      "FMergeSumQty",
                                      "FQtyDecimal",
                                      "FPriceDecimal"};
    return names;
}

} // namespace zpp
