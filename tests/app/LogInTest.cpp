#include "app/LogIn.h"
#include "AppFixture.h"
#include "services/access/Rights.h"
#include "services/access/UserAdministration.h"
#include "services/planning/HighPrice.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PriceService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/store/DatabaseRoles.h"
#include "services/store/Migrations.h"

using namespace zpp;
using namespace zpp::test;

// The program asks the password in its log-in window, asks again with the server's refusal after
// a wrong one, and logs in as the role the server let in; --user cannot name another.
TEST(DatabaseRoles, TheProgramLogsInAsTheRoleTheServerLetIn) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    store::GenerateStore(url, 10);
    QStringList typed{"wrong", "buyer"}, asked;
    ui::SetModalHandler([&](QDialog& d) {
        d.show();
        asked << d.findChild<QLabel*>("lblPrompt")->text();
        auto* password = d.findChild<QLineEdit*>("txtPassword");
        QTest::keyClicks(password, typed.value(0));
        QTest::keyClick(password, typed.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
        if (!typed.isEmpty())
            typed.removeFirst();
        return d.result();
    });
    const auto session = app::OpenAndLogIn(As(url, "buyer"), {});
    ASSERT_TRUE(session);
    EXPECT_EQ(session->UserName, "buyer");
    ASSERT_EQ(asked.size(), 2);
    EXPECT_FALSE(asked[0].contains("拒绝")) << asked[0].toStdString();
    EXPECT_TRUE(asked[1].contains("拒绝了用户 buyer 的登录")) << asked[1].toStdString();
    EXPECT_THROW(store::LogInAsConnected(session->Db, "admin"), Error)
        << "--user admin on buyer's connection";
    EXPECT_FALSE(app::OpenAndLogIn(As(url, "buyer", "wrong"), {})) << "a cancel logs nobody in";
    EXPECT_EQ(app::OpenAndLogIn(As(url, "admin", "admin"), "admin")->UserName, "admin");
    ui::SetModalHandler(nullptr);
}

// A user without the price right, connected as their own role, reads no price column; the server
// prices a changed supplier, orders at the stored prices and judges the credit line for them. Any
// other client with the user's password gets no further than their rights either.
TEST(DatabaseRoles, TheServerHoldsAnyClientToTheUsersRightsAndDoesThePriceWork) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    const store::StorePtr db = store::GenerateStore(url, 60);
    auto buyer = std::make_shared<store::Session>(
        store::LogInAsConnected(store::Store::Open(As(url, "buyer", "buyer")), "buyer"));
    ASSERT_TRUE(services::StoreHidesPrices(*buyer));
    // An open entry of an allowed supplier, and another allowed supplier.
    QSqlQuery q = db->Exec(
        "SELECT e.plan_id, e.entry_id, e.item_id, e.row_version, (SELECT MIN(o.id) FROM suppliers o WHERE"
        " o.id <> e.supplier_id AND o.code NOT IN ('01.005', '01.007', '01.008', '01.012', '01.019'))"
        " FROM plan_entries e JOIN suppliers s ON s.id = e.supplier_id WHERE e.close_mark = '' AND"
        " e.ordered_qty = 0 AND s.code NOT IN ('01.005', '01.007', '01.008', '01.012', '01.019')"
        " ORDER BY e.plan_id, e.entry_id");
    ASSERT_TRUE(q.next());
    const QVariant plan = q.value(0), entry = q.value(1), other = q.value(4);
    db->Exec("UPDATE plan_entries SET price = 999 WHERE plan_id = ? AND entry_id = ?", {plan, entry});
    QDate today = QDate::currentDate();
    services::PurchasePlanUpdateService service(buyer);
    QString ids;
    auto list = [&](std::initializer_list<std::pair<QString, QVariant>> fields) {
        auto record = KeyedRecord::Create();
        record->Set("FInterID", plan);
        record->Set("FEntryID", entry);
        record->Set("FSupplyID", other);
        for (const auto& [key, value] : fields)
            record->Set(key, value);
        RecordListPtr records = RecordList::Create();
        records->Add(record);
        return records;
    };
    RecordListPtr edits = list({{"FVersion", q.value(3)}, {"FEdited", 1}});
    service.UpdatePurchasePlanEntry({}, edits);
    EXPECT_EQ(db->Scalar("SELECT price FROM plan_entries WHERE plan_id = ? AND entry_id = ?", {plan, entry})
                  .toDouble(),
              services::SupplierListPrice(*db, other.toInt(), q.value(2).toInt(), 0, today));

    // The high-price check without prices: the server names the lines whose stored price is above
    // the list price (many lines to a call), and a push of such a line unconfirmed is refused.
    db->Exec("UPDATE plan_entries SET price = 999 WHERE plan_id = ? AND entry_id = ?", {plan, entry});
    db->Exec("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
             " SELECT ?, id, unit_id, 10, '2000-01-01' FROM items WHERE id = ?",
             {other, q.value(2)});
    RecordListPtr twoLines = list({{"FPushQty", 1}, {"FItemID", q.value(2)}});
    QSqlQuery another = db->Exec(
        "SELECT plan_id, entry_id, supplier_id FROM plan_entries WHERE close_mark = '' AND price < 100"
        " AND supplier_id <> ? AND NOT (plan_id = ? AND entry_id = ?) ORDER BY 1, 2",
        {other, plan, entry});
    ASSERT_TRUE(another.next());
    twoLines->Add(twoLines->Item(1)->Clone());
    twoLines->Item(1)->Set("FInterID", another.value(0));
    twoLines->Item(1)->Set("FEntryID", another.value(1));
    twoLines->Item(1)->Set("FSupplyID", another.value(2));
    QStringList above;
    for (const auto& l : services::FindHighPriceLines(*buyer->Db, twoLines, today, true, true))
        above << QString::number(l.Position);
    EXPECT_EQ(above.join(','), "2");
    // A supplier changed in the list and not saved: the push would order at the stored supplier's
    // price, so the line is not judged by another's list but refused until it is saved.
    twoLines->Item(1)->Set("FSupplyID", other);
    QString unsaved;
    try {
        services::FindHighPriceLines(*buyer->Db, twoLines, today, true, true);
    } catch (const Error& e) {
        unsaved = e.Description();
    }
    EXPECT_EQ(unsaved, "第 1 行的供应商已修改，尚未保存：请先保存，再下推");
    QString highPrice;
    try {
        RecordListPtr unconfirmed = list({{"FPushQty", 1}, {"FItemID", q.value(2)}});
        service.PushBill({}, unconfirmed, buyer->UserId, ids, today);
    } catch (const Error& e) {
        highPrice = e.Description();
    }
    EXPECT_TRUE(highPrice.endsWith("单价高于供应商价格表的限价，下推前未经确认；请重新下推"))
        << highPrice.toStdString();

    // A refusing credit line below what is open already: the push is refused without the figures.
    db->Exec("UPDATE suppliers SET credit_line = 0.01, credit_control = '3' WHERE id = ?", {other});
    RecordListPtr push = list({{"FPushQty", 1}, {"FTaxRate", 13}, {services::kHighPriceConfirmedField, 1}});
    QString refusal;
    try {
        service.PushBill({}, push, buyer->UserId, ids, today);
    } catch (const Error& e) {
        refusal = e.Description();
    }
    EXPECT_TRUE(refusal.endsWith("，超过信用额度，不能下推") && !refusal.contains("未结金额"))
        << refusal.toStdString();
    EXPECT_EQ(
        db->Scalar("SELECT COUNT(*) FROM purchase_orders WHERE created_by = ?", {buyer->UserId}).toInt(), 0);
    // Before the push the server sums what is saved to push (2 at 999), not the list's quantities:
    // a refusing supplier is refused in the list only when the list pushes at least that (else the
    // push decides, exactly); a warning goes by the saved quantities.
    db->Exec("UPDATE plan_entries SET push_qty = 2 WHERE plan_id = ? AND entry_id = ?", {plan, entry});
    const double open = db->Scalar("SELECT COALESCE(SUM(l.qty * l.price), 0) FROM purchase_orders o JOIN"
                                   " purchase_order_lines l ON l.order_id = o.id WHERE o.supplier_id = ?"
                                   " AND o.closed = 0",
                                   {other})
                            .toDouble();
    const struct {
        const char* Control;
        double Line, Pushed; // the line above what is open
        const char* Outcome;
    } credit[] = {{"3", 0.01, 2, "3"},
                  {"3", 0.01, 3, "3"},
                  {"3", 0.01, 1, "passes"},
                  {"2", 0.01, 1, "2"},
                  {"3", 1998, 2, "passes"}};
    for (const auto& c : credit) {
        db->Exec("UPDATE suppliers SET credit_line = ?, credit_control = ? WHERE id = ?",
                 {open + c.Line, c.Control, other});
        RecordListPtr pushing = list({{"FPushQty", c.Pushed}});
        QString control, suppliers;
        const bool passes =
            services::MrpDataService(buyer).CheckCreditDegrees({}, pushing, control, suppliers);
        EXPECT_EQ(passes ? QString("passes") : control, c.Outcome)
            << c.Control << " " << c.Line << " " << c.Pushed;
        EXPECT_TRUE(passes || (suppliers.endsWith("：超过信用额度") && !suppliers.contains("未结金额")))
            << suppliers.toStdString();
    }
    // With room on the line the push goes through, its lines held to their entries on the way.
    db->Exec("UPDATE suppliers SET credit_line = ?, credit_control = '3' WHERE id = ?", {open + 1e6, other});
    EXPECT_TRUE(service.PushBill({}, push, buyer->UserId, ids, today));
    EXPECT_EQ(Rows(*db, QString("SELECT l.qty, l.price FROM purchase_order_lines l JOIN purchase_orders o"
                                " ON o.id = l.order_id WHERE o.created_by = %1")
                            .arg(buyer->UserId)),
              "1|999");

    // As psql or a script would, with the user's password: the program's checks are not in the way.
    EXPECT_EQ(AsClient(url, "buyer", "SELECT 1", "wrong"), "connection");
    EXPECT_EQ(AsClient(url, "buyer", "SELECT COUNT(*) FROM plan_entries"), "");
    for (const char* sql :
         {// No price right: no price column can be read.
          "SELECT price FROM plan_entries", "SELECT * FROM purchase_order_lines",
          // Another user's settings.
          "INSERT INTO report_formats (user_id, report_id, format_key, value) VALUES (1, 0, 'k', 'v')",
          // No delete right.
          "DELETE FROM purchase_plans",
          // Nobody but an administrator changes suppliers or rights.
          "UPDATE suppliers SET credit_line = 1", "UPDATE user_rights SET granted_mask = 2147483647",
          // 01.007 is a supplier buyer may not use.
          "INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at)"
          " SELECT 'X1', '2026-01-01', id, 'x' FROM suppliers WHERE code = '01.007'"})
        EXPECT_EQ(AsClient(url, "buyer", sql), "42501") << sql;
    // Ordered without an order line: refused at commit.
    EXPECT_EQ(AsClient(url, "buyer",
                       "UPDATE plan_entries SET ordered_qty = qty, unordered_qty = 0 WHERE ordered_qty < qty"
                       " AND close_mark = '' AND supplier_id IN (SELECT id FROM suppliers WHERE code NOT IN"
                       " ('01.007', '01.012', '01.019'))"),
              "23514");
    EXPECT_EQ(AsClient(url, "guest", "SELECT COUNT(*) FROM plan_entries"), "42501");
    // A user removed from the store is not even let in once the roles are synced again.
    db->Exec("DELETE FROM users WHERE name = 'guest'");
    store::SyncDatabaseRoles(*db);
    EXPECT_EQ(AsClient(url, "guest", "SELECT COUNT(*) FROM units"), "connection");
}

// A store made before the server held the rules (schema 6) gets them, with the roles' privileges,
// from the first open by the server's superuser, and keeps every row.
TEST(DatabaseRoles, AStoreFromBeforeTheRulesIsUpgradedWithoutLosingData) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    const char* kRows = "SELECT COUNT(*), SUM(qty), SUM(ordered_qty), SUM(price),"
                        " (SELECT COUNT(*) FROM purchase_order_line_sources) FROM plan_entries";
    QString before;
    {
        const store::StorePtr db = store::GenerateStore(url, 80);
        BackToSchema6(*db);
        ASSERT_FALSE(
            db->Scalar("SELECT has_column_privilege('buyer', 'plan_entries', 'qty', 'SELECT')").toBool());
        // Bit 8 meant nothing before schema 10: only a user who held every other right keeps it
        // as the import right. Each lacks one right of the eight, the last holds bits of all kinds.
        int id = 10;
        for (const qint32 lacking : {rights::Query, rights::Save, rights::Delete, rights::Close, rights::Push,
                                     rights::Export, rights::Print, rights::Price, 0}) {
            db->Exec("INSERT INTO users (id, name) VALUES (?, ?)", {id, QStringLiteral("u%1").arg(id)});
            db->Exec("INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (?, ?, ?, ?)",
                     {id++, rights::Subsystem, rights::Module, qint64(2147483647) & ~qint64(lacking)});
        }
        before = Rows(*db, kRows);
    }
    const store::StorePtr db = store::Store::Open(url);
    EXPECT_EQ(db->SchemaVersion(), store::LatestSchemaVersion());
    EXPECT_EQ(Rows(*db, kRows), before);
    EXPECT_EQ(Rows(*db,
                   "SELECT string_agg(u.name || '=' || (r.granted_mask & 8), ' ' ORDER BY u.id) FROM users u"
                   " JOIN user_rights r ON r.user_id = u.id"),
              "admin=8 buyer=0 u10=0 u11=0 u12=0 u13=0 u14=0 u15=0 u16=0 u17=0 u18=8");
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM pg_policies WHERE tablename = 'plan_entries'"), "4");
    EXPECT_TRUE(db->Scalar("SELECT has_column_privilege('buyer', 'plan_entries', 'qty', 'SELECT')").toBool());
    EXPECT_FALSE(
        db->Scalar("SELECT has_column_privilege('buyer', 'plan_entries', 'price', 'SELECT')").toBool());
    EXPECT_EQ(AsClient(url, "buyer", "DELETE FROM purchase_plans"), "42501");
}

// A user an administrator disabled or deleted is refused at log-in with a message that says so, on
// both stores; on PostgreSQL the server refuses the role already (no password asked for nothing),
// and the program refuses a user the table disables even while the role may still log in.
class LockedOutLogIn : public ::testing::TestWithParam<StoreKind> {};

TEST_P(LockedOutLogIn, ADisabledOrDeletedUserIsToldSoAtLogIn) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    const store::StorePtr db = store::GenerateStore(location, 5);
    const bool pg = !db->IsSQLite();
    // A user of this store alone: roles belong to the server, which other tests share.
    const QString clerk = (pg ? store::OwnerRole(*db).chopped(6) : QStringLiteral("s")) + "_clerk";
    const QString at = pg ? As(location, clerk, clerk) : location;
    services::UserAdministration admin(std::make_shared<store::Session>(
        pg ? store::LogInAsConnected(store::Store::Open(As(location, "admin", "admin")), "admin")
           : store::LogIn(db, "admin")));
    admin.AddUser(clerk, {});
    if (pg)
        admin.SetPassword(clerk, clerk);
    int asked = 0;
    ui::SetModalHandler([&](QDialog&) {
        ++asked;
        return int(QDialog::Rejected);
    });
    auto refusal = [&]() -> QString {
        try {
            app::OpenAndLogIn(at, clerk);
        } catch (const Error& e) {
            return e.Description();
        }
        return "(logged in)";
    };
    EXPECT_EQ(refusal(), "(logged in)");
    const QString byServer =
        "PostgreSQL 服务器不允许用户 " + clerk + " 登录：该用户已停用或已删除；请与系统管理员联系";
    const QString disabled = "用户“" + clerk + "”已停用，不能登录；请与系统管理员联系";
    admin.SetDisabled(clerk, true);
    EXPECT_EQ(refusal(), pg ? byServer : disabled);
    admin.SetDisabled(clerk, false);
    EXPECT_EQ(refusal(), "(logged in)");
    // Disabled in the table by other means (psql, before the roles are synced): the program says no.
    db->Exec("UPDATE users SET status = 'disabled' WHERE name = ?", {clerk});
    EXPECT_EQ(refusal(), disabled);
    db->Exec("UPDATE users SET status = 'active' WHERE name = ?", {clerk});
    admin.DeleteUser(clerk);
    EXPECT_EQ(refusal(), pg ? byServer : "用户“" + clerk + "”已删除，不能登录");
    EXPECT_EQ(asked, 0);
    ui::SetModalHandler(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Stores, LockedOutLogIn, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
