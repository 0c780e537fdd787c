#pragma once

#include "component/host/contracts/OrderPrint.h"
#include "services/store/Session.h"

namespace zpp::services {

// ZELBills.OrderPrint over the store, for the session's user: the print right for the printer
// and the preview, the export right for files, each asked of the store before the order is read.
class OrderPrintService : public OrderPrint {
public:
    explicit OrderPrintService(store::SessionPtr session) : m_session(std::move(session)) {}

    void PrintOrder(qint64 orderId) override;
    void PreviewOrder(qint64 orderId) override;
    bool ExportOrder(qint64 orderId, FileKind kind) override;
    void ExportOrdersPdf(const QVector<qint64>& orderIds) override;

private:
    void LogExport(const QString& billNo, const QString& file) const;

    store::SessionPtr m_session;
};

} // namespace zpp::services
