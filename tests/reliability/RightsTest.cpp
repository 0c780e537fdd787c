#include "InputFixture.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "platform/controls/SpreadGrid.h"
#include "support/ListWindows.h"

#include <QApplication>

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
        // One user for each right of the module, holding that right alone.
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
                     {id, rights::Subsystem, rights::Module, qint64(mask)});
            users.append({user, mask});
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
