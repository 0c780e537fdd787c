#include "UserProfileService.h"

namespace zpp::services {

QString UserProfileService::GetUserProfile(const QString&, const QString& section, const QString& key) {
    return m_session->Db
        ->Scalar(
            QStringLiteral("SELECT value FROM user_profiles WHERE user_id = ? AND section = ? AND key = ?"),
            {m_session->UserId, section, key})
        .toString();
}

QString UserProfileService::GetUserFullName(const QString&) {
    return m_session->Db
        ->Scalar(QStringLiteral("SELECT full_name FROM users WHERE id = ?"), {m_session->UserId})
        .toString()
        .trimmed();
}

} // namespace zpp::services
