#pragma once

#include "component/host/contracts/UserProfileInfo.h"
#include "services/store/Session.h"

namespace zpp::services {

// Single profile values of the log-in user ("NewBillDate" and the like).
class UserProfileService : public UserProfileInfo {
public:
    explicit UserProfileService(store::SessionPtr session) : m_session(std::move(session)) {}
    // The stored text; empty when the user has none.
    QString GetUserProfile(const QString& props, const QString& section, const QString& key) override;
    QString GetUserFullName(const QString& props) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
