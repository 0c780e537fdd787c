#include "Hostile.h"

#include "services/planning/HighPrice.h"

#include <QSqlQuery>
#include <map>
#include <string>

using namespace zpp;
using namespace zpp::test;

namespace {
std::string N(const QString& s) {
    return s.toStdString();
}
} // namespace

// Entries set up as a push needs them, all of allowed suppliers but the last: two open entries of a
// refusing supplier S (2 saved to push at 100 each); one of T, a supplier without credit control,
// at 1e6; of T as well one at 16 and one at 11.5 against a list price of 10 (for the latter in its
// item's unit, yesterday: today's price is in another unit and tomorrow's is lower), one without a
// list price and, of F (which buyer may not use), one far above its list.
class PriceQuestions : public HostileClient {
protected:
    void SetUp() override {
        HostileClient::SetUp();
        if (IsSkipped())
            return;
        auto id = [&](const char* code) {
            return Superuser(QString("SELECT id FROM suppliers WHERE code = '%1'").arg(code));
        };
        S = id("01.005"), T = id("01.001"), F = id("01.007");
        QSqlQuery q = db->Exec("SELECT DISTINCT ON (e.item_id) e.plan_id, e.entry_id, e.item_id, i.unit_id"
                               " FROM plan_entries e JOIN items i ON i.id = e.item_id WHERE e.close_mark = ''"
                               " AND e.unordered_qty >= 4 ORDER BY e.item_id, e.plan_id, e.entry_id LIMIT 7");
        const char* names[] = {"E1", "E2", "E3", "Hi", "Lo", "NoList", "Forbidden"};
        for (const char* name : names) {
            ASSERT_TRUE(q.next());
            Entry& e = entries[name];
            e = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()};
        }
        const struct {
            const char* Entry;
            QString Supplier;
            double Price;
        } set[] = {{"E1", S, 100},  {"E2", S, 100},     {"E3", T, 1e6},       {"Hi", T, 16},
                   {"Lo", T, 11.5}, {"NoList", T, 1e6}, {"Forbidden", F, 1e6}};
        for (const auto& x : set)
            db->Exec("UPDATE plan_entries SET supplier_id = ?, price = ?, push_qty = 2"
                     " WHERE plan_id = ? AND entry_id = ?",
                     {x.Supplier, x.Price, entries[x.Entry].Plan, entries[x.Entry].Id});
        const QString other = Superuser("SELECT MIN(id) FROM units WHERE id <> " + entries["Lo"].Unit);
        const struct {
            QString Supplier;
            const char* Entry;
            QString Unit;
            double Price;
            const char* Day;
        } prices[] = {{T, "Hi", entries["Hi"].Unit, 10, "0"},
                      {T, "Lo", entries["Lo"].Unit, 10, "-1"},
                      {T, "Lo", other, 1, "0"},
                      {T, "Lo", entries["Lo"].Unit, 1, "1"},
                      {F, "Forbidden", entries["Forbidden"].Unit, 10, "0"}};
        for (const auto& p : prices)
            db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
                     " VALUES (?, ?, ?, ?, to_char(current_date + CAST(? AS INTEGER), 'YYYY-MM-DD'))"
                     " ON CONFLICT (supplier_id, item_id, valid_from)"
                     " DO UPDATE SET unit_id = EXCLUDED.unit_id, price = EXCLUDED.price",
                     {p.Supplier, entries[p.Entry].Item, p.Unit, p.Price, p.Day});
        db->Exec("DELETE FROM supplier_prices WHERE supplier_id = ? AND item_id = ?",
                 {T, entries["NoList"].Item});
        db->Exec(
            "UPDATE system_settings SET value = '10' WHERE section = 'PO' AND key = 'HighPriceTolerance'");
        db->Exec("UPDATE suppliers SET credit_line = NULL, credit_control = '' WHERE id = ?", {T});
        db->Exec("UPDATE suppliers SET credit_line = 0, credit_control = '3' WHERE id = ?", {F});
        Open = Superuser("SELECT COALESCE(SUM(l.qty * l.price), 0) FROM purchase_orders o"
                         " JOIN purchase_order_lines l ON l.order_id = o.id"
                         " WHERE o.closed = 0 AND o.supplier_id = " +
                         S)
                   .toDouble();
        CreditLine("3", 399.99);
    }

    // Supplier S's control and credit line, above what its open orders hold.
    void CreditLine(const char* control, double aboveOpen) const {
        db->Exec("UPDATE suppliers SET credit_line = ?, credit_control = ? WHERE id = ?",
                 {Open + aboveOpen, control, S});
    }
    // The entries as the two lists of a question.
    std::string Lists(std::initializer_list<const char*> names) {
        QStringList plans, ids;
        for (const char* name : names) {
            plans << entries[name].Plan;
            ids << entries[name].Id;
        }
        return N("ARRAY[" + plans.join(',') + "]::integer[], ARRAY[" + ids.join(',') + "]::integer[]");
    }
    std::string HighPrices(std::initializer_list<const char*> names) {
        return "SELECT string_agg(n::text, ',' ORDER BY n) FROM zpp_entries_above_limit(" + Lists(names) +
               ") n";
    }
    std::string Credit(std::initializer_list<const char*> names) {
        return "SELECT zpp_credit_exceeded(" + N(S) + ", " + Lists(names) + ")";
    }
    // In an open transaction, an order of S whose one line of qty takes what of the entry, priced by
    // the server.
    std::string Ordered(const char* name, const QString& qty, QString what = {}) {
        const Entry& e = entries[name];
        if (what.isEmpty())
            what = qty;
        return N(QStringLiteral(
                     "BEGIN; INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at)"
                     " VALUES ('~probe', '2026-01-01', %1, 'now');"
                     " INSERT INTO purchase_order_lines (order_id, line_no, item_id, unit_id, qty)"
                     " VALUES (%2, 1, %3, %4, %5);"
                     " INSERT INTO purchase_order_line_sources (order_id, line_no, plan_id, entry_id, qty)"
                     " VALUES (%2, 1, %6, %7, %8); UPDATE plan_entries SET ordered_qty = ordered_qty + %8,"
                     " unordered_qty = qty - (ordered_qty + %8) WHERE (plan_id, entry_id) = (%6, %7);"
                     " SELECT zpp_price_order_lines(%2);")
                     .arg(S, kOrder, e.Item, e.Unit, qty, e.Plan, e.Id, what));
    }
    static inline const QString kOrder =
        QStringLiteral("currval(pg_get_serial_sequence('purchase_orders', 'id'))");

    struct Entry {
        QString Plan, Id, Item, Unit;
    };
    std::map<std::string, Entry> entries;
    QString S, T, F;
    double Open = 0;
};

// The questions of old took the quantities, suppliers, day and tolerance from the caller, who could
// search them for a price; those are gone, and only a pusher may ask the new ones (guest, with no
// right at all, is refused every function of ours in HostileClientTest.cpp).
TEST_F(PriceQuestions, OnlyAPusherAsksAndNoneNamesAFigureOfItsOwn) {
    const std::string old = "(" + N(S) + ", ARRAY[1], ARRAY[1], ARRAY[1e6::float8])";
    const Attempt attempts[] = {
        {"buyer", "the credit question of old, with a quantity to bisect", "SELECT zpp_credit_exceeded" + old,
         "42883"},
        {"buyer", "the high-price question of old, with a day and a tolerance",
         "SELECT * FROM zpp_entries_above_limit(ARRAY[1], ARRAY[1], ARRAY[1], ARRAY[1], ARRAY[1],"
         " '2000-01-01', 0::float8)",
         "42883"},
        {"buyer", "its one-line form",
         "SELECT zpp_entry_price_above_limit(1, 1, 1, 1, 1, '2000-01-01', 0::float8)", "42883"},
        {"importer", "the high-price question without the push right", HighPrices({"Hi"}), "42501"},
        {"importer", "the credit question without the push right", Credit({"E1"}), "42501"},
    };
    for (const Attempt& a : attempts)
        Try(a);
}

// The high-price answer comes from the stored entry alone: its supplier, its item's unit, today's
// list and the stored tolerance, read as the program reads it; nothing the caller sends or makes
// moves it. Positions: Hi, Lo, NoList, Forbidden and Hi again.
TEST_F(PriceQuestions, TheHighPriceAnswerIsTheStoredRowsOwn) {
    const std::string five = HighPrices({"Hi", "Lo", "NoList", "Forbidden", "Hi"});
    const struct {
        const char* Setting;
        double Tolerance; // as the program reads it
        const char* Above;
    } tolerances[] = {{"10", 10, "1,2,5"}, {" 20 ", 20, "1,5"},      {"abc", 0, "1,2,5"},
                      {"-5", 0, "1,2,5"},  {"+.5e2", 50, "1,5"},     {"1e400", 0, "1,2,5"},
                      {"15.", 15, "1,5"},  {" 16\u00a0", 16, "1,5"}, {"\u3000 16", 0, "1,2,5"}};
    for (const auto& t : tolerances) {
        db->Exec("UPDATE system_settings SET value = ? WHERE section = 'PO' AND key = 'HighPriceTolerance'",
                 {QString::fromUtf8(t.Setting)});
        EXPECT_EQ(services::HighPriceTolerance(*db), t.Tolerance) << t.Setting;
        Try({"buyer", t.Setting, "BEGIN", "", five, t.Above});
    }
    db->Exec("UPDATE system_settings SET value = '10' WHERE section = 'PO' AND key = 'HighPriceTolerance'");
    const Attempt attempts[] = {
        {"buyer", "lists of different lengths",
         "SELECT * FROM zpp_entries_above_limit(ARRAY[1, 2], ARRAY[1])", "22023"},
        {"buyer", "no lists", "SELECT * FROM zpp_entries_above_limit(NULL, NULL)", "22023"},
        {"buyer", "nested lists", "SELECT * FROM zpp_entries_above_limit(ARRAY[[1]], ARRAY[[1]])", "22023"},
        {"buyer", "empty lists", "BEGIN", "", "SELECT count(*) FROM zpp_entries_above_limit('{}', '{}')",
         "0"},
        {"buyer", "missing and unknown entries", "BEGIN", "",
         "SELECT count(*) FROM zpp_entries_above_limit(ARRAY[NULL, -1, 2147483647], ARRAY[1, NULL, 999])",
         "0"},
        {"buyer", "a million times one entry", "BEGIN", "",
         N(QString("SELECT count(*) FROM zpp_entries_above_limit(array_fill(%1, ARRAY[1000000]),"
                   " array_fill(%2, ARRAY[1000000]))")
               .arg(entries["Hi"].Plan, entries["Hi"].Id)),
         "1000000"},
        {"buyer", "its own price list and tolerance first on the path",
         "SET search_path = pg_temp, public; CREATE TABLE supplier_prices AS"
         " SELECT supplier_id, item_id, unit_id, 0.01::float8 AS price, valid_from"
         " FROM public.supplier_prices;"
         " CREATE TABLE system_settings (section text, key text, value text);"
         " INSERT INTO system_settings VALUES ('PO', 'HighPriceTolerance', '-99');",
         "", five, "1,2,5", true},
        {"buyer", "another supplier for an entry brings that supplier's list price",
         "BEGIN; UPDATE plan_entries SET supplier_id = " + N(S) + " WHERE (plan_id, entry_id) = (" +
             N(entries["Hi"].Plan) + ", " + N(entries["Hi"].Id) + ")",
         "", five, "2"},
    };
    for (const Attempt& a : attempts)
        Try(a);
}

// Before a push: the open orders of S and the saved push quantities of the entries named, each entry
// once and only if it is an open one of S, against the line; asked in a transaction that has written
// nothing, so no quantity can be tried and taken back.
TEST_F(PriceQuestions, TheCreditAnswerBeforeAPushIsTheCommittedRowsOwn) {
    const std::string e1 =
        "(plan_id, entry_id) = (" + N(entries["E1"].Plan) + ", " + N(entries["E1"].Id) + ")";
    const Attempt over[] = {
        {"buyer", "both entries of S: 400 over a line 399.99 above the open orders", "BEGIN", "",
         Credit({"E1", "E2"}), "t"},
        {"buyer", "one entry: 200", "BEGIN", "", Credit({"E1"}), "f"},
        {"buyer", "one entry three times", "BEGIN", "", Credit({"E1", "E1", "E1"}), "f"},
        {"buyer", "an entry of another supplier at 1e6 beside it", "BEGIN", "", Credit({"E1", "E3"}), "f"},
        {"buyer", "a missing plan beside it", "BEGIN", "",
         N(QString("SELECT zpp_credit_exceeded(%1, ARRAY[NULL, %2]::integer[], ARRAY[%3, %4])")
               .arg(S, entries["E1"].Plan, entries["E2"].Id, entries["E1"].Id)),
         "f"},
        {"buyer", "a million times one entry, then the other", "BEGIN", "",
         N(QString("SELECT zpp_credit_exceeded(%1, array_fill(%2, ARRAY[1000000]) || %3,"
                   " array_fill(%4, ARRAY[1000000]) || %5)")
               .arg(S, entries["E1"].Plan, entries["E2"].Plan, entries["E1"].Id, entries["E2"].Id)),
         "t"},
        {"buyer", "a supplier without credit control", "BEGIN", "",
         "SELECT zpp_credit_exceeded(" + N(T) + ", " + Lists({"E3"}) + ")", "f"},
        {"buyer", "a supplier it may not use, over its line", "BEGIN", "",
         "SELECT zpp_credit_exceeded(" + N(F) + ", " + Lists({"Forbidden"}) + ")", "f"},
        {"buyer", "no supplier", "BEGIN", "", "SELECT zpp_credit_exceeded(NULL, " + Lists({"E1", "E2"}) + ")",
         "f"},
        {"buyer", "lists of different lengths", "SELECT zpp_credit_exceeded(1, ARRAY[1, 2], ARRAY[1])",
         "22023"},
        {"buyer", "after raising a saved push quantity",
         "BEGIN; UPDATE plan_entries SET push_qty = 1000 WHERE " + e1 + "; " + Credit({"E1"}), "25000"},
        {"buyer", "after a write taken back to a savepoint",
         "BEGIN; SAVEPOINT s; UPDATE plan_entries SET push_qty = 1000 WHERE " + e1 + "; ROLLBACK TO s; " +
             Credit({"E1"}),
         "25000"},
        {"buyer", "in a block that undoes its write",
         "DO $$ BEGIN BEGIN UPDATE plan_entries SET push_qty = 1000 WHERE " + e1 +
             "; RAISE EXCEPTION 'undo'; EXCEPTION WHEN raise_exception THEN PERFORM zpp_credit_exceeded(" +
             N(S) + ", " + Lists({"E1"}) + "); END; END $$",
         "25000"},
        {"buyer", "after locking the entry",
         "BEGIN; SELECT 1 FROM plan_entries WHERE " + e1 + " FOR UPDATE; " + Credit({"E1"}), "25000"},
    };
    for (const Attempt& a : over)
        Try(a);
    // Equal to the cent is not over, under either control.
    CreditLine("2", 400);
    Try({"buyer", "both entries against a line just as high", "BEGIN", "", Credit({"E1", "E2"}), "f"});
    CreditLine("2", 399.99);
    Try({"buyer", "a warning supplier is asked too", "BEGIN", "", Credit({"E1", "E2"}), "t"});
}

// Inside a push the answer counts the lines it wrote, checked against their entries first: no line
// of any quantity of the caller's choosing. What is left is the push's own answer for what the
// caller really ordered of S's entries, and only S's: a line of S cannot take another's price.
TEST_F(PriceQuestions, TheCreditAnswerInsideAPushCountsOnlyLinesTheEntriesGave) {
    const std::string inside = "SELECT zpp_credit_exceeded(" + N(S) + ")";
    const Entry& e1 = entries["E1"];
    const QString beyond =
        Superuser("SELECT qty + 1 FROM plan_entries WHERE plan_id = " + e1.Plan + " AND entry_id = " + e1.Id);
    const Attempt attempts[] = {
        {"buyer", "nothing written: the open orders alone", "BEGIN", "", inside, "f"},
        {"buyer", "a line of a million that took 1 of its entry", Ordered("E1", "1e6", "1"), "23514", inside},
        {"buyer", "a line beyond its entry's quantity", Ordered("E1", beyond), "23514", inside},
        {"buyer", "a line of 3 at 100 (the push's own answer)", Ordered("E1", "3"), "", inside, "f"},
        {"buyer", "a line of 4 at 100 (the push's own answer)", Ordered("E1", "4"), "", inside, "t"},
        {"buyer", "a line of S priced from an entry of another supplier", Ordered("E3", "1"), "",
         N("SELECT zpp_price_order_lines(" + kOrder + ")"), "1"},
    };
    for (const Attempt& a : attempts)
        Try(a);
}
