#include "InputFixture.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "platform/controls/SpreadGrid.h"
#include "services/access/AccessService.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/planning/HighPrice.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "support/ListWindows.h"

#include <QApplication>
#include <functional>

using namespace zpp;
using namespace zpp::test;

namespace {

struct Command {
    const char* Key; // the tool key; "Open" is the entry class's Show
    qint32 Right;
    const char* LogCode; // the record an allowed command writes; null when it writes none
};

// Every guarded command of the list, the right it asks for and the log record it writes.
const Command kCommands[] = {
    {"Open", rights::Query, logs::Query.Code},      {"Save", rights::Save, logs::Save.Code},
    {"Delete", rights::Delete, logs::DeleteCode},   {"Close", rights::Close, logs::Close.Code},
    {"UnClose", rights::Close, logs::UnClose.Code}, {"PushBill", rights::Push, logs::Push.Code},
    {"Export", rights::Export, logs::Export.Code},  {"Print", rights::Print, logs::Print.Code},
    {"PrintView", rights::Print, nullptr},
};

struct User {
    QString Name;
    qint64 Mask;
};

const QString kRefusal = QStringLiteral("对不起，你没有相应的权限！");

// Ticks the first row the command can act on: open rows for Close and PushBill (pushable:
// supplier without a credit control, a quantity, a delivery date not before today), closed for UnClose.
void TickFor(controls::SpreadGrid& g, const QString& key) {
    const QDate today = QDate::currentDate();
    for (int r = 1; r <= g.MaxRows(); ++r) {
        const bool closed = !g.Text(col::Close, r).trimmed().isEmpty();
        bool fits = true;
        if (key == u"Close")
            fits = !closed;
        else if (key == u"UnClose")
            fits = closed;
        else if (key == u"PushBill") {
            const auto finish = QDate::fromString(g.Text(col::FinishDate, r), QStringLiteral("yyyy-MM-dd"));
            const QString supplier = g.Text(col::SupplyNumber, r);
            fits = !closed && !supplier.isEmpty() && supplier != u"01.005" && supplier != u"01.008" &&
                   g.Text(col::PushQty, r).toDouble() > 0 && finish.isValid() && finish >= today;
        }
        if (fits) {
            g.SetText(col::CheckBox, r, QStringLiteral("1"));
            return;
        }
    }
}

} // namespace

class RightsTest : public InputTest {
protected:
    QList<User> Users() {
        QList<User> users;
        for (const char* name : {"admin", "buyer", "guest"})
            users.append({QString::fromLatin1(name),
                          db->Scalar(QStringLiteral("SELECT COALESCE(MAX(r.granted_mask), 0) FROM users u"
                                                    " LEFT JOIN user_rights r ON r.user_id = u.id"
                                                    " AND r.subsystem = ? AND r.module = ? WHERE u.name = ?"),
                                     {rights::Subsystem, rights::Module, QString::fromLatin1(name)})
                              .toLongLong()});
        // One user for each right of the module, holding that right alone besides the right to open
        // the list (without which no other command can be reached: the list's read asks for it).
        const std::pair<const char*, qint32> single[] = {
            {"query", rights::Query}, {"save", rights::Save},  {"delete", rights::Delete},
            {"close", rights::Close}, {"push", rights::Push},  {"export", rights::Export},
            {"print", rights::Print}, {"price", rights::Price}};
        int id = 100;
        for (const auto& [name, mask] : single) {
            const QString user = QStringLiteral("only_") + QString::fromLatin1(name);
            db->Exec(QStringLiteral("INSERT INTO users (id, name, full_name) VALUES (?, ?, ?)"),
                     {id, user, user});
            db->Exec(QStringLiteral("INSERT INTO user_rights (user_id, subsystem, module, granted_mask)"
                                    " VALUES (?, ?, ?, ?)"),
                     {id, rights::Subsystem, rights::Module, qint64(mask | rights::Query)});
            users.append({user, mask | rights::Query});
            ++id;
        }
        return users;
    }
    QHash<QString, int> LogCounts() {
        QHash<QString, int> counts;
        QSqlQuery q =
            db->Exec(QStringLiteral("SELECT object_code, COUNT(*) FROM operation_log GROUP BY object_code"));
        while (q.next())
            counts.insert(q.value(0).toString(), q.value(1).toInt());
        return counts;
    }
    void CloseWindows() {
        for (frmPurchasePlan* w : OpenListWindows()) {
            w->DataChanged = false;
            w->close();
        }
        QApplication::processEvents();
    }
};

// Every command for every user: a right that is missing refuses the command with the refusal
// message, leaves every table as it was and writes no log record; a right that is held runs it.
TEST_P(RightsTest, EveryGuardedCommandHonoursTheUsersRights) {
    const bool ok = CreateStore();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    const QList<User> users = Users();
    // The full form runs the matrix again in the merged view, where the commands run on merged rows.
    const int views = Soak() ? 2 : 1;
    qint64 wronglyAllowed = 0, wronglyRefused = 0, refusedChangedStore = 0, refusedLogged = 0,
           allowedUnlogged = 0, cases = 0;
    for (int view = 0; view < views; ++view) {
        for (const User& user : users) {
            for (const Command& command : kCommands) {
                const QString key = QString::fromLatin1(command.Key);
                const bool merged = view == 1;
                // Delete, Close and UnClose act on entries and are not offered in the merged view.
                if (merged && (key == u"Delete" || key == u"Close" || key == u"UnClose"))
                    continue;
                // Without the right to open the list no other command of it can be reached (the
                // services refuse them too: see the service matrix).
                if (key != u"Open" && (user.Mask & rights::Query) == 0)
                    continue;
                LogIn(user.Name);
                frmPurchasePlan* list = nullptr;
                if (key != u"Open") {
                    list = OpenList();
                    if (merged)
                        list->ToolClick(QStringLiteral("Merge"));
                    controls::SpreadGrid& g = list->vsProc();
                    if (key == u"Save") {
                        g.SetText(col::Memo, 1, QStringLiteral("rights %1").arg(cases));
                        list->DataChanged = true;
                    } else {
                        TickFor(g, key);
                    }
                }
                const QString before = Snapshot();
                const QHash<QString, int> logsBefore = LogCounts();
                prompts->Clear();
                if (list)
                    list->ToolClick(key);
                else
                    ClsPurchasePlanMain().Show();
                ++cases;

                const bool held = (user.Mask & command.Right) == command.Right;
                bool refused = false;
                for (const auto& shown : prompts->Log)
                    refused = refused || shown.Text == kRefusal;
                const bool changed = Snapshot() != before;
                const bool logged = LogCounts() != logsBefore;
                const QString what = user.Name + u' ' + key + (merged ? u" merged" : u"");
                if (!held) {
                    wronglyAllowed += !refused || changed || logged;
                    refusedChangedStore += changed;
                    refusedLogged += logged;
                    EXPECT_TRUE(refused) << what.toStdString();
                    EXPECT_FALSE(changed) << what.toStdString();
                    EXPECT_FALSE(logged) << what.toStdString();
                } else {
                    wronglyRefused += refused;
                    EXPECT_FALSE(refused) << what.toStdString();
                    if (command.LogCode) {
                        const QString code = QString::fromLatin1(command.LogCode);
                        const bool written = LogCounts().value(code) > logsBefore.value(code);
                        allowedUnlogged += !written;
                        EXPECT_TRUE(written)
                            << what.toStdString() << " " << prompts->Log.value(0).Text.toStdString();
                    }
                }
                CloseWindows();
            }
        }
    }
    Figure("rights matrix", "cases", cases);
    Figure("rights matrix", "allowed that should be refused", wronglyAllowed);
    Figure("rights matrix", "refused that should be allowed", wronglyRefused);
    Figure("rights matrix", "refused that changed the store", refusedChangedStore);
    Figure("rights matrix", "refused that wrote the log", refusedLogged);
    Figure("rights matrix", "allowed without their log record", allowedUnlogged);
    EXPECT_EQ(wronglyAllowed, 0);
    EXPECT_EQ(wronglyRefused, 0);
    EXPECT_EQ(allowedUnlogged, 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, RightsTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// The same rights asked below every window: each service refuses a user without the right with
// the refusal and leaves the store and the log as they were, whoever calls it; a user with the
// right gets past the check (the command may still be refused for its data).
TEST_P(RightsTest, EveryServiceChecksTheRightItself) {
    const bool ok = CreateStore();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    QList<User> users = Users();
    // Single rights alone here: a service is reachable without the list.
    for (User& u : users)
        if (u.Name.startsWith(u"only_") && u.Name != u"only_query") {
            u.Mask &= ~qint64(rights::Query);
            db->Exec(QStringLiteral("UPDATE user_rights SET granted_mask = ? WHERE user_id ="
                                    " (SELECT id FROM users WHERE name = ?)"),
                     {u.Mask, u.Name});
        }
    // An open entry of a supplier nobody is kept from, with something left to order.
    QSqlQuery pick = db->Exec(
        QStringLiteral("SELECT e.plan_id, e.entry_id, e.supplier_id, p.bill_no FROM plan_entries e"
                       " JOIN purchase_plans p ON p.id = e.plan_id JOIN suppliers s ON s.id = e.supplier_id"
                       " WHERE e.close_mark = '' AND e.unordered_qty >= 1 AND s.code NOT IN"
                       " (SELECT supplier_code FROM user_supplier_rights) ORDER BY e.plan_id, e.entry_id"));
    ASSERT_TRUE(pick.next());
    const QString plan = pick.value(0).toString(), entry = pick.value(1).toString(),
                  supplier = pick.value(2).toString(), billNo = pick.value(3).toString();
    qint64 orderId = 0;
    const auto entryList = [&](const QVariantMap& more = {}) {
        auto r = KeyedRecord::Create();
        r->Set("FInterID", plan);
        r->Set("FEntryID", entry);
        r->Set("Row", 1);
        for (auto it = more.begin(); it != more.end(); ++it)
            r->Set(it.key(), it.value());
        RecordListPtr list = RecordList::Create();
        list->Add(r);
        return list;
    };
    const auto log = [](store::SessionPtr s, const char* code) {
        QString objectCode = QString::fromLatin1(code), name = QStringLiteral("matrix");
        qint32 type = 3;
        services::AccessService(s).WriteLog(objectCode, type, name);
    };
    struct ServiceCommand {
        const char* Name;
        qint32 Right;
        std::function<void(store::SessionPtr)> Run;
    };
    int round = 0;
    const std::vector<ServiceCommand> commands = {
        {"read", rights::Query,
         [&](store::SessionPtr s) {
             RecordPtr none;
             QString bill = billNo;
             services::PurchasePlanInfoService(s).GetRptData({}, none, {}, bill);
         }},
        {"save", rights::Save,
         [&](store::SessionPtr s) {
             RecordListPtr list = entryList({{"FMemo", QStringLiteral("matrix %1").arg(++round)}});
             services::PurchasePlanUpdateService(s).UpdatePurchasePlanEntry({}, list);
         }},
        {"close", rights::Close,
         [&](store::SessionPtr s) {
             RecordListPtr list = entryList();
             services::PurchasePlanUpdateService service(s);
             service.ClosePurchasePlan({}, list);
             service.UnClosePurchasePlan({}, list);
         }},
        {"delete", rights::Delete,
         [&](store::SessionPtr s) {
             RecordListPtr list = RecordList::Create();
             auto r = KeyedRecord::Create();
             r->Set("FInterID", "999999");
             list->Add(r);
             services::PurchasePlanUpdateService(s).DeletePurChasePlan({}, list);
         }},
        {"push", rights::Push,
         [&](store::SessionPtr s) {
             RecordListPtr list = entryList({{"FSupplyID", supplier},
                                             {"FPushQty", "1"},
                                             {"FPrice", "1"},
                                             {"FDiscountRate", "0"},
                                             {"FTaxRate", "13"},
                                             {"FFinishDate", QDate::currentDate().addDays(30)},
                                             {"FMemo", ""},
                                             {"FBillNo", billNo},
                                             // above the demo price list: as the user went on past it
                                             {services::kHighPriceConfirmedField, 1}});
             QString ids;
             QDate date = QDate::currentDate();
             services::PurchasePlanUpdateService(s).PushBill({}, list, s->UserId, ids, date);
         }},
        {"order read", rights::Query,
         [&](store::SessionPtr s) { services::PurchaseOrderStore(s).Load(orderId); }},
        {"order save", rights::Push,
         [&](store::SessionPtr s) {
             const services::PurchaseOrderStore orders(store::SessionPtr(
                 std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")))));
             const services::PurchaseOrder loaded = orders.Load(orderId);
             QVector<services::OrderLine> lines = loaded.Lines;
             lines[0].FinishDate = lines[0].FinishDate.addDays(1);
             services::PurchaseOrderStore(s).Save(loaded, lines);
         }},
        {"order price", rights::Push | rights::Price,
         [&](store::SessionPtr s) {
             const services::PurchaseOrderStore orders(store::SessionPtr(
                 std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")))));
             const services::PurchaseOrder loaded = orders.Load(orderId);
             QVector<services::OrderLine> lines = loaded.Lines;
             lines[0].Price += 1;
             services::PurchaseOrderStore(s).Save(loaded, lines);
         }},
        {"print log", rights::Print, [&](store::SessionPtr s) { log(s, logs::Print.Code); }},
        {"export log", rights::Export, [&](store::SessionPtr s) { log(s, logs::Export.Code); }},
    };
    // An order to read and change: the admin's push of the entry.
    auto admin = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    commands[4].Run(admin);
    orderId = db->Scalar(QStringLiteral("SELECT MAX(id) FROM purchase_orders")).toLongLong();
    ASSERT_GT(orderId, 0);
    QStringList faults;
    int cases = 0;
    for (const User& user : users) {
        auto session = std::make_shared<store::Session>(store::LogIn(db, user.Name));
        for (const ServiceCommand& command : commands) {
            ++cases;
            const QString before = Snapshot();
            QString error;
            try {
                command.Run(session);
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            const bool held = (user.Mask & command.Right) == command.Right;
            const QString what = user.Name + u' ' + QString::fromLatin1(command.Name) + u": ";
            if (held && error == kRefusal)
                faults << what + "refused although the right is held";
            if (!held && error != kRefusal)
                faults << what + "allowed without the right" +
                              (error.isEmpty() ? QString() : " (" + error + ")");
            if (!held && Snapshot() != before)
                faults << what + "refused, but the store or the log changed";
        }
    }
    // No price leaves the store for a user without the price right: not in the plan rows, not as a
    // supplier's price, not in the order window.
    for (const User& user : users) {
        if ((user.Mask & rights::Query) == 0)
            continue;
        auto session = std::make_shared<store::Session>(store::LogIn(db, user.Name));
        const bool sees = (user.Mask & rights::Price) != 0;
        RecordPtr none;
        QString bill = billNo;
        const RecordListPtr rows = services::PurchasePlanInfoService(session).GetRptData({}, none, {}, bill);
        int priced = 0;
        for (int i = 1; i <= rows->Count(); ++i)
            priced += rows->ValueOf(i, "FPrice", QVariant()).isNull() ? 0 : 1;
        const double listed = services::PurchasePlanInfoService(session).GetPurchasePlanPrice(
            {}, supplier.toInt(),
            db->Scalar("SELECT item_id FROM plan_entries WHERE plan_id = ? AND entry_id = ?", {plan, entry})
                .toInt(),
            1);
        const services::PurchaseOrder order = services::PurchaseOrderStore(session).Load(orderId);
        const QString what = user.Name + ": ";
        if (!sees && (priced > 0 || listed != 0 || order.Lines.value(0).Price != 0 || order.PricesShown))
            faults << what + "a price reached a user without the price right";
        if (sees && (priced != rows->Count() || !order.PricesShown))
            faults << what + "prices withheld from a user with the price right";
    }
    // buyer pushes without the price right: whatever price the records carry, the order line is
    // priced as the entry is in the store.
    {
        auto buyer = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("buyer")));
        const double stored =
            db->Scalar("SELECT price FROM plan_entries WHERE plan_id = ? AND entry_id = ?", {plan, entry})
                .toDouble();
        const qint64 last = db->Scalar("SELECT MAX(id) FROM purchase_orders").toLongLong();
        commands[4].Run(buyer); // its records say 1
        const QVariant ordered =
            db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id > ?", {last});
        if (!ordered.isValid() || std::abs(ordered.toDouble() - stored) > 1e-9)
            faults << "buyer's push was not priced from the store: " + ordered.toString();
    }
    Figure("service rights matrix", "cases", cases);
    Figure("service rights matrix", "allowed that should be refused, or refused that should be allowed",
           faults.size());
    EXPECT_EQ(faults.join("\n"), "");
}
