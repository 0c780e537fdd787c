#include "BillsService.h"

#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "frmBillLookUp.h"
#include "frmPOHighPrice.h"
#include "frmPurchaseOrder.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "services/access/Rights.h"
#include "services/planning/HighPrice.h"

#include <QApplication>

namespace zpp::services {

bool BillsService::ShowPOHighPriceForm(const QString&, RecordListPtr& pushList, qint16& row) {
    const bool prices = Holds(*m_session, rights::Price);
    QVector<HighPriceLine> above = FindHighPriceLines(*m_session->Db, pushList, QDate::currentDate(), !prices,
                                                      StoreHidesPrices(*m_session));
    if (above.isEmpty())
        return true;
    // The window asks about the lines; the prices stay in the store for a user without the right.
    if (!prices)
        for (HighPriceLine& l : above)
            l.Price = l.Allowed = l.ListPrice = 0;
    frmPOHighPrice window(above, HighPriceTolerance(*m_session->Db), prices, QApplication::activeWindow());
    if (ui::ExecModal(window) == QDialog::Accepted) {
        for (const HighPriceLine& l : above)
            pushList->Item(l.Position)->Set(kHighPriceConfirmedField, 1);
        return true;
    }
    row = qint16(std::clamp(window.SelectedLine().GridRow, 1, 32767));
    return false;
}

void BillsService::SetOpt(qint32, QString&) {
    // The window writes as the log-in of this process; the caller's user is the same one.
}

void BillsService::Show(qint32 classTypeId, qint32) {
    m_changed = false;
    if (classTypeId != kPurchaseOrderClassType)
        throw Error(GetLangString(QStringLiteral("不支持的单据类型 %1")).arg(classTypeId));
    if (!ListRecordset || ListRecordset->Bof() || ListRecordset->Eof())
        throw Error(GetLangString(QStringLiteral("没有要显示的采购订单")));
    const qint64 orderId = qint64(values::Val(ListRecordset->Value(QStringLiteral("FInterID"))));
    m_changed = ShowPurchaseOrder(m_session, orderId, QApplication::activeWindow());
}

void BillLookUpService::ConnectView(qint32& direction, qint32& interId) {
    if (ClassTypeID != kPlanEntryClassType)
        throw Error(GetLangString(QStringLiteral("不支持的单据类型 %1")).arg(ClassTypeID));
    if (direction != 0 && direction != 1)
        throw Error(GetLangString(QStringLiteral("不支持的查询方向 %1")).arg(direction));
    frmBillLookUp window(m_session, direction, interId, ClassEntryID, QApplication::activeWindow(), GridRow);
    ui::ExecModal(window);
}

} // namespace zpp::services
