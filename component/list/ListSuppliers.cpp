// The supplier of a row: a typed or looked-up code checked against the user's rights, named,
// and priced. Apart because it follows the supplier and price services, not the list.
#include "ClsPurchasePlanUI.h"

#include "component/filter/MRpt.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/BillDataAccess.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/list/SupplierRowGuard.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

namespace zpp {

qint32 ClsPurchasePlanUI::PriceSourceSetting() {
    // The host's INI reader: one per process, kept apart from the shared service whose file
    // name other readers switch.
    static ini::IniService reader;
    reader.SetFileName(
        ini::ResolvePath(QStringLiteral("Program Files\\Marvane\\ZEL\\Stratum\\ZAZSystem.INI")));
    return values::ToInt32(
        values::Val(reader.ReadString(QStringLiteral("frmBill"), QStringLiteral("CGSrcPrice"), QString())));
}

ClsPurchasePlanUI::SupplierCheck ClsPurchasePlanUI::CheckSupplierCode(const QString& code) {
    SupplierCheck check;
    const QString props = GetPropsString();
    QString asked = code; // the services take the code by reference
    auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
    check.Name = server->GetSupplierNameByNumber(props, asked);
    if (check.Name.isEmpty())
        return check;
    check.MayUse = server->IsSupplierright(props, asked, GetPropItem(QStringLiteral("UserID")));
    if (check.MayUse) {
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        check.Id = info->GetSupplierID(props, asked, check.TaxRate);
    }
    return check;
}

void ClsPurchasePlanUI::ApplySupplier(qint32 row, const QString& code, const SupplierCheck& check,
                                      qint32 rememberedSupplierId) {
    controls::SpreadGrid& grid = *Spread;
    grid.SetText(col::SupplyNumber, row, code);
    grid.SetText(col::SupplyName, row, check.Name);
    grid.SetText(col::SupplyID, row, QString::number(check.Id));
    grid.SetValue(col::TaxRate, row, check.TaxRate);
    if (check.Id < 1 || check.Id == rememberedSupplierId)
        return;
    RecordPtr request = KeyedRecord::Create();
    request->Set(QStringLiteral("SupplyID"), check.Id);
    request->Set(QStringLiteral("ItemID"), grid.Text(col::ItemID, row));
    request->Set(QStringLiteral("UnitID"), grid.Text(col::UnitID, row));
    request->Set(QStringLiteral("AuxQty"), grid.Text(col::PushQty, row));
    request->Set(QStringLiteral("CurrencyID"), 1);
    request->Set(QStringLiteral("ExChangeRate"), 1);
    request->Set(QStringLiteral("UseLastPrice"), PriceSourceSetting());
    request->Set(QStringLiteral("TranType"), 71);
    request->Set(QStringLiteral("PriceType"), 1);
    auto prices = CreateObject<BillDataAccess>(QString::fromLatin1(progid::BillDataAccess));
    const RecordPtr answer = prices->GetSupplyInfo(GetPropsString(), request);
    grid.SetValue(col::Price, row, values::Val(answer ? answer->Get(QStringLiteral("AuxPrice"), 0) : 0));
}

void ClsPurchasePlanUI::GetRightSupply(qint32 column, qint32 row, qint32 rememberedSupplierId,
                                       const std::optional<QString>& previousCode) {
    // A row locked for its supplier was never edited: nothing to check, nothing to clear.
    if (column != col::SupplyNumber || !Spread || row < 1 || row > Spread->MaxRows() ||
        Spread->CellLocked(col::SupplyNumber, row))
        return;
    controls::SpreadGrid& grid = *Spread;
    // A refused code takes the row back to the supplier it had, so nothing the user did not
    // mean to change is lost; without one known, the supplier cells are cleared.
    auto refuse = [&](const QString& message) {
        if (previousCode) {
            SupplierRowGuard::Of(grid).PutBack(row, *previousCode);
        } else {
            grid.SetText(col::SupplyNumber, row, QString());
            grid.SetText(col::SupplyName, row, QString());
            grid.SetText(col::SupplyID, row, QStringLiteral("0"));
        }
        if (!message.isEmpty())
            ui::MsgBox(message, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
    };
    try {
        const QString code = grid.Text(col::SupplyNumber, row);
        if (code.isEmpty()) {
            // An emptied cell is the user taking the supplier off the row.
            grid.SetText(col::SupplyName, row, QString());
            grid.SetText(col::SupplyID, row, QStringLiteral("0"));
            return;
        }
        const SupplierCheck check = CheckSupplierCode(code);
        if (check.Name.isEmpty())
            return refuse(previousCode ? GetLangString(QStringLiteral("没有代码为“%1”的供应商。")).arg(code)
                                       : QString());
        if (!check.MayUse)
            return refuse(GetLangString(QStringLiteral("没有供应商的权限，请与系统管理员联系!")));
        ApplySupplier(row, code, check, rememberedSupplierId);
    } catch (...) {
        // The supplier check is a help while typing; the save checks the supplier again.
    }
}

void ClsPurchasePlanUI::GetSupply() {
    if (!Spread || Spread->ActiveCol() != col::SupplyNumber)
        return;
    controls::SpreadGrid& grid = *Spread;
    const int row = grid.ActiveRow();
    if (row < 1 || row > grid.MaxRows() || SupplierRowGuard::Of(grid).Refuse(row))
        return;
    // Every supplier the user may use, the row's own chosen.
    const std::shared_ptr<LookupResult> result =
        LookupBaseData(kLookupSupplier, QString(), QString(), 1, grid.Text(col::SupplyNumber, row));
    if (!result || !result->ReturnOK || !result->ReturnObject)
        return;
    QString code = result->ReturnObject->Number;
    grid.SetText(col::SupplyNumber, row, code);
    grid.SetText(col::SupplyName, row, result->ReturnObject->Name);
    auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
    double taxRate = 0;
    CurSupplierID = info->GetSupplierID(GetPropsString(), code, taxRate);
    grid.SetText(col::SupplyID, row, QString::number(CurSupplierID));
    grid.SetValue(col::TaxRate, row, taxRate);
}

} // namespace zpp
