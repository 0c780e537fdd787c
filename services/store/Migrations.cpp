#include "Migrations.h"

#include "EntryChanges.h"

#include "PgRules.h"

namespace zpp::store {

namespace {
// Quantities, prices and rates must stay finite: SQLite turns NaN into NULL (caught by NOT NULL)
// and PostgreSQL sorts NaN above every number, so one range check catches NaN and infinity in both.
QString Finite(const QString& column) {
    return QStringLiteral(" CHECK (%1 BETWEEN -1e300 AND 1e300)").arg(column);
}

// Dates are kept as "yyyy-MM-dd" text in both stores, so ranges and ordering compare alike.
QString IsoDate(const QString& column) {
    return QStringLiteral(" CHECK (length(%1) = 10 AND %1 BETWEEN '0001-01-01' AND '9999-12-31')")
        .arg(column);
}

QStringList PlanningSchema() {
    QStringList s;
    s << QString("CREATE TABLE units ("
                 " id INTEGER PRIMARY KEY,"
                 " name TEXT NOT NULL UNIQUE)");
    s << QString("CREATE TABLE items ("
                 " id INTEGER PRIMARY KEY,"
                 " code TEXT NOT NULL UNIQUE,"
                 " name TEXT NOT NULL,"
                 " model TEXT NOT NULL DEFAULT '',"
                 " unit_id INTEGER NOT NULL REFERENCES units(id),"
                 " qty_decimals INTEGER NOT NULL DEFAULT 4 CHECK (qty_decimals BETWEEN 0 AND 10),"
                 " price_decimals INTEGER NOT NULL DEFAULT 4 CHECK (price_decimals BETWEEN 0 AND 10))");
    s << QString("CREATE TABLE aux_props ("
                 " id INTEGER PRIMARY KEY,"
                 " name TEXT NOT NULL UNIQUE)");
    // credit_control: '' no control, '2' warn, '3' forbid; a NULL credit line means no line.
    s << QString("CREATE TABLE suppliers ("
                 " id INTEGER PRIMARY KEY CHECK (id > 0),"
                 " code TEXT NOT NULL UNIQUE,"
                 " name TEXT NOT NULL,"
                 " tax_rate {{real}} NOT NULL DEFAULT 13 CHECK (tax_rate BETWEEN 0 AND 100),"
                 " credit_line {{real}}" +
                 Finite("credit_line") +
                 ","
                 " credit_control TEXT NOT NULL DEFAULT '' CHECK (credit_control IN ('', '2', '3')))");
    s << QString("CREATE TABLE supplier_prices ("
                 " supplier_id INTEGER NOT NULL REFERENCES suppliers(id) ON DELETE CASCADE,"
                 " item_id INTEGER NOT NULL REFERENCES items(id) ON DELETE CASCADE,"
                 " unit_id INTEGER NOT NULL REFERENCES units(id),"
                 " price {{real}} NOT NULL CHECK (price >= 0)" +
                 Finite("price") + "," + " valid_from TEXT NOT NULL" + IsoDate("valid_from") +
                 ","
                 " PRIMARY KEY (supplier_id, item_id, valid_from))");
    s << QString("CREATE TABLE purchase_plans ("
                 " id INTEGER PRIMARY KEY CHECK (id > 0),"
                 " bill_no TEXT NOT NULL UNIQUE,"
                 " bill_date TEXT NOT NULL" +
                 IsoDate("bill_date") +
                 ","
                 " created_by INTEGER REFERENCES users(id))");
    // Entry IDs stay below 1000: the component orders merged members by interior ID * 1000 + entry ID.
    s << QString("CREATE TABLE plan_entries ("
                 " plan_id INTEGER NOT NULL REFERENCES purchase_plans(id) ON DELETE CASCADE,"
                 " entry_id INTEGER NOT NULL CHECK (entry_id BETWEEN 1 AND 999),"
                 " entry_date TEXT NOT NULL" +
                 IsoDate("entry_date") +
                 ","
                 " item_id INTEGER NOT NULL REFERENCES items(id),"
                 " aux_prop_id INTEGER REFERENCES aux_props(id),"
                 " supplier_id INTEGER REFERENCES suppliers(id),"
                 " qty {{real}} NOT NULL CHECK (qty >= 0)" +
                 Finite("qty") +
                 ","
                 " ordered_qty {{real}} NOT NULL DEFAULT 0 CHECK (ordered_qty >= 0)" +
                 Finite("ordered_qty") +
                 ","
                 " unordered_qty {{real}} NOT NULL" +
                 Finite("unordered_qty") +
                 ","
                 " push_qty {{real}} NOT NULL DEFAULT 0 CHECK (push_qty >= 0)" +
                 Finite("push_qty") +
                 ","
                 " price {{real}} NOT NULL DEFAULT 0 CHECK (price >= 0)" +
                 Finite("price") +
                 ","
                 " discount_rate {{real}} NOT NULL DEFAULT 0 CHECK (discount_rate BETWEEN 0 AND 100),"
                 " tax_rate {{real}} NOT NULL DEFAULT 0 CHECK (tax_rate BETWEEN 0 AND 100),"
                 " finish_date TEXT" +
                 IsoDate("finish_date") +
                 ","
                 " start_date TEXT" +
                 IsoDate("start_date") +
                 ","
                 " memo TEXT NOT NULL DEFAULT '',"
                 " source_no TEXT NOT NULL DEFAULT '',"
                 " close_mark TEXT NOT NULL DEFAULT '',"
                 " PRIMARY KEY (plan_id, entry_id),"
                 " CHECK (unordered_qty = qty - ordered_qty))");
    s << QString("CREATE INDEX plan_entries_date ON plan_entries (entry_date, plan_id, entry_id)");
    s << QString("CREATE INDEX plan_entries_item ON plan_entries (item_id)");
    s << QString("CREATE INDEX plan_entries_supplier ON plan_entries (supplier_id)");
    s << QString("CREATE INDEX supplier_prices_item ON supplier_prices (item_id)");
    // Orders are written by the push; each line remembers the plan entries it came from.
    s << QString("CREATE TABLE purchase_orders ("
                 " id {{autoid}},"
                 " bill_no TEXT NOT NULL UNIQUE,"
                 " bill_date TEXT NOT NULL" +
                 IsoDate("bill_date") +
                 ","
                 " supplier_id INTEGER NOT NULL REFERENCES suppliers(id),"
                 " created_by INTEGER REFERENCES users(id),"
                 " created_at TEXT NOT NULL,"
                 " closed INTEGER NOT NULL DEFAULT 0 CHECK (closed IN (0, 1)))");
    s << QString("CREATE INDEX purchase_orders_creator ON purchase_orders (created_by)");
    s << QString("CREATE INDEX purchase_orders_supplier ON purchase_orders (supplier_id)");
    s << QString("CREATE TABLE purchase_order_lines ("
                 " order_id BIGINT NOT NULL REFERENCES purchase_orders(id) ON DELETE CASCADE,"
                 " line_no INTEGER NOT NULL CHECK (line_no > 0),"
                 " item_id INTEGER NOT NULL REFERENCES items(id),"
                 " aux_prop_id INTEGER REFERENCES aux_props(id),"
                 " unit_id INTEGER NOT NULL REFERENCES units(id),"
                 " qty {{real}} NOT NULL CHECK (qty >= 0)" +
                 Finite("qty") +
                 ","
                 " price {{real}} NOT NULL DEFAULT 0 CHECK (price >= 0)" +
                 Finite("price") +
                 ","
                 " discount_rate {{real}} NOT NULL DEFAULT 0 CHECK (discount_rate BETWEEN 0 AND 100),"
                 " tax_rate {{real}} NOT NULL DEFAULT 0 CHECK (tax_rate BETWEEN 0 AND 100),"
                 " finish_date TEXT" +
                 IsoDate("finish_date") +
                 ","
                 " memo TEXT NOT NULL DEFAULT '',"
                 " PRIMARY KEY (order_id, line_no))");
    s << QString("CREATE TABLE purchase_order_line_sources ("
                 " order_id BIGINT NOT NULL,"
                 " line_no INTEGER NOT NULL,"
                 " plan_id INTEGER NOT NULL,"
                 " entry_id INTEGER NOT NULL,"
                 " qty {{real}} NOT NULL CHECK (qty >= 0)" +
                 Finite("qty") +
                 ","
                 " PRIMARY KEY (order_id, line_no, plan_id, entry_id),"
                 " FOREIGN KEY (order_id, line_no) REFERENCES purchase_order_lines(order_id, line_no)"
                 " ON DELETE CASCADE,"
                 " FOREIGN KEY (plan_id, entry_id) REFERENCES plan_entries(plan_id, entry_id))");
    s << QString("CREATE INDEX purchase_order_line_sources_entry ON purchase_order_line_sources "
                 "(plan_id, entry_id)");
    s << QString("CREATE TABLE system_settings ("
                 " section TEXT NOT NULL,"
                 " key TEXT NOT NULL,"
                 " value TEXT NOT NULL,"
                 " PRIMARY KEY (section, key))");
    s << QString("INSERT INTO system_settings (section, key, value) VALUES"
                 " ('IC', 'PrecisionOfDiscountRate', '2')");
    s << QString("CREATE TABLE user_profiles ("
                 " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
                 " section TEXT NOT NULL,"
                 " key TEXT NOT NULL,"
                 " value TEXT NOT NULL,"
                 " PRIMARY KEY (user_id, section, key))");
    s << QString("CREATE TABLE report_formats ("
                 " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
                 " report_id INTEGER NOT NULL,"
                 " format_key TEXT NOT NULL,"
                 " value TEXT NOT NULL,"
                 " PRIMARY KEY (user_id, report_id, format_key))");
    // saved_seq orders the saves of one user, so "the scheme saved last" is well defined.
    s << QString("CREATE TABLE filter_schemes ("
                 " id {{autoid}},"
                 " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
                 " report_id INTEGER NOT NULL,"
                 " name TEXT NOT NULL,"
                 " next_choose INTEGER NOT NULL DEFAULT 0 CHECK (next_choose IN (0, 1)),"
                 " saved_seq BIGINT NOT NULL DEFAULT 0,"
                 " UNIQUE (user_id, report_id, name))");
    s << QString("CREATE TABLE filter_scheme_values ("
                 " scheme_id BIGINT NOT NULL REFERENCES filter_schemes(id) ON DELETE CASCADE,"
                 " key TEXT NOT NULL,"
                 " value TEXT,"
                 " seq INTEGER NOT NULL,"
                 " PRIMARY KEY (scheme_id, key))");
    return s;
}

// Statements marked {{pg}} run on PostgreSQL only.
QStringList PostgresRules() {
    QStringList s;
    // Whether the role may use the supplier; a supplier without a rights row is allowed. Policies
    // ask for current_user; the server's own functions, which run as the owner, for session_user.
    s << QStringLiteral("{{pg}}CREATE FUNCTION zpp_may_use_supplier(p_supplier integer, p_role text)"
                        " RETURNS boolean LANGUAGE sql STABLE AS $f$"
                        " SELECT p_supplier IS NULL OR NOT EXISTS (SELECT 1 FROM user_supplier_rights r"
                        " JOIN users u ON u.id = r.user_id JOIN suppliers s ON s.code = r.supplier_code"
                        " WHERE s.id = p_supplier AND u.name = p_role AND r.may_use = 0) $f$");
    for (const char* table : {"plan_entries", "purchase_plans", "purchase_orders", "purchase_order_lines"})
        s << QStringLiteral("{{pg}}ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(QLatin1String(table));
    const QString entryOk = QStringLiteral("zpp_may_use_supplier(supplier_id, current_user)");
    const QString orderOk = QStringLiteral("EXISTS (SELECT 1 FROM purchase_orders o WHERE o.id = order_id"
                                           " AND zpp_may_use_supplier(o.supplier_id, current_user))");
    const QString planOk = QStringLiteral("NOT EXISTS (SELECT 1 FROM plan_entries e WHERE e.plan_id = id"
                                          " AND NOT zpp_may_use_supplier(e.supplier_id, current_user))");
    const struct {
        const char* Table;
        QString Write, Delete;
    } policies[] = {{"plan_entries", entryOk, entryOk},
                    {"purchase_plans", QStringLiteral("true"), planOk},
                    {"purchase_orders", entryOk, entryOk},
                    {"purchase_order_lines", orderOk, orderOk}};
    for (const auto& p : policies) {
        const QString t = QLatin1String(p.Table);
        s << QStringLiteral("{{pg}}CREATE POLICY zpp_read ON %1 FOR SELECT USING (true)").arg(t);
        s << QStringLiteral("{{pg}}CREATE POLICY zpp_insert ON %1 FOR INSERT WITH CHECK (%2)")
                 .arg(t, p.Write);
        s << QStringLiteral("{{pg}}CREATE POLICY zpp_update ON %1 FOR UPDATE USING (%2) WITH CHECK (%2)")
                 .arg(t, p.Write);
        s << QStringLiteral("{{pg}}CREATE POLICY zpp_delete ON %1 FOR DELETE USING (%2)").arg(t, p.Delete);
    }
    // Checked at commit, when every statement of the change is in: a push writes its sources and
    // the entries' ordered quantities one after the other.
    s << QStringLiteral(
        "{{pg}}CREATE FUNCTION zpp_check_entry_orders() RETURNS trigger LANGUAGE plpgsql"
        " SECURITY DEFINER SET search_path = public AS $f$"
        " DECLARE p integer; e integer; q double precision; o double precision; taken double precision;"
        " BEGIN"
        "  IF TG_OP = 'DELETE' THEN p := OLD.plan_id; e := OLD.entry_id;"
        "  ELSE p := NEW.plan_id; e := NEW.entry_id; END IF;"
        "  SELECT qty, ordered_qty INTO q, o FROM plan_entries WHERE plan_id = p AND entry_id = e;"
        "  IF NOT FOUND THEN RETURN NULL; END IF;"
        "  SELECT COALESCE(SUM(qty), 0) INTO taken FROM purchase_order_line_sources"
        "   WHERE plan_id = p AND entry_id = e;"
        "  IF o > q + 1e-6 * greatest(1, abs(q)) THEN"
        "   RAISE EXCEPTION 'plan entry %/% is ordered beyond its quantity (% of %)', p, e, o, q"
        "    USING ERRCODE = 'check_violation';"
        "  END IF;"
        "  IF abs(o - taken) > 1e-6 * greatest(1, abs(o)) THEN"
        "   RAISE EXCEPTION 'plan entry %/%: ordered quantity % is not what its order lines took (%)',"
        "    p, e, o, taken USING ERRCODE = 'check_violation';"
        "  END IF;"
        "  RETURN NULL;"
        " END $f$");
    s << QStringLiteral("{{pg}}CREATE CONSTRAINT TRIGGER zpp_entry_orders AFTER UPDATE OF qty, ordered_qty"
                        " ON plan_entries DEFERRABLE INITIALLY DEFERRED FOR EACH ROW"
                        " EXECUTE FUNCTION zpp_check_entry_orders()");
    s << QStringLiteral("{{pg}}CREATE CONSTRAINT TRIGGER zpp_entry_orders AFTER INSERT OR UPDATE OR DELETE"
                        " ON purchase_order_line_sources DEFERRABLE INITIALLY DEFERRED FOR EACH ROW"
                        " EXECUTE FUNCTION zpp_check_entry_orders()");
    return s;
}

QStringList PostgresPriceWork() {
    QStringList s;
    // Whether the logged-in role holds every bit of mask in the purchase plan module. These
    // functions run as the owner, so the caller is session_user.
    s << QStringLiteral("{{pg}}CREATE FUNCTION zpp_holds(p_mask bigint) RETURNS boolean LANGUAGE sql STABLE"
                        " AS $f$ SELECT EXISTS (SELECT 1 FROM user_rights r JOIN users u ON u.id = r.user_id"
                        " WHERE u.name = session_user AND r.subsystem = 1006 AND r.module = 13"
                        " AND (r.granted_mask & p_mask) = p_mask) $f$");
    const QString& head = pg::kDefiner;
    const QString& refuse = pg::kRefuse;
    const QString& listPrice = pg::kListPrice;
    // The save: an entry whose supplier changed is priced from that supplier's list (0 without one).
    s << head.arg(QStringLiteral("zpp_price_entry_from_list(p_plan integer, p_entry integer, p_day text)"
                                 " RETURNS void"),
                  QStringLiteral("BEGIN") + refuse.arg(4194304) +
                      QStringLiteral(" UPDATE plan_entries e SET price = COALESCE(") +
                      listPrice.arg(QStringLiteral("e.supplier_id"), QStringLiteral("e.item_id"),
                                    QStringLiteral("0"), QStringLiteral("p_day")) +
                      QStringLiteral(", 0) WHERE e.plan_id = p_plan AND e.entry_id = p_entry"
                                     " AND zpp_may_use_supplier(e.supplier_id, session_user); END;"));
    // The push: each line of the user's new order takes the price its entries hold; entries of
    // different prices cannot make one line.
    s << head.arg(
        QStringLiteral("zpp_price_order_lines(p_order bigint) RETURNS integer"),
        QStringLiteral("DECLARE differing integer; BEGIN") + refuse.arg(1) +
            QStringLiteral(
                " SELECT MIN(s.line_no) INTO differing FROM purchase_order_line_sources s"
                "  JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                "  WHERE s.order_id = p_order GROUP BY s.line_no HAVING MIN(e.price) <> MAX(e.price) LIMIT 1;"
                " IF differing IS NOT NULL THEN RETURN differing; END IF;"
                " UPDATE purchase_order_lines l SET price = (SELECT MIN(e.price) FROM "
                "purchase_order_line_sources s"
                "  JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                "  WHERE s.order_id = l.order_id AND s.line_no = l.line_no)"
                "  FROM purchase_orders o WHERE l.order_id = p_order AND o.id = l.order_id"
                "  AND o.created_by = (SELECT id FROM users WHERE name = session_user);"
                " RETURN 0; END;"));
    // The high-price check: whether the entry's stored price is above the supplier's list price
    // plus the tolerance (no list price, no limit).
    s << head.arg(
        QStringLiteral("zpp_entry_price_above_limit(p_plan integer, p_entry integer, p_supplier integer,"
                       " p_item integer, p_unit integer, p_day text, p_tolerance double precision)"
                       " RETURNS boolean"),
        QStringLiteral("DECLARE listed double precision; stored double precision; BEGIN") +
            refuse.arg(1048576) + QStringLiteral(" listed := ") +
            listPrice.arg(QStringLiteral("p_supplier"), QStringLiteral("p_item"), QStringLiteral("p_unit"),
                          QStringLiteral("p_day")) +
            QStringLiteral(
                "; IF listed IS NULL OR listed <= 0 THEN RETURN false; END IF;"
                " SELECT price INTO stored FROM plan_entries WHERE plan_id = p_plan AND entry_id = p_entry;"
                " RETURN stored > listed * (1 + p_tolerance / 100) * (1 + 1e-9); END;"));
    // The credit check: whether the supplier's open orders, plus these entries ordered at their
    // stored prices, exceed its credit line to the cent.
    s << head.arg(
        QStringLiteral("zpp_credit_exceeded(p_supplier integer, p_plans integer[], p_entries integer[],"
                       " p_qtys double precision[]) RETURNS boolean"),
        QStringLiteral("DECLARE amount double precision; line double precision; BEGIN") +
            refuse.arg(1048576) +
            QStringLiteral(" SELECT credit_line INTO line FROM suppliers WHERE id = p_supplier;"
                           " IF line IS NULL THEN RETURN false; END IF;"
                           " SELECT COALESCE(SUM(l.qty * l.price), 0) INTO amount FROM purchase_orders o"
                           "  JOIN purchase_order_lines l ON l.order_id = o.id"
                           "  WHERE o.supplier_id = p_supplier AND o.closed = 0;"
                           " SELECT amount + COALESCE(SUM(q.qty * e.price), 0) INTO amount"
                           "  FROM unnest(p_plans, p_entries, p_qtys) AS q(plan_id, entry_id, qty)"
                           "  JOIN plan_entries e ON e.plan_id = q.plan_id AND e.entry_id = q.entry_id;"
                           " RETURN round(amount * 100) > round(line * 100); END;"));
    return s;
}

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
    all.push_back(
        {2, QStringLiteral("items, suppliers, price lists, purchase plans, orders, settings, profiles"),
         PlanningSchema()});
    // Every write of an entry bumps its version, so a save can tell that another user changed
    // the entry since the list was loaded.
    all.push_back(
        {3,
         QStringLiteral("entry versions; last purchase prices by item; item lookup by code and name"),
         {
             QStringLiteral("ALTER TABLE plan_entries ADD COLUMN row_version BIGINT NOT NULL DEFAULT 1"),
             QStringLiteral("CREATE INDEX purchase_order_lines_item ON purchase_order_lines (item_id)"),
             // A lookup page is chosen from code and name alone; this index answers it without
             // reading the rows that do not match (four times quicker over 100,000 items).
             QStringLiteral("CREATE INDEX items_code_name ON items (code, name)"),
         }});
    // Where each plan entry came from (the MRP run and the demand behind it), for the upstream
    // lookup; bill numbers handed out per kind under the writer's transaction, so two pushes never
    // share one; the allowed excess of an order price over the price list, in percent.
    all.push_back(
        {4,
         QStringLiteral("plan entry sources; bill number counters; high-price tolerance"),
         {
             QStringLiteral("CREATE TABLE plan_entry_sources ("
                            " plan_id INTEGER NOT NULL,"
                            " entry_id INTEGER NOT NULL,"
                            " seq INTEGER NOT NULL CHECK (seq > 0),"
                            " source_type TEXT NOT NULL CHECK (source_type IN ('MRP', 'SO', 'FC')),"
                            " source_no TEXT NOT NULL,"
                            " source_date TEXT NOT NULL CHECK (length(source_date) = 10),"
                            " qty {{real}} NOT NULL CHECK (qty >= 0),"
                            " PRIMARY KEY (plan_id, entry_id, seq),"
                            " FOREIGN KEY (plan_id, entry_id) REFERENCES plan_entries(plan_id, entry_id)"
                            " ON DELETE CASCADE)"),
             QStringLiteral("CREATE TABLE bill_counters ("
                            " kind TEXT PRIMARY KEY,"
                            " last_no BIGINT NOT NULL CHECK (last_no >= 0))"),
             QStringLiteral("INSERT INTO system_settings (section, key, value) VALUES"
                            " ('PO', 'HighPriceTolerance', '10')"),
         }});
    // How long a command may wait for rows another user holds, and run, before it gives up whole.
    all.push_back({5,
                   QStringLiteral("time limits of a lock wait and of a statement"),
                   {
                       QStringLiteral("INSERT INTO system_settings (section, key, value) VALUES"
                                      " ('Store', 'LockTimeoutSeconds', '10'),"
                                      " ('Store', 'StatementTimeoutSeconds', '60')"),
                   }});
    // Order lines carry a version like plan entries, so the order window never writes over a
    // change another window saved since it loaded the order.
    all.push_back(
        {6,
         QStringLiteral("versions of purchase order lines"),
         {
             QStringLiteral(
                 "ALTER TABLE purchase_order_lines ADD COLUMN row_version INTEGER NOT NULL DEFAULT 1"),
         }});
    // PostgreSQL holds the rules itself, so a client with a user's credentials gets no further
    // than the program: rows of a supplier the user may not use cannot be written, and an entry's
    // ordered quantity is what its order lines took from it and never more than its quantity,
    // checked at commit. Roles and privileges follow the rights tables (DatabaseRoles.h).
    all.push_back({7, QStringLiteral("row-level supplier rights and the ordered-quantity rule on PostgreSQL"),
                   PostgresRules()});
    // A role without the price right reads no price column; what the program must still do with
    // the prices for such a user (price a changed supplier, order at the stored prices, check the
    // limits) the server does for it, answering yes or no, never a price.
    all.push_back({8, QStringLiteral("price work on PostgreSQL for users without the price right"),
                   PostgresPriceWork()});
    // A user's own settings are theirs alone: no role reads or writes another user's.
    QStringList own{
        QStringLiteral("{{pg}}CREATE FUNCTION zpp_user_id(p_role text) RETURNS integer"
                       " LANGUAGE sql STABLE AS $f$ SELECT id FROM users WHERE name = p_role $f$")};
    for (const char* table : {"user_profiles", "report_formats", "filter_schemes"})
        own << QStringLiteral("{{pg}}ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(QLatin1String(table))
            << QStringLiteral("{{pg}}CREATE POLICY zpp_own ON %1 USING (user_id = zpp_user_id(current_user))"
                              " WITH CHECK (user_id = zpp_user_id(current_user))")
                   .arg(QLatin1String(table));
    const QString ownScheme = QStringLiteral("EXISTS (SELECT 1 FROM filter_schemes s WHERE s.id = scheme_id"
                                             " AND s.user_id = zpp_user_id(current_user))");
    own << QStringLiteral("{{pg}}ALTER TABLE filter_scheme_values ENABLE ROW LEVEL SECURITY")
        << QStringLiteral("{{pg}}CREATE POLICY zpp_own ON filter_scheme_values USING (%1) WITH CHECK (%1)")
               .arg(ownScheme);
    all.push_back({9, QStringLiteral("each user's own settings kept to them on PostgreSQL"), own});
    // Importing a company's data (right 8) is new: only an administrator, who held every right
    // before, keeps it. The company's name and address head the purchase orders it sends.
    all.push_back(
        {10,
         QStringLiteral("the import right for administrators only; the company's name and address"),
         {
             QStringLiteral("UPDATE user_rights SET granted_mask = granted_mask & ~8 WHERE subsystem = 1006"
                            " AND module = 13 AND (granted_mask & 5341461) <> 5341461"),
             QStringLiteral("INSERT INTO system_settings (section, key, value) VALUES"
                            " ('Company', 'Name', ''), ('Company', 'Address', '')"),
         }});
    // A push numbers its orders last, so the number counter is held for the end of a push only; the
    // roles that push may now set an order's number (DatabaseRoles.h), granted on the upgrade.
    all.push_back({11, QStringLiteral("purchase-order numbers given at the end of a push"), {}});
    // The high-price check of lines whose prices the user may not read, many lines to a call: the
    // positions (from 1) of the lines whose entry's stored price is above the supplier's list
    // price plus the tolerance (no list price, no limit).
    all.push_back(
        {12,
         QStringLiteral("the high-price check of many lines at once on PostgreSQL"),
         {pg::kDefiner.arg(
             QStringLiteral("zpp_entries_above_limit(p_plans integer[], p_entries integer[],"
                            " p_suppliers integer[], p_items integer[], p_units integer[], p_day text,"
                            " p_tolerance double precision) RETURNS SETOF integer"),
             QStringLiteral("BEGIN") + pg::kRefuse.arg(1048576) +
                 QStringLiteral(
                     " RETURN QUERY SELECT q.n::integer FROM (SELECT u.n, u.plan_id, u.entry_id, ") +
                 pg::kListPrice.arg(QStringLiteral("u.supplier_id"), QStringLiteral("u.item_id"),
                                    QStringLiteral("u.unit_id"), QStringLiteral("p_day")) +
                 QStringLiteral(
                     " AS listed FROM unnest(p_plans, p_entries, p_suppliers, p_items, p_units)"
                     "  WITH ORDINALITY AS u(plan_id, entry_id, supplier_id, item_id, unit_id, n)) q"
                     " JOIN plan_entries e ON e.plan_id = q.plan_id AND e.entry_id = q.entry_id"
                     " WHERE q.listed > 0 AND e.price > q.listed * (1 + p_tolerance / 100) * (1 + 1e-9)"
                     " ORDER BY q.n; END;"))}});
    // The database's rules hold against a client of its own: fixed search paths, the ordered-quantity
    // rule on every write, the writer's name from the session, supplier rights that follow the supplier.
    all.push_back({13, QStringLiteral("the database's rules hold against any client on PostgreSQL"),
                   pg::PostgresHardening()});
    // A role without the price right asks the server only about stored rows, never a figure of its own.
    all.push_back({14, QStringLiteral("price questions on PostgreSQL about stored rows only"),
                   pg::PostgresPriceQuestions()});
    // Administrators hold no CREATEROLE: roles of the store, checked by the server, make users' roles.
    all.push_back({15,
                   QStringLiteral("user administration on PostgreSQL without CREATEROLE for administrators"),
                   PostgresRoleAdministration()});
    // An entry imported without a price takes its supplier's list price on the store's side, so a
    // user who may not see prices gets it stored without learning it.
    all.push_back({16, QStringLiteral("list prices of entries imported by users without the price right"),
                   pg::PostgresImportPrices()});
    // A user is disabled (cannot log in, keeps its rights) or deleted (no rights, not listed) rather
    // than removed: plans, orders and log records keep naming it by its ID.
    all.push_back(
        {17, QStringLiteral("users disabled or deleted, their roles locked out on PostgreSQL"),
         QStringList{QStringLiteral("ALTER TABLE users ADD COLUMN status TEXT NOT NULL DEFAULT 'active'"
                                    " CHECK (status IN ('active', 'disabled', 'deleted'))")} +
             PostgresUserStates()});
    // Every open list learns what other users change as they commit (EntryChanges.h).
    all.push_back({18, QStringLiteral("a record of changed plan entries for open lists to notice"),
                   EntryChangeSchema()});
    // A file's record names no transaction: its index on one cost a bulk statement more than the
    // row itself.
    all.push_back(
        {19,
         QStringLiteral("the record of changed entries without a transaction index on SQLite"),
         {QStringLiteral("DROP INDEX IF EXISTS entry_changes_txid"),
          QStringLiteral("{{pg}}CREATE INDEX IF NOT EXISTS entry_changes_txid ON entry_changes (txid)")}});
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
