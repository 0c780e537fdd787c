#include "Migrations.h"

namespace zpp::store {

namespace {
QVector<Migration> Build() {
    QVector<Migration> all;
    all.push_back(
        {1,
         QStringLiteral("users, rights, supplier rights, operation log"),
         {
             QStringLiteral("CREATE TABLE users ("
                            " id INTEGER PRIMARY KEY CHECK (id BETWEEN -32768 AND 32767),"
                            " name TEXT NOT NULL UNIQUE,"
                            " full_name TEXT NOT NULL DEFAULT '')"),
             QStringLiteral("CREATE TABLE user_rights ("
                            " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
                            " subsystem INTEGER NOT NULL,"
                            " module INTEGER NOT NULL,"
                            " granted_mask BIGINT NOT NULL,"
                            " PRIMARY KEY (user_id, subsystem, module))"),
             // A user may use every supplier unless a row here says otherwise.
             QStringLiteral("CREATE TABLE user_supplier_rights ("
                            " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
                            " supplier_code TEXT NOT NULL,"
                            " may_use INTEGER NOT NULL CHECK (may_use IN (0, 1)),"
                            " PRIMARY KEY (user_id, supplier_code))"),
             QStringLiteral("CREATE TABLE operation_log ("
                            " id {{autoid}},"
                            " user_id INTEGER NOT NULL,"
                            " user_name TEXT NOT NULL,"
                            " logged_at TEXT NOT NULL,"
                            " object_code TEXT NOT NULL,"
                            " operation_type INTEGER NOT NULL,"
                            " operation_name TEXT NOT NULL)"),
             QStringLiteral("CREATE INDEX operation_log_code ON operation_log (object_code)"),
             QStringLiteral("INSERT INTO users (id, name, full_name) VALUES"
                            " (1, 'admin', '系统管理员'), (2, 'buyer', '采购员'), (3, 'guest', '访客')"),
             // admin holds every right of the purchase plan module; buyer all but price (4)
             // and delete (65536); guest none.
             QStringLiteral("INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES"
                            " (1, 1006, 13, 2147483647), (2, 1006, 13, 2147418107)"),
         }});
    return all;
}
} // namespace

const QVector<Migration>& Migrations() {
    static const QVector<Migration> all = Build();
    return all;
}

int LatestSchemaVersion() {
    return Migrations().back().Version;
}

} // namespace zpp::store
