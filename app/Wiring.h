#pragma once

#include "services/store/Session.h"

namespace zpp::app {

// Publishes the log-in property string of this process and registers every application
// service under its identifier, all over the given session's store.
void Wire(const store::SessionPtr& session);

// Qt's own texts in the log-in language: its dialogs (printer, file) through its Chinese
// catalogue for a Chinese log-in, and month and day names of the date pickers by the default
// locale. Returns the language used.
QString UseQtLanguage(const store::Session& session);

// The property string published for a session.
QString BuildPropsString(const store::Session& session);

} // namespace zpp::app
