#pragma once

#include "component/host/HostObjectFactory.h"

class QWidget;

namespace zpp {

// The host's user administration: users, their command rights and supplier rights.
class UserAdmin : public ServiceObject {
public:
    // Shows the window over parent; a user who may not administer is told so.
    virtual void ShowUsers(QWidget* parent) = 0;
    // The company's settings that head its purchase orders; only an administrator may open them.
    virtual void ShowCompany(QWidget* parent) = 0;
};

} // namespace zpp
