#include "PgRules.h"

namespace zpp::store::pg {

namespace {
// Within this much (relative) two quantities summed in floating point are the same.
QString Same(const QString& a, const QString& b) {
    return QStringLiteral("abs(%1 - %2) <= 1e-6 * greatest(1, abs(%1))").arg(a, b);
}
} // namespace

QStringList PostgresHardening() {
    QStringList s;
    // The row policies call these as the caller, so they name every table by its schema: a table
    // of the caller's own in its temporary schema cannot stand in for ours. Without a SET clause
    // the planner may still fold them into the policy's query.
    s << QStringLiteral(
        "{{pg}}CREATE OR REPLACE FUNCTION public.zpp_may_use_supplier(p_supplier integer, p_role text)"
        " RETURNS boolean LANGUAGE sql STABLE AS $f$"
        " SELECT p_supplier IS NULL OR NOT EXISTS (SELECT 1 FROM public.user_supplier_rights r"
        " JOIN public.users u ON u.id = r.user_id JOIN public.suppliers s ON s.code = r.supplier_code"
        " WHERE s.id = p_supplier AND u.name = p_role AND r.may_use = 0) $f$");
    s << QStringLiteral("{{pg}}CREATE OR REPLACE FUNCTION public.zpp_user_id(p_role text) RETURNS integer"
                        " LANGUAGE sql STABLE AS $f$ SELECT id FROM public.users WHERE name = p_role $f$");
    // Every other function of ours gets the fixed path.
    s << QStringLiteral("{{pg}}DO $d$ DECLARE f record; BEGIN FOR f IN SELECT p.oid::regprocedure AS sig"
                        " FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace"
                        " WHERE n.nspname = 'public' AND p.proname LIKE 'zpp\\_%'"
                        " AND p.proname NOT IN ('zpp_may_use_supplier', 'zpp_user_id') LOOP"
                        " EXECUTE 'ALTER FUNCTION ' || f.sig || ' SET search_path = ") +
             kSearchPath + QStringLiteral("'; END LOOP; END $d$");

    // The ordered quantity, checked at commit for every way of writing it: an entry's ordered
    // quantity is what its sources took and never more than its quantity; an order line taken
    // from the plan holds the sum of its sources. An update that moves a source checks both ends.
    s << QStringLiteral("{{pg}}DROP TRIGGER IF EXISTS zpp_entry_orders ON plan_entries");
    s << QStringLiteral("{{pg}}DROP TRIGGER IF EXISTS zpp_entry_orders ON purchase_order_line_sources");
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_check_entry_orders()");
    s << kDefiner.arg(
        QStringLiteral("zpp_check_entry(p integer, e integer) RETURNS void"),
        QStringLiteral(
            "DECLARE q double precision; o double precision; taken double precision; BEGIN"
            " SELECT qty, ordered_qty INTO q, o FROM plan_entries WHERE plan_id = p AND entry_id = e;"
            " IF NOT FOUND THEN RETURN; END IF;"
            " SELECT COALESCE(SUM(qty), 0) INTO taken FROM purchase_order_line_sources"
            "  WHERE plan_id = p AND entry_id = e;"
            " IF o > q + 1e-6 * greatest(1, abs(q)) THEN"
            "  RAISE EXCEPTION 'plan entry %/% is ordered beyond its quantity (% of %)', p, e, o, q"
            "   USING ERRCODE = 'check_violation';"
            " END IF;"
            " IF NOT (") +
            Same(QStringLiteral("o"), QStringLiteral("taken")) +
            QStringLiteral(") THEN"
                           "  RAISE EXCEPTION 'plan entry %/%: ordered quantity % is not what its order lines"
                           " took (%)', p, e, o, taken USING ERRCODE = 'check_violation';"
                           " END IF; END"));
    s << kDefiner.arg(
        QStringLiteral("zpp_check_line(p_order bigint, p_line integer) RETURNS void"),
        QStringLiteral(
            "DECLARE q double precision; taken double precision; n bigint; BEGIN"
            " SELECT qty INTO q FROM purchase_order_lines WHERE order_id = p_order AND line_no = p_line;"
            " IF NOT FOUND THEN RETURN; END IF;"
            " SELECT COALESCE(SUM(qty), 0), COUNT(*) INTO taken, n FROM purchase_order_line_sources"
            "  WHERE order_id = p_order AND line_no = p_line;"
            // A line typed into an order by hand took nothing from the plan.
            " IF n = 0 THEN RETURN; END IF;"
            " IF NOT (") +
            Same(QStringLiteral("q"), QStringLiteral("taken")) +
            QStringLiteral(") THEN"
                           "  RAISE EXCEPTION 'order line %/%: quantity % is not the sum of its sources (%)',"
                           "   p_order, p_line, q, taken USING ERRCODE = 'check_violation';"
                           " END IF; END"));
    s << kDefiner.arg(
        QStringLiteral("zpp_entry_written() RETURNS trigger"),
        QStringLiteral("BEGIN PERFORM zpp_check_entry(NEW.plan_id, NEW.entry_id); RETURN NULL; END"));
    s << kDefiner.arg(
        QStringLiteral("zpp_line_written() RETURNS trigger"),
        QStringLiteral("BEGIN PERFORM zpp_check_line(NEW.order_id, NEW.line_no); RETURN NULL; END"));
    s << kDefiner.arg(
        QStringLiteral("zpp_source_written() RETURNS trigger"),
        QStringLiteral("BEGIN"
                       " IF TG_OP <> 'INSERT' THEN PERFORM zpp_check_entry(OLD.plan_id, OLD.entry_id);"
                       "  PERFORM zpp_check_line(OLD.order_id, OLD.line_no); END IF;"
                       " IF TG_OP <> 'DELETE' THEN PERFORM zpp_check_entry(NEW.plan_id, NEW.entry_id);"
                       "  PERFORM zpp_check_line(NEW.order_id, NEW.line_no); END IF;"
                       " RETURN NULL; END"));
    // A row written with nothing to check queues no check: an entry or a line that holds nothing
    // ordered yet (sources added later are checked with both ends), an update that left the
    // quantities as they were.
    const QString deferred = QStringLiteral("{{pg}}CREATE CONSTRAINT TRIGGER %1 AFTER %2 ON %3 DEFERRABLE"
                                            " INITIALLY DEFERRED FOR EACH ROW %4 EXECUTE FUNCTION %5()");
    s << deferred.arg(QStringLiteral("zpp_entry_orders"), QStringLiteral("INSERT"),
                      QStringLiteral("plan_entries"), QStringLiteral("WHEN (NEW.ordered_qty <> 0)"),
                      QStringLiteral("zpp_entry_written"));
    s << deferred.arg(QStringLiteral("zpp_entry_orders_changed"),
                      QStringLiteral("UPDATE OF qty, ordered_qty"), QStringLiteral("plan_entries"),
                      QStringLiteral("WHEN (NEW.qty IS DISTINCT FROM OLD.qty"
                                     " OR NEW.ordered_qty IS DISTINCT FROM OLD.ordered_qty)"),
                      QStringLiteral("zpp_entry_written"));
    s << deferred.arg(QStringLiteral("zpp_line_sources"), QStringLiteral("INSERT"),
                      QStringLiteral("purchase_order_lines"), QStringLiteral("WHEN (NEW.qty <> 0)"),
                      QStringLiteral("zpp_line_written"));
    s << deferred.arg(QStringLiteral("zpp_line_sources_changed"), QStringLiteral("UPDATE OF qty"),
                      QStringLiteral("purchase_order_lines"),
                      QStringLiteral("WHEN (NEW.qty IS DISTINCT FROM OLD.qty)"),
                      QStringLiteral("zpp_line_written"));
    s << deferred.arg(QStringLiteral("zpp_source_orders"), QStringLiteral("INSERT OR UPDATE OR DELETE"),
                      QStringLiteral("purchase_order_line_sources"), QString(),
                      QStringLiteral("zpp_source_written"));
    // The same rules over whole tables at once, for a fill that writes many rows with the row
    // checks off (the demo generator).
    s << kDefiner.arg(
        QStringLiteral("zpp_check_all_orders() RETURNS void"),
        QStringLiteral(
            "BEGIN IF EXISTS (SELECT 1 FROM plan_entries e LEFT JOIN (SELECT plan_id, entry_id,"
            " SUM(qty) AS taken FROM purchase_order_line_sources GROUP BY 1, 2) s USING (plan_id, entry_id)"
            " WHERE e.ordered_qty > e.qty + 1e-6 * greatest(1, abs(e.qty)) OR NOT (") +
            Same(QStringLiteral("e.ordered_qty"), QStringLiteral("COALESCE(s.taken, 0)")) +
            QStringLiteral(
                ")) OR EXISTS (SELECT 1 FROM purchase_order_lines l JOIN (SELECT order_id, line_no,"
                " SUM(qty) AS taken FROM purchase_order_line_sources GROUP BY 1, 2) s"
                " USING (order_id, line_no) WHERE NOT (") +
            Same(QStringLiteral("l.qty"), QStringLiteral("s.taken")) +
            QStringLiteral(")) THEN RAISE EXCEPTION 'ordered quantities differ from their order lines'"
                           " USING ERRCODE = 'check_violation'; END IF; END"));

    // Who wrote a plan, an order or a log record is the session's role, whatever the client sends.
    // A role that is no user of the store (the server's superuser filling it) is taken at its word.
    s << QStringLiteral(
        "{{pg}}CREATE FUNCTION zpp_stamp_writer() RETURNS trigger LANGUAGE plpgsql"
        " SET search_path = pg_catalog, public, pg_temp AS $f$"
        " DECLARE me integer; BEGIN"
        "  SELECT id INTO me FROM users WHERE name = session_user;"
        "  IF me IS NULL THEN RETURN NEW; END IF;"
        "  IF TG_TABLE_NAME = 'operation_log' THEN NEW.user_id := me; NEW.user_name := session_user;"
        "  ELSE NEW.created_by := me; END IF;"
        "  RETURN NEW; END $f$");
    for (const char* table : {"purchase_plans", "purchase_orders", "operation_log"})
        s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_stamp_writer BEFORE INSERT ON %1 FOR EACH ROW"
                            " EXECUTE FUNCTION zpp_stamp_writer()")
                 .arg(QLatin1String(table));

    // A user without the price right who changes an entry's supplier gets today's list price of
    // that supplier (0 without one), in the same update that moves the entry's version. Nothing
    // else re-prices an entry for them, so there is nothing to call with a chosen entry or day.
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_price_entry_from_list(integer, integer, text)");
    s << kDefiner.arg(
        QStringLiteral("zpp_price_changed_supplier() RETURNS trigger"),
        QStringLiteral(
            "BEGIN"
            " IF NEW.supplier_id IS NOT NULL AND NEW.supplier_id IS DISTINCT FROM OLD.supplier_id"
            "  AND EXISTS (SELECT 1 FROM users WHERE name = session_user) AND NOT zpp_holds(4) THEN"
            "  NEW.price := COALESCE(") +
            kListPrice.arg(QStringLiteral("NEW.supplier_id"), QStringLiteral("NEW.item_id"),
                           QStringLiteral("0"), QStringLiteral("to_char(current_date, 'YYYY-MM-DD')")) +
            QStringLiteral(", 0); END IF; RETURN NEW; END"));
    s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_price_changed_supplier BEFORE UPDATE OF supplier_id"
                        " ON plan_entries FOR EACH ROW EXECUTE FUNCTION zpp_price_changed_supplier()");

    // A supplier's rights follow it when an administrator changes its code; a right for a
    // supplier that no longer exists meant nothing.
    s << QStringLiteral("{{pg}}DELETE FROM user_supplier_rights r WHERE NOT EXISTS"
                        " (SELECT 1 FROM suppliers s WHERE s.code = r.supplier_code)");
    s << QStringLiteral("{{pg}}ALTER TABLE user_supplier_rights ADD CONSTRAINT user_supplier_rights_supplier"
                        " FOREIGN KEY (supplier_code) REFERENCES suppliers (code) ON UPDATE CASCADE"
                        " ON DELETE CASCADE");
    // Made callable by everyone by default: who may call what is granted per right, in the same
    // transaction as the functions are made, so no window is left open in between.
    s << QStringLiteral("{{pg}}REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC");
    return s;
}

} // namespace zpp::store::pg
