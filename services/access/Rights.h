#pragma once

#include "component/host/Access.h"
#include "services/store/Session.h"

namespace zpp::services {

// The rights of this component, checked where the data is: every service asks again for the
// session's user before it reads or changes anything, whatever window (or none) called it. The
// store is asked each time, so an administrator's change counts at once.
bool Holds(const store::Session& session, qint32 mask);
// The same for any subsystem and module (the access service's check).
bool Holds(const store::Session& session, qint16 subsystem, qint16 module, qint32 mask);
// Fails with the refusal every window shows ("对不起，你没有相应的权限！") when the user lacks the right.
void Require(const store::Session& session, qint32 mask);

// A supplier and whether the user may order from it: every supplier, unless
// user_supplier_rights says otherwise. A supplier that does not exist may not be used.
struct SupplierAccess {
    bool Exists = false, MayUse = false;
    QString Code, Name;
};
SupplierAccess SupplierFor(const store::Store& db, qint16 userId, const QVariant& supplierId);

// True when the store itself keeps prices from the user: a PostgreSQL store the user is connected
// to as their own role, and a user without the price right. The services then leave the price work to the
// server's functions, which answer yes or no and never a price.
bool StoreHidesPrices(const store::Session& session);

// The code of the supplier with this ID when the user may not use it; empty when they may (every
// supplier, unless user_supplier_rights says otherwise) or there is no such supplier.
QString ForbiddenSupplier(const store::Session& session, const QVariant& supplierId);
// The refusal for a supplier the user may not use.
QString SupplierRefusal(const QString& code);

// Writes an operation-log record for the session's user. A command that changes the store calls
// it inside its own transaction, so the record exists exactly when the change was committed; a
// failed write fails the command.
void WriteLogRecord(const store::Session& session, const QString& code, qint32 type, const QString& name);
void WriteLogRecord(const store::Session& session, const LogEntry& entry);

} // namespace zpp::services
