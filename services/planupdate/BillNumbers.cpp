#include "BillNumbers.h"

#include <QSqlQuery>

namespace zpp::services {

QString PurchaseOrderBillNo(qlonglong number) {
    return QStringLiteral("POORD%1").arg(number, 6, 10, QChar(u'0'));
}

QString NextPurchaseOrderBillNo(const store::Store& db, const std::function<void()>& before) {
    auto exec = [&](const QString& sql, const QVariantList& binds) {
        if (before)
            before();
        return db.Exec(sql, binds);
    };
    for (;;) {
        QSqlQuery bump = exec(QStringLiteral("UPDATE bill_counters SET last_no = last_no + 1 WHERE kind = ?"),
                              {kPurchaseOrderCounter});
        if (bump.numRowsAffected() < 1) {
            // A concurrent first number waits here for the other insert and then bumps its row.
            exec(QStringLiteral("INSERT INTO bill_counters (kind, last_no) VALUES (?, 0)"
                                " ON CONFLICT (kind) DO NOTHING"),
                 {kPurchaseOrderCounter});
            continue;
        }
        QSqlQuery last =
            exec(QStringLiteral("SELECT last_no FROM bill_counters WHERE kind = ?"), {kPurchaseOrderCounter});
        last.next();
        const QString billNo = PurchaseOrderBillNo(last.value(0).toLongLong());
        last.finish();
        QSqlQuery used = exec(QStringLiteral("SELECT 1 FROM purchase_orders WHERE bill_no = ?"), {billNo});
        if (!used.next())
            return billNo;
    }
}

} // namespace zpp::services
