#pragma once

#include "services/store/Session.h"

#include <functional>
#include <optional>

namespace zpp::app {

// Asks the password of user on server; problem says why it asks again (empty the first time).
// Nothing when the user cancels.
using PasswordPrompt =
    std::function<std::optional<QString>(const QString& user, const QString& server, const QString& problem)>;

// The log-in window: the password of the user on the server, 登录 and 取消.
std::optional<QString> AskPassword(const QString& user, const QString& server, const QString& problem);

// Opens the store at location and logs in as the program starts (store::LogInAsConnected; user
// empty for the default). A PostgreSQL server that wants a password, or refuses the one given,
// has it asked through ask until it lets the user in; nothing when the user cancels. Without ask
// (a script: no one to ask) the server's refusal fails as it is.
std::optional<store::Session> OpenAndLogIn(const QString& location, const QString& user,
                                           const PasswordPrompt& ask = AskPassword);

} // namespace zpp::app
