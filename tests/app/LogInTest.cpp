#include "app/LogIn.h"
#include "platform/ui/Prompt.h"
#include "services/demo/DemoData.h"
#include "support/Printers.h"
#include "support/TestStores.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <libpq-fe.h>

using namespace zpp;
using namespace zpp::test;

namespace {
QString As(const QString& url, const QString& user, const QString& password = {}) {
    QUrl u(url);
    u.setUserName(user);
    u.setPassword(password);
    return u.toString();
}

// A connection as any client with a user's credentials makes it (psql, a script), not the program.
class Client {
public:
    Client(const QString& url, const QString& user, const QString& password) {
        const QUrl u(url);
        const QByteArray host = u.host().toUtf8(), port = QByteArray::number(u.port(5432)),
                         db = u.path().mid(1).toUtf8(), name = user.toUtf8(), word = password.toUtf8();
        const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
        const char* values[] = {host, port, db, name, word, nullptr};
        m_conn = PQconnectdbParams(keys, values, 0);
    }
    ~Client() { PQfinish(m_conn); }
    bool Connected() const { return PQstatus(m_conn) == CONNECTION_OK; }
    // The SQLSTATE the statement failed with; empty when it ran.
    std::string Run(const char* sql) {
        PGresult* r = PQexec(m_conn, sql);
        const ExecStatusType status = PQresultStatus(r);
        const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        std::string code = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? "" : state ? state : "?";
        PQclear(r);
        return code;
    }

private:
    PGconn* m_conn;
};
} // namespace

// What the server itself refuses a user, whatever client they use; the program's own checks
// are not in the way here.
TEST(DatabaseRoles, AClientWithAUsersPasswordGetsNoFurtherThanTheirRights) {
    const QString url = NewPostgresUrl();
    ZPP_REQUIRE_STORE(url);
    const store::StorePtr db = store::GenerateStore(url, 60);
    const QString before = Rows(*db, "SELECT SUM(ordered_qty), COUNT(*) FROM plan_entries") +
                           Rows(*db, "SELECT COUNT(*) FROM purchase_orders") +
                           Rows(*db, "SELECT SUM(granted_mask) FROM user_rights");
    EXPECT_FALSE(Client(url, "buyer", "wrong").Connected());

    Client buyer(url, "buyer", "buyer");
    ASSERT_TRUE(buyer.Connected());
    EXPECT_EQ(buyer.Run("SELECT COUNT(*) FROM plan_entries"), "");
    const struct {
        const char* Sql;
        const char* State;
    } refused[] = {
        // No delete right.
        {"DELETE FROM purchase_plans", "42501"},
        // Nobody but an administrator changes suppliers or rights.
        {"UPDATE suppliers SET credit_line = 1", "42501"},
        {"UPDATE user_rights SET granted_mask = 2147483647", "42501"},
        // 01.007 is a supplier buyer may not use.
        {"INSERT INTO purchase_orders (bill_no, bill_date, supplier_id, created_at)"
         " SELECT 'X1', '2026-01-01', id, 'x' FROM suppliers WHERE code = '01.007'",
         "42501"},
        // Ordered without an order line: refused at commit.
        {"UPDATE plan_entries SET ordered_qty = qty, unordered_qty = 0 WHERE (plan_id, entry_id) IN"
         " (SELECT plan_id, entry_id FROM plan_entries WHERE ordered_qty < qty AND close_mark = ''"
         " AND supplier_id IN (SELECT id FROM suppliers WHERE code NOT IN ('01.007', '01.012', '01.019'))"
         " LIMIT 1)",
         "23514"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(buyer.Run(c.Sql), c.State) << c.Sql;
    Client guest(url, "guest", "guest");
    ASSERT_TRUE(guest.Connected());
    EXPECT_EQ(guest.Run("SELECT COUNT(*) FROM plan_entries"), "42501");
    EXPECT_EQ(Rows(*db, "SELECT SUM(ordered_qty), COUNT(*) FROM plan_entries") +
                  Rows(*db, "SELECT COUNT(*) FROM purchase_orders") +
                  Rows(*db, "SELECT SUM(granted_mask) FROM user_rights"),
              before);
}

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
        if (typed.isEmpty()) {
            QTest::keyClick(password, Qt::Key_Escape);
        } else {
            QTest::keyClicks(password, typed.takeFirst());
            QTest::keyClick(password, Qt::Key_Return);
        }
        return d.result();
    });
    const auto session = app::OpenAndLogIn(As(url, "buyer"), {});
    ASSERT_TRUE(session);
    EXPECT_EQ(session->UserName, "buyer");
    ASSERT_EQ(asked.size(), 2);
    EXPECT_FALSE(asked[0].contains("拒绝")) << asked[0].toStdString();
    EXPECT_TRUE(asked[1].contains("拒绝了用户 buyer 的登录")) << asked[1].toStdString();
    try {
        store::LogInAsConnected(session->Db, "admin");
        ADD_FAILURE() << "--user admin accepted on buyer's connection";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains("与连接的角色 buyer 不同")) << e.Description().toStdString();
    }
    EXPECT_FALSE(app::OpenAndLogIn(As(url, "buyer", "wrong"), {})) << "a cancel logs nobody in";
    EXPECT_EQ(app::OpenAndLogIn(As(url, "admin", "admin"), "admin")->UserName, "admin");
    ui::SetModalHandler(nullptr);
}
