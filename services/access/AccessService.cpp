#include "AccessService.h"

#include "services/store/StoredText.h"

#include <QDateTime>

namespace zpp::services {

bool AccessService::AccessCheck(qint16 subsystem, qint16 module, qint32 mask) {
    const QVariant granted = m_session->Db->Scalar(
        QStringLiteral(
            "SELECT granted_mask FROM user_rights WHERE user_id = ? AND subsystem = ? AND module = ?"),
        {m_session->UserId, subsystem, module});
    if (!granted.isValid() || mask == 0)
        return false;
    return (granted.toLongLong() & static_cast<qint64>(static_cast<quint32>(mask))) ==
           static_cast<qint64>(static_cast<quint32>(mask));
}

void AccessService::WriteLog(QString& objectCode, qint32& operationType, QString& operationName) {
    m_session->Db->Exec(
        QStringLiteral("INSERT INTO operation_log (user_id, user_name, logged_at, object_code, "
                       "operation_type, operation_name) VALUES (?, ?, ?, ?, ?, ?)"),
        {m_session->UserId, m_session->UserName, QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
         store::CutText(objectCode, store::limits::LogCode), operationType,
         store::CutText(operationName, store::limits::LogName)});
}

} // namespace zpp::services
