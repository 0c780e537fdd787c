#include "Rights.h"

#include "component/host/Access.h"
#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"
#include "services/store/StoredText.h"

#include <QDateTime>
#include <QSqlQuery>

namespace zpp::services {

bool Holds(const store::Session& session, qint32 mask) {
    return Holds(session, rights::Subsystem, rights::Module, mask);
}

bool Holds(const store::Session& session, qint16 subsystem, qint16 module, qint32 mask) {
    // A user disabled or deleted meanwhile holds nothing from that moment, though still logged in.
    const QVariant granted = session.Db->Scalar(
        QStringLiteral("SELECT r.granted_mask FROM user_rights r JOIN users u ON u.id = r.user_id"
                       " WHERE r.user_id = ? AND r.subsystem = ? AND r.module = ? AND u.status = 'active'"),
        {session.UserId, subsystem, module});
    if (!granted.isValid() || mask == 0)
        return false;
    const qint64 wanted = static_cast<qint64>(static_cast<quint32>(mask));
    return (granted.toLongLong() & wanted) == wanted;
}

void Require(const store::Session& session, qint32 mask) {
    if (!Holds(session, mask))
        throw Error(ui::Tr("对不起，你没有相应的权限！"));
}

bool StoreHidesPrices(const store::Session& session) {
    return session.OwnRole && !session.Db->IsSQLite() && !Holds(session, rights::Price);
}

QString ForbiddenSupplier(const store::Session& session, const QVariant& supplierId) {
    if (supplierId.isNull() || !supplierId.isValid())
        return {};
    const SupplierAccess a = SupplierFor(*session.Db, session.UserId, supplierId);
    return a.Exists && !a.MayUse ? a.Code : QString();
}

SupplierAccess SupplierFor(const store::Store& db, qint16 userId, const QVariant& supplierId) {
    QSqlQuery q = db.Exec(QStringLiteral("SELECT s.code, s.name, COALESCE(u.may_use, 1) FROM suppliers s"
                                         " LEFT JOIN user_supplier_rights u"
                                         " ON u.supplier_code = s.code AND u.user_id = ?"
                                         " WHERE s.id = ?"),
                          {userId, supplierId});
    if (!q.next())
        return {};
    return {true, q.value(2).toInt() == 1, q.value(0).toString(), q.value(1).toString()};
}

void WriteLogRecord(const store::Session& session, const QString& code, qint32 type, const QString& name) {
    session.Db->Exec(
        QStringLiteral("INSERT INTO operation_log (user_id, user_name, logged_at, object_code, "
                       "operation_type, operation_name) VALUES (?, ?, ?, ?, ?, ?)"),
        {session.UserId, session.UserName, QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
         store::CutText(code, store::limits::LogCode), type, store::CutText(name, store::limits::LogName)});
}

void WriteLogRecord(const store::Session& session, const LogEntry& entry) {
    WriteLogRecord(session, QString::fromUtf8(entry.Code), entry.Type, QString::fromUtf8(entry.Name));
}

QString SupplierRefusal(const QString& code) {
    return ui::Tr("没有使用供应商“%1”的权限").arg(code);
}

} // namespace zpp::services
