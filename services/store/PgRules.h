#pragma once

#include <QString>
#include <QStringList>

// Pieces of the PostgreSQL-only statements of the schema (Migrations.cpp), shared by the files
// that hold the database's own rules.
namespace zpp::store::pg {

// Every function of ours runs with this path: the server's catalog first, then the store's schema,
// and the caller's temporary schema last, so no table a caller makes can stand in for ours.
inline const QString kSearchPath = QStringLiteral("pg_catalog, public, pg_temp");

// A function that runs as the store's owner: %1 its name, arguments and result; %2 its body.
inline const QString kDefiner =
    QStringLiteral("{{pg}}CREATE FUNCTION %1 LANGUAGE plpgsql SECURITY DEFINER"
                   " SET search_path = pg_catalog, public, pg_temp AS $f$ %2 $f$");
// Refuses a caller without every right of the mask %1.
inline const QString kRefuse = QStringLiteral(" IF NOT zpp_holds(%1) THEN RAISE EXCEPTION 'permission denied'"
                                              " USING ERRCODE = 'insufficient_privilege'; END IF;");
// A supplier's list price of an item (%1, %2) in a unit (%3, 0 any) on a day (%4).
inline const QString kListPrice =
    QStringLiteral("(SELECT sp.price FROM supplier_prices sp WHERE sp.supplier_id = %1 AND sp.item_id = %2"
                   " AND (%3 = 0 OR sp.unit_id = %3) AND sp.valid_from <= %4"
                   " ORDER BY sp.valid_from DESC LIMIT 1)");

// Hands objects that the role upgrading the store made (each "KIND public.name", for example
// "FUNCTION public.f()") to the store's owner, the owner of the tables. The database's owner
// upgrading the store cannot hand them over by itself (the owner role may not create in public,
// which a transfer asks), so the right is lent for this transaction only.
inline QString HandToOwner(const QStringList& objects) {
    QString alter;
    for (const QString& o : objects)
        alter += QStringLiteral(" EXECUTE pg_catalog.format('ALTER %1 OWNER TO %I', v_owner);").arg(o);
    return QStringLiteral("{{pg}}DO $o$ DECLARE v_owner name; v_lent boolean; BEGIN"
                          " SELECT tableowner INTO v_owner FROM pg_catalog.pg_tables"
                          "  WHERE schemaname = 'public' AND tablename = 'plan_entries';"
                          " IF v_owner = current_user THEN RETURN; END IF;"
                          " v_lent := NOT pg_catalog.has_schema_privilege(v_owner, 'public', 'CREATE');"
                          " IF v_lent THEN EXECUTE pg_catalog.format('GRANT CREATE ON SCHEMA public TO %I', "
                          "v_owner); END IF;") +
           alter +
           QStringLiteral(
               " IF v_lent THEN EXECUTE pg_catalog.format('REVOKE CREATE ON SCHEMA public FROM %I', v_owner);"
               " END IF; END $o$");
}

} // namespace zpp::store::pg

namespace zpp::store::pg {
// Search paths, the ordered-quantity rule for every write, who wrote a row, re-pricing on a
// supplier change, supplier rights that follow the supplier (schema 13).
QStringList PostgresHardening();
} // namespace zpp::store::pg

namespace zpp::store {
// User administration without CREATEROLE for administrators: functions owned by the store's
// roles role create users' login roles and set their passwords (schema 15).
QStringList PostgresRoleAdministration();
// A user's role follows the user's state: disabled or deleted users' roles lose LOGIN (schema 17).
QStringList PostgresUserStates();
} // namespace zpp::store

namespace zpp::store::pg {
// The price questions a push asks for a role without the price right, answered from stored rows
// only; the questions of old, which took figures from the caller, are dropped (schema 14).
QStringList PostgresPriceQuestions();
} // namespace zpp::store::pg

namespace zpp::store::pg {
// Entries imported by a role without the price right take their list prices in the store (schema 16).
QStringList PostgresImportPrices();
} // namespace zpp::store::pg
