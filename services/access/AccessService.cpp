#include "AccessService.h"

#include "Rights.h"
#include "component/host/Access.h"

#include "services/store/StoredText.h"

#include <QDateTime>
#include <QHash>

namespace zpp::services {

bool AccessService::AccessCheck(qint16 subsystem, qint16 module, qint32 mask) {
    return Holds(*m_session, subsystem, module, mask);
}

void AccessService::WriteLog(QString& objectCode, qint32& operationType, QString& operationName) {
    // A record says a user did something; one who may not do it cannot have a record of it.
    static const QHash<QString, qint32> needs = {
        {QString::fromLatin1(logs::Query.Code), rights::Query},
        {QString::fromLatin1(logs::DeleteCode), rights::Delete},
        {QString::fromLatin1(logs::Print.Code), rights::Print},
        {QString::fromLatin1(logs::Export.Code), rights::Export},
        {QString::fromLatin1(logs::Save.Code), rights::Save},
        {QString::fromLatin1(logs::Close.Code), rights::Close},
        {QString::fromLatin1(logs::UnClose.Code), rights::Close},
        {QString::fromLatin1(logs::Push.Code), rights::Push},
    };
    if (const auto right = needs.constFind(objectCode); right != needs.constEnd())
        Require(*m_session, *right);
    WriteLogRecord(*m_session, objectCode, operationType, operationName);
}

} // namespace zpp::services
