#include "InputFixture.h"
#include "Reliability.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "platform/controls/SpreadGrid.h"

#include <algorithm>

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
    // The demo users, and one user for each right of the module holding that right alone besides
    // the right to open the list (without it no other command of the list can be reached).
    QList<User> Users() {
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
            const qint64 granted = mask | rights::Query;
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
// with the refusal message, leaves the entries and orders as they were and writes no log record; a
// right that is held runs it and writes its record.
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
    const QList<User> users = Users();
    int cases = 0, wrongs = 0;
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
                    list->vsProc().SetText(col::Memo, 1, QStringLiteral("rights %1").arg(cases));
                    list->DataChanged = true;
                } else if (list) {
                    TickFor(list->vsProc(), key);
                }
                const bool held = user.Holds(command.Right);
                const QString before = reliability::Snapshot(*db);
                const int logsBefore = Logs(), ownBefore = command.LogCode ? Logs(command.LogCode) : 0;
                prompts->Clear();
                if (list)
                    list->ToolClick(key);
                else
                    ClsPurchasePlanMain().Show();
                ++cases;
                const bool refused =
                    std::any_of(prompts->Log.begin(), prompts->Log.end(),
                                [](const auto& shown) { return shown.Text.startsWith(kRefusal); });
                const std::string what =
                    QString(user.Name + u' ' + key + (merged ? u" merged" : u"")).toStdString();
                // A refusal changes nothing and logs nothing; an allowed command writes its record.
                const bool changed = !held && reliability::Snapshot(*db) != before,
                           logged = Logs() != logsBefore,
                           written = !command.LogCode || Logs(command.LogCode) > ownBefore;
                const bool wrong = held ? refused || !written : !refused || changed || logged;
                wrongs += wrong;
                EXPECT_FALSE(wrong) << what << ": refused " << refused << ", changed " << changed
                                    << ", logged " << logged << " "
                                    << prompts->Log.value(0).Text.toStdString();
                CloseWindows();
            }
        }
    }
    Figure("rights matrix", "cases", cases);
    Figure("rights matrix",
           "allowed that should be refused, refused that changed the store or wrote the log,"
           " refused that should be allowed, allowed without the log record",
           wrongs);
}

INSTANTIATE_TEST_SUITE_P(Stores, RightsTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
