#include "ClsPurchasePlanMain.h"

#include "component/filter/frmFirter.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListLayout.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Timing.h"

#include <QLabel>

namespace zpp {

namespace {

// Once the list window is open a failure is shown over it and the window stays, so the user
// can refresh once the cause is gone; the host is not torn down with it.
void ReportInWindow(const std::exception& e) {
    ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}
frmPurchasePlan* OpenListWindow() {
    auto* window = new frmPurchasePlan();
    InitPlanGrid(*window);
    RestoreListLayout(*window, window->vsProc());
    window->show();
    return window;
}
} // namespace

void ClsPurchasePlanMain::Show(QString& StrPurchasePlanBillNo) {
    // The platform's own windows (print setup, export) speak the log-in language too.
    ui::SetTranslator([](const QString& text) { return GetLangString(text); });
    if (!CheckRight(rights::Query))
        return;
    WriteOperationLog(logs::Query);

    if (StrPurchasePlanBillNo.isEmpty()) {
        {
            frmFirter filter;
            filter.SetIsShowFilter(false);
            ui::ExecModal(filter);
        }
        const RecordPtr conditions = State().FilterConditions;
        if (!conditions || !conditions->Get(QStringLiteral("OK"), false).toBool())
            return;
        frmPurchasePlan* window = OpenListWindow();
        timing::Mark("list-window");
        ClsPurchasePlanUI* ui = window->PurchasePlanUI();
        if (!ui)
            return;
        QString noBill;
        try {
            ui->Refresh(noBill);
        } catch (const std::exception& e) {
            ReportInWindow(e);
        }
        const RecordPtr shown = State().FilterConditions;
        if (shown)
            window->SetDateCaptions(
                shown->Exists(QStringLiteral("BDate")) ? shown->Text(QStringLiteral("BDate")) : QString(),
                shown->Exists(QStringLiteral("EDate")) ? shown->Text(QStringLiteral("EDate")) : QString());
        return;
    }

    auto* window = new frmPurchasePlan();
    InitPlanGrid(*window);
    RestoreListLayout(*window, window->vsProc());
    window->SetPurchasePlanBillNo(StrPurchasePlanBillNo);
    window->show();
    ClsPurchasePlanUI* ui = window->PurchasePlanUI();
    if (!ui)
        return;
    try {
        ui->Refresh(StrPurchasePlanBillNo);
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        const QString billDate = info->GetBillDate(GetPropsString(), StrPurchasePlanBillNo);
        window->SetDateCaptions(billDate, billDate);
    } catch (const std::exception& e) {
        ReportInWindow(e);
    }
}

void RegisterPurchasePlanComponent() {
    RegisterService<ClsPurchasePlanMain>(QString::fromLatin1(progid::PurchasePlanMain));
}

} // namespace zpp
