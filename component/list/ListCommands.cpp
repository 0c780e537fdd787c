// The list window's commands, run by key from a tool, a menu, a shortcut or a caller: each
// checked against the user's right, then carried out by the controller or the operations.
#include "frmPurchasePlan.h"

#include "component/chart/frmPlanChart.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/ChmHelp.h"
#include "component/host/contracts/DataImporter.h"
#include "component/host/contracts/UserAdmin.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListEditing.h"
#include "component/list/ListNotices.h"
#include "component/list/ListPrompts.h"
#include "component/list/PlanSort.h"
#include "component/operations/PushNotes.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"

#include <QAction>

namespace zpp {

namespace {
using listprompts::Inform;
using listprompts::Lang;
} // namespace

void frmPurchasePlan::ToolClick(const QString& key) {
    // A tool that is not visible never runs; one that is not known does nothing.
    for (const auto& band : std::as_const(m_bands)) {
        if (QAction* a = band.value(key); a && !a->isVisible())
            return;
    }
    Load();
    m_reloaded = false;
    try {
        LeaveActiveCell();
        m_editing->AsOneStep([&] { RunCommand(key); }); // a command's writes are undone together
    } catch (const Error& e) {
        ui::MsgBox(e.Description(), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
        if (e.OutcomeUnknown())
            ShowWhatTheStoreHolds();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    m_sort->Follow(); // rows read or folded anew are sorted as chosen
    if (m_reloaded)
        AfterReload();
    // Any command may have changed the rows under the active cell.
    EnterCell(m_grid->ActiveCol(), m_grid->ActiveRow());
    UpdateStatus();
}

void frmPurchasePlan::ShowWhatTheStoreHolds() {
    try {
        QString noBill;
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return;
        DataChanged = false;
        m_reloaded = true;
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

void frmPurchasePlan::AfterReload() {
    m_ui->UnSelectAll();
    if (State().IsMergedView) {
        State().IsMergedView = false;
        UpdateToolStates();
    }
}

void frmPurchasePlan::RunCommand(const QString& key) {
    ComponentState& state = State();
    QString noBill;
    auto reload = [&] {
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return; // the list stays as it was, ticks included
        m_ui->UnSelectAll();
        m_reloaded = true;
    };
    if (key == u"Save") {
        if (!CheckRight(rights::Save) || !m_notices->ConfirmDespiteOthers(false))
            return;
        if (m_ops->Save()) {
            m_grid->MarkRowsUnchanged();
            Inform(QStringLiteral("保存成功！"));
            DataChanged = false;
        } else {
            Inform(QStringLiteral("保存失败！"), m_ops->SaveError());
        }
    } else if (key == u"Delete") {
        if (!CheckRight(rights::Delete))
            return;
        if (m_ops->DeletePurChasePlan())
            reload();
    } else if (key == u"SelectAll") {
        m_ui->SelectAll();
    } else if (key == u"UnSelectAll") {
        m_ui->UnSelectAll();
    } else if (key == u"Merge") {
        m_sort->Unsort(); // rows fold, and unfold, in the order they came in
        if (!state.IsMergedView) {
            if (m_ui->Merge()) {
                state.IsMergedView = true;
                UpdateToolStates();
            } else {
                UpdateToolStates(); // the tool's pressed state follows the view, not the click
            }
        } else {
            m_ui->UnMerge();
            state.IsMergedView = false;
            UpdateToolStates();
        }
        // Folding refills the grid and marks again only the entries that hold edits (Merge,
        // UnMerge); with nothing edited since the load there is nothing to save, so none is.
        if (!DataChanged)
            m_grid->MarkRowsUnchanged();
    } else if (key == u"Export" || key == u"iExport") {
        if (!CheckRight(rights::Export))
            return;
        m_ui->FileExport();
    } else if (key == u"PrintView" || key == u"iPrintPreView") {
        if (!CheckRight(rights::Print))
            return;
        m_ui->PrintPreView();
    } else if (key == u"Print" || key == u"iPrint") {
        if (!CheckRight(rights::Print))
            return;
        m_ui->PrintPre();
    } else if (key == u"iPrintSetup") {
        LdgPreview->PrinterSetup();
        m_ui->SaveLdgSetting();
    } else if (key == u"iFilter") {
        m_ui->ShowFilter();
        if (m_ui->RefreshCancelled())
            return;
        const RecordPtr& conditions = state.FilterConditions;
        if (conditions && conditions->Get(QStringLiteral("OK"), false).toBool()) {
            SetDateCaptions(
                conditions->Exists(QStringLiteral("BDate")) ? conditions->Text(QStringLiteral("BDate"))
                                                            : QString(),
                conditions->Exists(QStringLiteral("EDate")) ? conditions->Text(QStringLiteral("EDate"))
                                                            : QString());
            m_ui->UnSelectAll();
            state.IsMergedView = false;
            UpdateToolStates();
            DataChanged = false;
        }
    } else if (key == u"iRefresh") {
        m_ui->Refresh(noBill);
        if (m_ui->RefreshCancelled())
            return;
        DataChanged = false;
        m_reloaded = true;
    } else if (key == u"Close" || key == u"UnClose") {
        if (!CheckRight(rights::Close))
            return;
        if (key == u"Close")
            m_ops->ClosePurchasePlan();
        else
            m_ops->UnClosePurchasePlan();
        reload();
    } else if (key == u"PushBill") {
        if (!m_notices->ConfirmDespiteOthers(true))
            return;
        m_ui->GetRightSupply(m_grid->ActiveCol(), m_grid->ActiveRow(), 0);
        if (DataChanged) {
            if (!CheckRight(rights::Save))
                return;
            if (!m_ops->Save()) {
                Inform(pushnotes::NothingPushed() + QStringLiteral("\n") + Lang("保存失败！"),
                       m_ops->SaveError());
                return;
            }
            m_grid->MarkRowsUnchanged();
            DataChanged = false;
        }
        if (!CheckRight(rights::Push))
            return;
        if (m_ops->PushBill())
            reload();
    } else if (key == u"ViewBillUp" || key == u"ViewBillDown") {
        m_ops->ViewBillUp(key == u"ViewBillUp" ? 0 : 1);
    } else if (key == u"FillCol") {
        // The menu's fill marks the list changed only when it changed a cell (F6 always does).
        if (m_ui->FillCol())
            DataChanged = true;
    } else if (PlanSort::IsCommand(key)) {
        m_sort->Run(key);
    } else if (ListEditing::Handles(key)) {
        m_editing->Run(key);
    } else if (key == u"iHideCol") {
        m_ui->ShowHideCol();
    } else if (key == u"PlanChart") {
        chart::frmPlanChart::ShowFor(this, *m_grid);
    } else if (key == u"iFind") {
        ShowFind();
    } else if (key == u"mnuHelp") {
        ShowHelp();
    } else if (key == u"iImport") {
        if (CheckRight(rights::Import))
            CreateObject<DataImporter>(QString::fromLatin1(progid::DataImporter))->ShowImport(this);
    } else if (key == u"iUsers") {
        CreateObject<UserAdmin>(QString::fromLatin1(progid::UserAdmin))->ShowUsers(this);
    } else if (key == u"iCompany") {
        CreateObject<UserAdmin>(QString::fromLatin1(progid::UserAdmin))->ShowCompany(this);
    } else if (key == u"iExit") {
        close();
    }
}

void frmPurchasePlan::ShowHelp() {
    try {
        CreateObject<ChmHelp>(QString::fromLatin1(progid::ChmHelp))
            ->ShowHelp(QStringLiteral("VORO12.roz"), QStringLiteral("ZelPurchasePlan.frmPurchasePlan"), this);
    } catch (...) {
    }
}

} // namespace zpp
