#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELMProfile.ClassUserProfileInfo: single values of the log-in user's profile.
class UserProfileInfo : public ServiceObject {
public:
    virtual QString GetUserProfile(const QString& props, const QString& section, const QString& key) = 0;
    // The log-in user's full name as the users window keeps it; empty when none is set.
    virtual QString GetUserFullName(const QString& props) = 0;
};

} // namespace zpp
