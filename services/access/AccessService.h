#pragma once

#include "component/host/contracts/GLData.h"
#include "services/store/Session.h"

namespace zpp::services {

// Rights of the log-in user and the operation log, over the store.
class AccessService : public GLData {
public:
    explicit AccessService(store::SessionPtr session) : m_session(std::move(session)) {}
    bool AccessCheck(qint16 subsystem, qint16 module, qint32 mask) override;
    void WriteLog(QString& objectCode, qint32& operationType, QString& operationName) override;
    void Refresh() override {}

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
