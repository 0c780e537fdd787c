#pragma once

#include "component/host/HostObjectFactory.h"

#include <QString>

namespace zpp {

// The component's public entry: checks the right, logs, and opens the plan list either
// through the filter dialog or for one plan bill.
class ClsPurchasePlanMain : public ServiceObject {
public:
    // An empty bill number opens the filter dialog first; any other text opens that plan.
    // The bill number is handed on by reference, so callers see any change made to it.
    void Show(QString& StrPurchasePlanBillNo);
    void Show() {
        QString none;
        Show(none);
    }
};

// Registers the component under its identifier, so a host can create it as it creates services.
void RegisterPurchasePlanComponent();

} // namespace zpp
