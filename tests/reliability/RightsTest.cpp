#include "InputFixture.h"
#include "Reliability.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "platform/controls/SpreadGrid.h"
#include "services/access/AccessService.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/planning/HighPrice.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"

#include <QSqlQuery>
#include <algorithm>
#include <functional>

using namespace zpp;
using namespace zpp::test;

namespace {

const QString kRefusal = QStringLiteral("对不起，你没有相应的权限！");

struct User {
    QString Name;
    qint64 Mask;
    bool Holds(qint64 right) const { return (Mask & right) == right; }
};

// Ticks the first row the command can act on: open rows for Close and PushBill (pushable:
// supplier without a credit control, a quantity, a delivery date not before today), closed for UnClose.
void TickFor(controls::SpreadGrid& g, const QString& key) {
    for (int r = 1; r <= g.MaxRows(); ++r) {
        const bool closed = !g.Text(col::Close, r).trimmed().isEmpty();
        const QDate finish = QDate::fromString(g.Text(col::FinishDate, r), QStringLiteral("yyyy-MM-dd"));
        const QString supplier = g.Text(col::SupplyNumber, r);
        const bool fits = key == u"Close"     ? !closed
                          : key == u"UnClose" ? closed
                          : key == u"PushBill"
                              ? !closed && !supplier.isEmpty() && supplier != u"01.005" &&
                                    supplier != u"01.008" && g.Text(col::PushQty, r).toDouble() > 0 &&
                                    finish >= QDate::currentDate()
                              : true;
        if (fits) {
            g.SetText(col::CheckBox, r, QStringLiteral("1"));
            return;
        }
    }
}

} // namespace

class RightsTest : public InputTest {
protected:
    // The demo users, and one user for each right of the module holding that right alone, besides
    // the right to open the list when `withQuery` (without it no other command of the list can be
    // reached: the list's read asks for it).
    QList<User> Users(bool withQuery) {
        QList<User> users;
        for (const char* name : {"admin", "buyer", "guest"})
            users.append(
                {name, db->Scalar("SELECT COALESCE(MAX(r.granted_mask), 0) FROM users u LEFT JOIN"
                                  " user_rights r ON r.user_id = u.id AND r.subsystem = ? AND r.module = ?"
                                  " WHERE u.name = ?",
                                  {rights::Subsystem, rights::Module, QString::fromLatin1(name)})
                           .toLongLong()});
        const std::pair<const char*, qint32> single[] = {
            {"query", rights::Query}, {"save", rights::Save},  {"delete", rights::Delete},
            {"close", rights::Close}, {"push", rights::Push},  {"export", rights::Export},
            {"print", rights::Print}, {"price", rights::Price}};
        int id = 100;
        for (const auto& [name, mask] : single) {
            const QString user = QStringLiteral("only_") + QString::fromLatin1(name);
            const qint64 granted = mask | (withQuery ? rights::Query : 0);
            db->Exec("INSERT INTO users (id, name, full_name) VALUES (?, ?, ?)", {id, user, user});
            db->Exec("INSERT INTO user_rights (user_id, subsystem, module, granted_mask) VALUES (?, ?, ?, ?)",
                     {id++, rights::Subsystem, rights::Module, granted});
            users.append({user, granted});
        }
        return users;
    }
    // Log records of one kind, or of any kind.
    int Logs(const char* code = "%") {
        return db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code LIKE ?", {code}).toInt();
    }
};

// Every guarded command of the list for every user: a right that is missing refuses the command
// with the refusal message, leaves every table as it was and writes no log record; a right that is
// held runs it and writes its record.
TEST_P(RightsTest, EveryGuardedCommandHonoursTheUsersRights) {
    struct Command {
        const char* Key; // the tool key; "Open" is the entry class's Show
        qint32 Right;
        const char* LogCode; // the record an allowed command writes; null when it writes none
    };
    const Command commands[] = {
        {"Open", rights::Query, logs::Query.Code},      {"Save", rights::Save, logs::Save.Code},
        {"Delete", rights::Delete, logs::DeleteCode},   {"Close", rights::Close, logs::Close.Code},
        {"UnClose", rights::Close, logs::UnClose.Code}, {"PushBill", rights::Push, logs::Push.Code},
        {"Export", rights::Export, logs::Export.Code},  {"Print", rights::Print, logs::Print.Code},
        {"PrintView", rights::Print, nullptr},
    };
    const QList<User> users = Users(true);
    QMap<QString, qint64> figures;
    // The full form runs the matrix again in the merged view, where the commands run on merged rows.
    for (const bool merged : reliability::Soak() ? QList<bool>{false, true} : QList<bool>{false}) {
        for (const User& user : users) {
            for (const Command& command : commands) {
                const QString key = QString::fromLatin1(command.Key);
                // Delete, Close and UnClose act on entries and are not offered in the merged view.
                if ((merged && (key == u"Delete" || key == u"Close" || key == u"UnClose")) ||
                    (key != u"Open" && !user.Holds(rights::Query)))
                    continue;
                LogIn(user.Name);
                frmPurchasePlan* list = key == u"Open" ? nullptr : OpenList();
                if (list && merged)
                    list->ToolClick(QStringLiteral("Merge"));
                if (key == u"Save") {
                    list->vsProc().SetText(col::Memo, 1, QStringLiteral("rights %1").arg(figures["cases"]));
                    list->DataChanged = true;
                } else if (list) {
                    TickFor(list->vsProc(), key);
                }
                const bool held = user.Holds(command.Right);
                // Only a refusal is compared with the whole store: the snapshot is slow.
                const QString before = held ? QString() : Snapshot();
                const int logsBefore = Logs(), ownBefore = command.LogCode ? Logs(command.LogCode) : 0;
                prompts->Clear();
                if (list)
                    list->ToolClick(key);
                else
                    ClsPurchasePlanMain().Show();
                ++figures["cases"];
                const bool refused = std::any_of(prompts->Log.begin(), prompts->Log.end(),
                                                 [](const auto& shown) { return shown.Text == kRefusal; });
                const std::string what =
                    QString(user.Name + u' ' + key + (merged ? u" merged" : u"")).toStdString();
                if (!held) {
                    const bool changed = Snapshot() != before, logged = Logs() != logsBefore;
                    figures["allowed that should be refused"] += !refused || changed || logged;
                    figures["refused that changed the store"] += changed;
                    figures["refused that wrote the log"] += logged;
                    EXPECT_TRUE(refused && !changed && !logged)
                        << what << ": refused " << refused << ", changed " << changed << ", logged "
                        << logged;
                } else {
                    figures["refused that should be allowed"] += refused;
                    EXPECT_FALSE(refused) << what;
                    const bool written = !command.LogCode || Logs(command.LogCode) > ownBefore;
                    figures["allowed without their log record"] += !written;
                    EXPECT_TRUE(written) << what << " " << prompts->Log.value(0).Text.toStdString();
                }
                CloseWindows();
            }
        }
    }
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        Figure("rights matrix", it.key(), it.value());
}

// The same rights asked below every window: each service refuses a user without the right with
// the refusal and leaves the store and the log as they were, whoever calls it; a user with the
// right gets past the check (the command may still be refused for its data). No price leaves the
// store for a user without the price right, and a push of theirs is priced from the store.
TEST_P(RightsTest, EveryServiceChecksTheRightItself) {
    // Single rights alone here: a service is reachable without the list.
    const QList<User> users = Users(false);
    // An open entry of a supplier nobody is kept from, with something left to order.
    QSqlQuery pick = db->Exec(
        "SELECT e.plan_id, e.entry_id, e.supplier_id, p.bill_no, e.item_id, e.price FROM plan_entries e"
        " JOIN purchase_plans p ON p.id = e.plan_id JOIN suppliers s ON s.id = e.supplier_id"
        " WHERE e.close_mark = '' AND e.unordered_qty >= 1 AND s.code NOT IN"
        " (SELECT supplier_code FROM user_supplier_rights) ORDER BY e.plan_id, e.entry_id");
    ASSERT_TRUE(pick.next());
    const QString plan = pick.value(0).toString(), entry = pick.value(1).toString(),
                  supplier = pick.value(2).toString(), billNo = pick.value(3).toString();
    const int item = pick.value(4).toInt();
    const double price = pick.value(5).toDouble();
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
    const auto push = [&](store::SessionPtr s) {
        // Priced 1 and above the demo price list: as the user went on past it.
        RecordListPtr list = entryList({{"FSupplyID", supplier},
                                        {"FPushQty", "1"},
                                        {"FPrice", "1"},
                                        {"FDiscountRate", "0"},
                                        {"FTaxRate", "13"},
                                        {"FFinishDate", QDate::currentDate().addDays(30)},
                                        {"FMemo", ""},
                                        {"FBillNo", billNo},
                                        {services::kHighPriceConfirmedField, 1}});
        QString ids;
        QDate date = QDate::currentDate();
        services::PurchasePlanUpdateService(s).PushBill({}, list, s->UserId, ids, date);
    };
    const auto readPlan = [&](store::SessionPtr s) {
        RecordPtr none;
        QString bill = billNo;
        return services::PurchasePlanInfoService(s).GetRptData({}, none, {}, bill);
    };
    auto admin = std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("admin")));
    // An order line changed by the user, as the order window saves it.
    const auto orderEdit = [&](store::SessionPtr s, const std::function<void(services::OrderLine&)>& edit) {
        const services::PurchaseOrder loaded = services::PurchaseOrderStore(admin).Load(orderId);
        QVector<services::OrderLine> lines = loaded.Lines;
        edit(lines[0]);
        services::PurchaseOrderStore(s).Save(loaded, lines);
    };
    int round = 0;
    const std::vector<std::tuple<const char*, qint32, std::function<void(store::SessionPtr)>>> commands = {
        {"read", rights::Query, [&](store::SessionPtr s) { readPlan(s); }},
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
        {"push", rights::Push, push},
        {"order read", rights::Query,
         [&](store::SessionPtr s) { services::PurchaseOrderStore(s).Load(orderId); }},
        {"order save", rights::Push,
         [&](store::SessionPtr s) { orderEdit(s, [](auto& l) { l.FinishDate = l.FinishDate.addDays(1); }); }},
        {"order price", rights::Push | rights::Price,
         [&](store::SessionPtr s) { orderEdit(s, [](auto& l) { l.Price += 1; }); }},
        {"print log", rights::Print, [&](store::SessionPtr s) { log(s, logs::Print.Code); }},
        {"export log", rights::Export, [&](store::SessionPtr s) { log(s, logs::Export.Code); }},
    };
    // An order to read and change: the admin's push of the entry.
    push(admin);
    orderId = db->Scalar("SELECT MAX(id) FROM purchase_orders").toLongLong();
    ASSERT_GT(orderId, 0);
    QStringList faults;
    int cases = 0;
    for (const User& user : users) {
        auto session = std::make_shared<store::Session>(store::LogIn(db, user.Name));
        for (const auto& [name, right, run] : commands) {
            ++cases;
            const bool held = user.Holds(right);
            const QString before = held ? QString() : Snapshot();
            const QString error = reliability::Failure([&] { run(session); });
            const QString what = user.Name + u' ' + QString::fromLatin1(name) + u": ";
            if (held && error == kRefusal)
                faults << what + "refused although the right is held";
            if (!held && error != kRefusal)
                faults << what + "allowed without the right (" + error + ")";
            if (!held && Snapshot() != before)
                faults << what + "refused, but the store or the log changed";
        }
        if (!user.Holds(rights::Query))
            continue;
        // Prices: not in the plan rows, not as a supplier's price, not in the order window.
        const RecordListPtr rows = readPlan(session);
        int priced = 0;
        for (int i = 1; i <= rows->Count(); ++i)
            priced += rows->ValueOf(i, "FPrice", QVariant()).isNull() ? 0 : 1;
        const double listed =
            services::PurchasePlanInfoService(session).GetPurchasePlanPrice({}, supplier.toInt(), item, 1);
        const services::PurchaseOrder order = services::PurchaseOrderStore(session).Load(orderId);
        if (!user.Holds(rights::Price) &&
            (priced > 0 || listed != 0 || order.Lines.value(0).Price != 0 || order.PricesShown))
            faults << user.Name + ": a price reached a user without the price right";
        if (user.Holds(rights::Price) && (priced != rows->Count() || !order.PricesShown))
            faults << user.Name + ": prices withheld from a user with the price right";
    }
    // buyer pushes without the price right: whatever price the records carry (1), the order line
    // is priced as the entry is in the store.
    const qint64 last = db->Scalar("SELECT MAX(id) FROM purchase_orders").toLongLong();
    push(std::make_shared<store::Session>(store::LogIn(db, QStringLiteral("buyer"))));
    const QVariant ordered = db->Scalar("SELECT price FROM purchase_order_lines WHERE order_id > ?", {last});
    if (!ordered.isValid() || std::abs(ordered.toDouble() - price) > 1e-9)
        faults << "buyer's push was not priced from the store: " + ordered.toString();
    Figure("service rights matrix", "cases", cases);
    Figure("service rights matrix", "allowed that should be refused, or refused that should be allowed",
           faults.size());
    EXPECT_EQ(faults.join("\n"), "");
}

INSTANTIATE_TEST_SUITE_P(Stores, RightsTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
