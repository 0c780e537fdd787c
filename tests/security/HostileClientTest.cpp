#include "Hostile.h"

#include <QSqlQuery>

using namespace zpp::test;

namespace {
// Rows buyer may write (named by schema: some attempts make tables of the same names) (suppliers other than
// 01.007, 01.012 and 01.019) and rows it may not.
const std::string kAllowed =
    "(SELECT id FROM public.suppliers WHERE code NOT IN ('01.007', '01.012', '01.019'))";
const std::string kOpenEntry = "(SELECT plan_id, entry_id FROM public.plan_entries WHERE supplier_id IN " +
                               kAllowed + " AND ordered_qty < qty AND close_mark = '' ORDER BY 1, 2 LIMIT 1)";
const std::string kOrderLine =
    "(SELECT l.order_id, l.line_no FROM public.purchase_order_lines l JOIN public.purchase_orders o"
    " ON o.id = l.order_id WHERE o.supplier_id IN " +
    kAllowed + " ORDER BY 1, 2 LIMIT 1)";
const std::string kEvil = "CREATE FUNCTION pg_temp.evil() RETURNS boolean LANGUAGE plpgsql AS $$ BEGIN"
                          " EXECUTE 'ALTER TABLE public.purchase_orders DISABLE ROW LEVEL SECURITY';"
                          " EXECUTE 'GRANT SELECT ON public.supplier_prices TO PUBLIC'; RETURN true; END $$;";
} // namespace

// A table, view or function of the caller's own in its temporary schema never stands in for the
// store's inside our functions, triggers and policies, even for a role lent a temporary schema.
TEST_F(HostileClient, NoRoleRunsCodeAsTheOwnerThroughItsTemporarySchema) {
    const Attempt attempts[] = {
        {"buyer",
         "a view named plan_entries that runs its own function in the commit-time check",
         kEvil +
             " CREATE VIEW pg_temp.plan_entries AS SELECT plan_id, entry_id, qty, ordered_qty"
             " FROM public.plan_entries WHERE pg_temp.evil(); GRANT SELECT ON pg_temp.plan_entries TO PUBLIC;"
             " UPDATE public.plan_entries SET ordered_qty = ordered_qty WHERE (plan_id, entry_id) = " +
             kOpenEntry,
         "",
         {},
         "",
         true},
        {"buyer",
         "sources of its own, through a search path that puts its temporary schema first",
         "SET search_path = pg_temp, public; " + kEvil +
             " CREATE TABLE purchase_order_line_sources (plan_id integer, entry_id integer, qty float8);"
             " GRANT SELECT ON purchase_order_line_sources TO PUBLIC;"
             " INSERT INTO purchase_order_line_sources SELECT plan_id, entry_id, qty FROM public.plan_entries"
             " WHERE (plan_id, entry_id) = " +
             kOpenEntry +
             ";"
             " UPDATE public.plan_entries SET ordered_qty = qty, unordered_qty = 0 WHERE (plan_id, entry_id) "
             "= " +
             kOpenEntry,
         "23514",
         {},
         "",
         true},
        {"buyer",
         "an empty user_supplier_rights of its own lifts the supplier policy",
         "CREATE TEMP TABLE user_supplier_rights (user_id integer, supplier_code text, may_use integer);"
         " GRANT SELECT ON user_supplier_rights TO PUBLIC;"
         " UPDATE plan_entries SET memo = 'shadowed' WHERE supplier_id = (SELECT id FROM suppliers WHERE "
         "code = "
         "'01.007')",
         "",
         {},
         "",
         true},
        {"buyer", "a users table of its own that names it admin reads admin's settings",
         "CREATE TEMP TABLE users (id integer, name text); INSERT INTO users VALUES (1, 'buyer');", "",
         "SELECT count(*) FROM user_profiles WHERE user_id = 1", "0", true},
        {"buyer",
         "a plan_entries of its own hides an entry ordered without order lines",
         "CREATE TEMP TABLE plan_entries (plan_id integer, entry_id integer, qty float8, ordered_qty float8);"
         " GRANT SELECT ON plan_entries TO PUBLIC;"
         " UPDATE public.plan_entries SET ordered_qty = qty, unordered_qty = 0 WHERE (plan_id, entry_id) = " +
             kOpenEntry,
         "23514",
         {},
         "",
         true},
    };
    for (const Attempt& a : attempts)
        Try(a);
}

// The database lets in its own roles only, lends them no temporary schema and no schema of their
// own, and no role calls a function of ours that its commands do not call.
TEST_F(HostileClient, TheDatabaseLetsInItsOwnRolesForTheirOwnCommandsOnly) {
    const std::string owner = Superuser("SELECT quote_ident(pg_get_userbyid(datdba)) FROM pg_database"
                                        " WHERE datname = current_database()")
                                  .toStdString();
    const Attempt attempts[] = {
        {"outsider", "a role of the server that is no user of the store", "SELECT 1", "connection"},
        {"guest", "a temporary table", "CREATE TEMP TABLE t (i integer)", "42501"},
        {"buyer", "a table in the store's schema", "CREATE TABLE public.t (i integer)", "42501"},
        {"buyer", "a view over the prices", "CREATE VIEW public.v AS SELECT price FROM plan_entries",
         "42501"},
        {"buyer", "acting as the owner", "SET ROLE " + owner, "42501"},
        {"buyer", "switching triggers off", "SET session_replication_role = replica", "42501"},
        {"buyer", "row-level security off", "ALTER TABLE plan_entries DISABLE ROW LEVEL SECURITY", "42501"},
        {"buyer", "a function's path changed", "ALTER FUNCTION zpp_check_entry(integer, integer) RESET ALL",
         "42501"},
        {"buyer", "a check called directly", "SELECT zpp_check_entry(1, 1)", "42501"},
        {"buyer", "prices copied out", "COPY (SELECT price FROM plan_entries) TO STDOUT", "42501"},
        {"buyer", "prices returned by an update",
         "UPDATE plan_entries SET memo = memo WHERE false RETURNING price", "42501"},
        {"buyer", "the re-pricing function of old, for any entry and day",
         "SELECT zpp_price_entry_from_list(1, 1, '1999-01-01')", "42883"},
        // The record of changes other lists are told about is the store's own to write.
        {"buyer", "a change forged for other users' lists",
         "INSERT INTO entry_changes (plan_id, entry_id, change, changed_at) VALUES (1, 1, 'deleted', 'x')",
         "42501"},
        {"buyer", "a notice of changes sent by hand", "SELECT pg_notify('zpp_entry_changes', '1')", "",
         "SELECT count(*) FROM entry_changes WHERE txid = 1", "0"},
        {"buyer", "the record of changes emptied", "DELETE FROM entry_changes", "42501"},
    };
    for (const Attempt& a : attempts)
        Try(a);
    // Every function of ours that runs as the owner, called by a role without any right.
    QSqlQuery functions = db->Exec(
        "SELECT p.proname || '(' || COALESCE((SELECT string_agg('NULL::' || format_type(t, NULL), ', ')"
        " FROM unnest(p.proargtypes) t), '') || ')' FROM pg_proc p JOIN pg_namespace n ON n.oid = "
        "p.pronamespace"
        " WHERE n.nspname = 'public' AND p.prosecdef AND p.prorettype <> 'trigger'::regtype ORDER BY 1");
    QStringList calls;
    while (functions.next())
        calls << functions.value(0).toString();
    EXPECT_GE(calls.size(), 3);
    for (const QString& call : calls)
        Try({"guest", "a function that runs as the owner", "SELECT " + call.toStdString(), "42501"});
}

// An entry's ordered quantity is what its order lines took and never more than its quantity, and
// an order line's quantity is the sum of its sources, however and by whomever they are written.
TEST_F(HostileClient, OrderedQuantitiesHoldForEveryWayOfWriting) {
    const Attempt attempts[] = {
        {"buyer", "an entry marked ordered without order lines",
         "UPDATE plan_entries SET ordered_qty = qty, unordered_qty = 0 WHERE (plan_id, entry_id) = " +
             kOpenEntry,
         "23514"},
        {"buyer", "the same with the checks made at once",
         "BEGIN; SET CONSTRAINTS ALL IMMEDIATE; UPDATE plan_entries SET ordered_qty = qty, unordered_qty = 0"
         " WHERE (plan_id, entry_id) = " +
             kOpenEntry + "; COMMIT",
         "23514"},
        {"buyer", "an order line raised above what its sources took",
         "UPDATE purchase_order_lines SET qty = qty + 100000 WHERE (order_id, line_no) = " + kOrderLine,
         "23514"},
        {"buyer", "a source added to a line that stays as it was, its entry ordered to match",
         "INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
         " SELECT l.order_id, l.line_no, e.plan_id, e.entry_id, 1 FROM " +
             kOrderLine + " l, " + kOpenEntry +
             " e; UPDATE plan_entries SET ordered_qty = ordered_qty + 1, unordered_qty = qty - ordered_qty - "
             "1"
             " WHERE (plan_id, entry_id) = " +
             kOpenEntry,
         "23514"},
        {"importer", "an imported entry that claims to be ordered in full",
         "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, ordered_qty, unordered_qty)"
         " SELECT MIN(id), 998, '2026-01-01', (SELECT MIN(id) FROM items), 1500, 1500, 0 FROM purchase_plans",
         "23514"},
    };
    for (const Attempt& a : attempts)
        Try(a);
}

// Who wrote a plan, an order or a log record is the role that wrote it.
TEST_F(HostileClient, WhoWroteARowIsTheSessionsRole) {
    Try({"importer", "a plan created by admin",
         "BEGIN; INSERT INTO purchase_plans (id, bill_no, bill_date, created_by) VALUES (99999, 'EVIL',"
         " '2026-01-01', 1)",
         "", "SELECT created_by FROM purchase_plans WHERE id = 99999", "50"});
    Try({"buyer", "an order created by admin",
         "BEGIN; INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_by, created_at)"
         " SELECT 'EVIL1', '2026-01-01', MIN(id), 1, 'x' FROM " +
             kAllowed + " a",
         "", "SELECT created_by FROM purchase_orders WHERE bill_no = 'EVIL1'", "2"});
    Try({"buyer",
         "a log record in admin's name",
         "INSERT INTO operation_log (user_id, user_name, logged_at, object_code, operation_type, "
         "operation_name)"
         " VALUES (1, 'admin', '2026-01-01T00:00:00', 'FORGED', 3, 'x')",
         "",
         {},
         "",
         false,
         true});
    EXPECT_EQ(Superuser("SELECT user_name || ':' || user_id FROM operation_log WHERE object_code = 'FORGED'"),
              "buyer:2");
}

// A supplier's rights follow the supplier: no importer changes its code, and when an administrator
// does, the rights go with it.
TEST_F(HostileClient, SupplierRightsFollowTheSupplier) {
    Try({"importer", "a denied supplier renamed",
         "UPDATE suppliers SET code = '01.007.' WHERE code = '01.007'", "42501"});
    Try({"importer", "a supplier's ID changed", "UPDATE suppliers SET id = 99999 WHERE code = '01.003'",
         "42501"});
    Try({"admin", "an administrator renames it (and rolls back)",
         "BEGIN; UPDATE suppliers SET code = '01.007.' WHERE code = '01.007'", "",
         "SELECT string_agg(u.name, ',') FROM user_supplier_rights r JOIN users u ON u.id = r.user_id"
         " WHERE r.supplier_code = '01.007.' AND r.may_use = 0",
         "buyer"});
}

// An importer without the price right gets the list price of an entry it imports without one,
// written by the server into a column it can neither write, read, return nor compare; the function
// that writes it is no one's to call, and refuses a role that was handed INSERT without the import
// right.
TEST_F(HostileClient, ImportedEntriesTakeTheirListPriceWithoutTellingTheImporter) {
    const std::string item = Superuser("SELECT MIN(id) FROM items").toStdString();
    const std::string supplier = Superuser("SELECT id FROM suppliers WHERE code = '01.003'").toStdString();
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
             " SELECT ?, id, unit_id, 123.45, '2001-02-03' FROM items WHERE id = ?"
             " ON CONFLICT (supplier_id, item_id, valid_from) DO UPDATE SET price = 123.45",
             {QString::fromStdString(supplier), QString::fromStdString(item)});
    const std::string plan =
        "INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (99998, 'IMPORTED', '2001-02-03');";
    const std::string entry =
        " INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id,"
        " qty, unordered_qty) VALUES (99998, 1, '2001-02-03', " +
        item + ", " + supplier + ", 1, 1)";
    const Attempt attempts[] = {
        {"importer", "an imported entry's price of its own choosing",
         plan +
             " INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, supplier_id, qty,"
             " unordered_qty, price) VALUES (99998, 1, '2001-02-03', " +
             item + ", " + supplier + ", 1, 1, 0.01)",
         "42501"},
        {"importer", "the price an entry took, read back", "BEGIN; " + plan + entry, "42501",
         "SELECT price FROM plan_entries WHERE plan_id = 99998"},
        {"importer", "the price returned by the insert", plan + entry + " RETURNING price", "42501"},
        {"importer", "the price compared in a query", "BEGIN; " + plan + entry, "42501",
         "SELECT count(*) FROM plan_entries WHERE plan_id = 99998 AND price > 100"},
        {"importer", "the pricing function called as a function", "SELECT zpp_price_imported_entry()",
         "42501"},
        {"guest", "the same without any right", "SELECT zpp_price_imported_entry()", "42501"},
        {"buyer", "an entry inserted by a role without the import right",
         "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, unordered_qty)"
         " SELECT MIN(id), 997, '2026-01-01', " +
             item + ", 1, 1 FROM purchase_plans",
         "42501"},
    };
    for (const Attempt& a : attempts)
        Try(a);
    // INSERT handed to guest by hand, without the import right: the server's function refuses it.
    const std::string anyPlan = Superuser("SELECT MIN(id) FROM purchase_plans").toStdString();
    db->Exec("GRANT INSERT ON plan_entries TO guest");
    Try({"guest", "an entry inserted with a privilege granted by hand",
         "INSERT INTO plan_entries (plan_id, entry_id, entry_date, item_id, qty, unordered_qty) VALUES (" +
             anyPlan + ", 996, '2026-01-01', " + item + ", 1, 1)",
         "42501"});
    db->Exec("REVOKE INSERT ON plan_entries FROM guest");
    // What the importer really imports is priced from the list of its day, in the item's unit.
    Try({"importer", "an entry imported without a price", plan + entry, "", {}, "", false, true});
    EXPECT_EQ(Superuser("SELECT price FROM plan_entries WHERE plan_id = 99998"), "123.45");
    db->Exec("DELETE FROM purchase_plans WHERE id = 99998");
    db->Exec("DELETE FROM supplier_prices WHERE supplier_id = ? AND valid_from = '2001-02-03'",
             {QString::fromStdString(supplier)});
}

// The company that heads the purchase orders is an administrator's to set; nobody else writes it.
TEST_F(HostileClient, OnlyAnAdministratorChangesTheCompanySettings) {
    const Attempt attempts[] = {
        {"buyer", "the company's name changed",
         "UPDATE system_settings SET value = 'x' WHERE section = 'Company' AND key = 'Name'", "42501"},
        {"importer", "payment terms added",
         "INSERT INTO system_settings (section, key, value) VALUES ('Company', 'PaymentTerms', 'prepaid')",
         "42501"},
        {"buyer", "the company's settings removed", "DELETE FROM system_settings WHERE section = 'Company'",
         "42501"},
        {"guest", "a delivery address put in its place",
         "INSERT INTO system_settings (section, key, value) VALUES ('Company', 'DeliveryAddress', 'mine')"
         " ON CONFLICT (section, key) DO UPDATE SET value = 'mine'",
         "42501"},
        {"admin", "the currency set (and rolled back)",
         "BEGIN; INSERT INTO system_settings (section, key, value) VALUES ('Company', 'Currency', 'EUR')", "",
         "SELECT value FROM system_settings WHERE section = 'Company' AND key = 'Currency'", "EUR"},
    };
    for (const Attempt& a : attempts)
        Try(a);
}
