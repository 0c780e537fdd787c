#include "PgRules.h"

namespace zpp::store::pg {

namespace {
// The right to push (component/host/Access.h): only a push asks these questions.
const QString kPush = QStringLiteral("1");

// Refuses lists of entries that are missing, nested or of different lengths. Missing elements
// match no entry and so change no answer.
QString EntryLists(const char* function) {
    return QStringLiteral(
               " IF p_plans IS NULL OR p_entries IS NULL OR array_ndims(p_plans) > 1"
               " OR array_ndims(p_entries) > 1 OR cardinality(p_plans) <> cardinality(p_entries) THEN"
               " RAISE EXCEPTION '%1: p_plans and p_entries must be lists of one length'"
               " USING ERRCODE = 'invalid_parameter_value'; END IF;")
        .arg(QLatin1String(function));
}

// The open orders of p_supplier, quantity times price, into amount.
const QString kOpenOrders = QStringLiteral(
    " SELECT COALESCE(SUM(l.qty * l.price), 0) INTO amount FROM purchase_orders o"
    " JOIN purchase_order_lines l ON l.order_id = o.id WHERE o.supplier_id = p_supplier AND o.closed = 0;");
} // namespace

QStringList PostgresPriceQuestions() {
    QStringList s;
    // The old questions took the quantities, suppliers, days and tolerance from the caller, who
    // could search them for a price.
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_entry_price_above_limit(integer, integer, integer,"
                        " integer, integer, text, double precision)");
    s << QStringLiteral(
        "{{pg}}DROP FUNCTION IF EXISTS zpp_entries_above_limit(integer[], integer[], integer[],"
        " integer[], integer[], text, double precision)");
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_credit_exceeded(integer, integer[], integer[],"
                        " double precision[])");

    // The positions (from 1) of the entries whose stored price is above the limit their push is
    // held to: today's list price of their stored supplier for the item in its own unit (the unit
    // a push orders in), plus the stored tolerance. No list price, no limit; an entry of a supplier
    // the caller may not use is never pushed by it, and never named. The tolerance is read as the
    // program reads a number: the text trimmed of white space (Unicode's among it) must be one, read
    // after the spaces, tabs and line breaks leading it (led by anything else, or negative: 0).
    const QString space =
        QStringLiteral("[[:space:]\u0085\u00a0\u1680\u2000-\u200a\u2028\u2029\u202f\u205f\u3000]");
    s << kDefiner.arg(
        QStringLiteral(
            "zpp_entries_above_limit(p_plans integer[], p_entries integer[]) RETURNS SETOF integer"),
        QStringLiteral("DECLARE setting text; number text; tolerance double precision := 0;"
                       " today text := to_char(current_date, 'YYYY-MM-DD'); forbidden integer[]; BEGIN") +
            kRefuse.arg(kPush) + EntryLists("zpp_entries_above_limit") +
            QStringLiteral(
                " SELECT value INTO setting FROM system_settings"
                "  WHERE section = 'PO' AND key = 'HighPriceTolerance';"
                " number := regexp_replace(setting, '^%1+|%1+$', '', 'g');"
                " IF number"
                "  ~ '^[+-]{0,1}([0-9]+[.]{0,1}[0-9]*|[.][0-9]+)([eE][+-]{0,1}[0-9]{1,3}){0,1}$' THEN"
                "  IF COALESCE(substring(number FROM '[eE][+-]{0,1}([0-9]+)$')::integer, 0) <= 300"
                "   AND left(ltrim(setting, E' \\t\\n\\r'), length(number)) = number"
                "   AND number::numeric <= 1.7976931348623157e308 THEN"
                "   tolerance := greatest(number::numeric, 0)::double precision;"
                "  END IF;"
                " END IF;"
                // Asked once, not once an entry: that cost more than the rest of the question.
                " forbidden := ARRAY(SELECT id FROM suppliers"
                "  WHERE NOT zpp_may_use_supplier(id, session_user));"
                " RETURN QUERY SELECT u.n::integer"
                "  FROM unnest(p_plans, p_entries) WITH ORDINALITY AS u(plan_id, entry_id, n)"
                "  JOIN plan_entries e ON e.plan_id = u.plan_id AND e.entry_id = u.entry_id"
                "  JOIN items i ON i.id = e.item_id"
                "  CROSS JOIN LATERAL (SELECT ")
                .arg(space) +
            kListPrice.arg(QStringLiteral("e.supplier_id"), QStringLiteral("e.item_id"),
                           QStringLiteral("i.unit_id"), QStringLiteral("today")) +
            QStringLiteral(" * (1 + tolerance / 100) AS allowed) l"
                           "  WHERE l.allowed > 0 AND e.price > l.allowed + 1e-9 * greatest(1, l.allowed)"
                           "  AND e.supplier_id <> ALL (forbidden)"
                           "  ORDER BY u.n; END"));

    // Before a push: whether the supplier's open orders and these entries of it, each at what is
    // saved to push of it (never more than is left), pass its credit line to the cent. Only for a
    // supplier under credit control that the caller may use, and only in a transaction that has
    // written nothing, so every row read is a committed one: no quantity can be tried and taken
    // back. The entries repeat no entry, whatever the lists repeat.
    s << kDefiner.arg(
        QStringLiteral("zpp_credit_exceeded(p_supplier integer, p_plans integer[], p_entries integer[])"
                       " RETURNS boolean"),
        QStringLiteral("DECLARE credit double precision; amount double precision; BEGIN") +
            kRefuse.arg(kPush) +
            QStringLiteral(" IF pg_current_xact_id_if_assigned() IS NOT NULL THEN"
                           "  RAISE EXCEPTION 'zpp_credit_exceeded: asked after the transaction wrote'"
                           "  USING ERRCODE = 'invalid_transaction_state',"
                           "  HINT = 'Ask before writing anything in the transaction.'; END IF;") +
            EntryLists("zpp_credit_exceeded") +
            QStringLiteral(" SELECT credit_line INTO credit FROM suppliers WHERE id = p_supplier"
                           "  AND credit_control IN ('2', '3');"
                           " IF credit IS NULL OR NOT zpp_may_use_supplier(p_supplier, session_user) THEN"
                           "  RETURN false; END IF;") +
            kOpenOrders +
            QStringLiteral(
                " SELECT amount + COALESCE(SUM(greatest(0, least(e.push_qty, e.unordered_qty)) * e.price), 0)"
                "  INTO amount FROM plan_entries e"
                "  WHERE (e.plan_id, e.entry_id) IN (SELECT * FROM unnest(p_plans, p_entries))"
                "  AND e.supplier_id = p_supplier AND btrim(e.close_mark) = '';"
                " RETURN round(amount * 100) > round(credit * 100); END"));

    // Inside a push (or an order's save), after its lines are written: whether the open orders of
    // a supplier whose control refuses pass its credit line to the cent. The checks of the ordered
    // quantities are made here rather than at commit, so the lines summed are what their entries
    // gave: a caller cannot write a line of any quantity, ask, and roll back.
    s << kDefiner.arg(
        QStringLiteral("zpp_credit_exceeded(p_supplier integer) RETURNS boolean"),
        QStringLiteral("DECLARE credit double precision; amount double precision; BEGIN") +
            kRefuse.arg(kPush) +
            QStringLiteral(" SELECT credit_line INTO credit FROM suppliers WHERE id = p_supplier"
                           "  AND credit_control = '3';"
                           " IF credit IS NULL OR NOT zpp_may_use_supplier(p_supplier, session_user)"
                           "  THEN RETURN false; END IF;"
                           " SET CONSTRAINTS ALL IMMEDIATE; SET CONSTRAINTS ALL DEFERRED;") +
            kOpenOrders + QStringLiteral(" RETURN round(amount * 100) > round(credit * 100); END"));

    // A push prices each line of its order from the line's entries; an entry of another supplier
    // would carry that supplier's price into this supplier's order (and its credit check). The push
    // never writes such a line; a client that does gets its number back, as for differing prices.
    s << QStringLiteral(
             "{{pg}}CREATE OR REPLACE FUNCTION zpp_price_order_lines(p_order bigint) RETURNS integer"
             " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $f$"
             " DECLARE differing integer; BEGIN") +
             kRefuse.arg(kPush) +
             QStringLiteral(" SELECT MIN(d.line_no) INTO differing FROM (SELECT s.line_no"
                            "  FROM purchase_order_line_sources s"
                            "  JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                            "  JOIN purchase_orders o ON o.id = s.order_id WHERE s.order_id = p_order"
                            "  GROUP BY s.line_no HAVING MIN(e.price) <> MAX(e.price)"
                            "  OR bool_or(e.supplier_id IS DISTINCT FROM o.supplier_id)) d;"
                            " IF differing IS NOT NULL THEN RETURN differing; END IF;"
                            " UPDATE purchase_order_lines l SET price = (SELECT MIN(e.price)"
                            "  FROM purchase_order_line_sources s"
                            "  JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
                            "  WHERE s.order_id = l.order_id AND s.line_no = l.line_no)"
                            "  FROM purchase_orders o WHERE l.order_id = p_order AND o.id = l.order_id"
                            "  AND o.created_by = (SELECT id FROM users WHERE name = session_user);"
                            " RETURN 0; END $f$");
    // Callable by nobody until the roles' sync grants them to those who push.
    s << QStringLiteral("{{pg}}REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC");
    return s;
}

} // namespace zpp::store::pg
