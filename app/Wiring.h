#pragma once

#include "services/store/Session.h"

namespace zpp::app {

// Publishes the log-in property string of this process and registers every application
// service under its identifier, all over the given session's store.
void Wire(const store::SessionPtr& session);

// The property string published for a session.
QString BuildPropsString(const store::Session& session);

} // namespace zpp::app
