#include "PgRules.h"

namespace zpp::store::pg {

QStringList PostgresImportPrices() {
    QStringList s;
    // An importer without the price right may not write an entry's price (the column is not
    // granted), yet the entry must be ordered at its supplier's list price of its date, in the
    // item's unit, as the import gives one who holds the right. It is done in the insert itself, by
    // a trigger nobody can call, so no entry that exists already is ever priced this way, and the
    // price goes into a column the role cannot read: nothing comes back. Roles that may write prices
    // (and the store's owner filling it) keep what they wrote. Made anew when the step runs again on
    // a store taken back below it.
    s << QStringLiteral("{{pg}}DROP TRIGGER IF EXISTS zpp_price_imported_entry ON plan_entries");
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_price_imported_entry()");
    s << kDefiner.arg(
        QStringLiteral("zpp_price_imported_entry() RETURNS trigger"),
        QStringLiteral(
            "DECLARE v_unit integer; BEGIN"
            " IF EXISTS (SELECT 1 FROM users WHERE name = session_user) AND NOT zpp_holds(4) THEN") +
            kRefuse.arg(8) +
            QStringLiteral("  SELECT unit_id INTO v_unit FROM items WHERE id = NEW.item_id;"
                           "  NEW.price := COALESCE(") +
            kListPrice.arg(QStringLiteral("NEW.supplier_id"), QStringLiteral("NEW.item_id"),
                           QStringLiteral("v_unit"), QStringLiteral("NEW.entry_date")) +
            QStringLiteral(", 0); END IF; RETURN NEW; END"));
    s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_price_imported_entry BEFORE INSERT ON plan_entries"
                        " FOR EACH ROW EXECUTE FUNCTION zpp_price_imported_entry()");
    // Callable by nobody: a trigger runs it whoever writes.
    s << QStringLiteral("{{pg}}REVOKE ALL ON FUNCTION zpp_price_imported_entry() FROM PUBLIC");
    // It runs as the store's owner, like the tables it reads.
    s << HandToOwner({QStringLiteral("FUNCTION public.zpp_price_imported_entry()")});
    return s;
}

} // namespace zpp::store::pg
