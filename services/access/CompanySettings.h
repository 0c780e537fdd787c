#pragma once

#include "services/store/Session.h"

#include <QHash>
#include <QVector>

namespace zpp::services {

// A setting of the company that heads the purchase orders it sends: a system_settings row of
// section 'Company'.
struct CompanyField {
    const char* Key;     // Name, Address, Currency, DeliveryAddress, PaymentTerms
    const char* Caption; // the window's label and the refusal's field
    qsizetype Chars;     // the longest text kept
    const char* Option;  // the command line's option
    const char* Words;   // what it is, in the command line's help
};
const QVector<CompanyField>& CompanyFields();

// The company's settings, read by anyone and written by an administrator only (on PostgreSQL the
// server holds everyone else to reading system_settings).
class CompanySettings {
public:
    explicit CompanySettings(store::SessionPtr session) : m_session(std::move(session)) {}

    // Every field's text by key; a missing row reads as empty.
    QHash<QString, QString> Values() const;
    // The fields given (by key), trimmed, in one transaction: all or nothing. A missing row is
    // added. Fails for anyone but an administrator, for an unknown key and for a text too long.
    void Write(const QHash<QString, QString>& values);
    // Fails with the refusal when the session's user is no administrator.
    void RequireAdministrator() const;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
