#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELMProfile.ClassUserProfileInfo: single values of the log-in user's profile.
class UserProfileInfo : public ServiceObject {
public:
    virtual QString GetUserProfile(const QString& props, const QString& section, const QString& key) = 0;
};

} // namespace zpp
