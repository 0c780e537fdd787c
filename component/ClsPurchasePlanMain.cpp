#include "ClsPurchasePlanMain.h"

#include "component/host/Access.h"

namespace zpp {

void ClsPurchasePlanMain::Show(QString& StrPurchasePlanBillNo) {
    if (!CheckRight(rights::Query))
        return;
    WriteOperationLog(logs::Query);
    Q_UNUSED(StrPurchasePlanBillNo);
}

} // namespace zpp
