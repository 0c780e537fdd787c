#pragma once

#include "component/host/HostObjectFactory.h"

#include <QVector>

namespace zpp {

// ZELBills.OrderPrint: purchase orders as documents a supplier reads (heading, lines, totals),
// printed or written to files for the log-in user. Each command asks for the print right, or
// the export right for a file, and writes its operation-log record; a user without the price
// right gets documents without prices and amounts. Failures are errors whose description the
// caller shows.
class OrderPrint : public ServiceObject {
public:
    enum class FileKind { Pdf, Workbook };

    // Asks for a printer and prints the order.
    virtual void PrintOrder(qint64 orderId) = 0;
    // The print preview, which can print the order or save it as a PDF as well.
    virtual void PreviewOrder(qint64 orderId) = 0;
    // Asks for a file (named after the order number) and writes the order there; false when
    // the user cancelled.
    virtual bool ExportOrder(qint64 orderId, FileKind kind) = 0;
    // Asks for a folder and writes one PDF per order there, each named after its order number;
    // files there already are replaced only when the user says so. Tells what was written.
    virtual void ExportOrdersPdf(const QVector<qint64>& orderIds) = 0;
};

} // namespace zpp
