#pragma once

#include "app/Wiring.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/ui/Prompt.h"
#include "services/demo/DemoData.h"
#include "services/platform/PlatformServices.h"
#include "support/ListWindows.h"
#include "support/RowTexts.h"
#include "support/TestStores.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDate>
#include <QDateEdit>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <libpq-fe.h>

namespace zpp::test {

// A store location as a user with a password logs in to it.
inline QString As(const QString& url, const QString& user, const QString& password = {}) {
    QUrl u(url);
    u.setUserName(user);
    u.setPassword(password);
    return u.toString();
}

// The SQLSTATE a statement fails with as any client with a user's credentials (password: the name,
// unless given) runs it, not the program: empty when it ran, "connection" when the server let
// nobody in.
inline std::string AsClient(const QString& url, const QString& user, const char* sql,
                            const QString& password = {}) {
    PGconn* c = PQconnectdb(As(url, user, password.isEmpty() ? user : password).toUtf8().constData());
    PGresult* r = PQstatus(c) == CONNECTION_OK ? PQexec(c, sql) : nullptr;
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : "connection";
    const std::string code = state ? state : "";
    PQclear(r);
    PQfinish(c);
    return code;
}

// The host program's wiring over a real demo store of each kind, as a user starts it.
class AppTest : public ::testing::TestWithParam<StoreKind> {
protected:
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
    store::StorePtr db;
    QString location;
    QTemporaryDir config;

    void SetUp() override {
        location = NewStoreLocation(GetParam());
        ZPP_REQUIRE_STORE(location);
        ResetState();
        ui::SetPrompter(prompts);
        Answer([](QDialog&) {}); // dialogs are cancelled unless a test answers them
        db = store::GenerateStore(location, 150);
        ini::SetConfigDir(config.path());
    }
    void TearDown() override {
        for (QWidget* w : OpenListWindows())
            w->close();
        QApplication::processEvents();
        ui::SetModalHandler(nullptr);
        ui::SetPrompter(nullptr);
        HostObjectFactory::Instance().Clear();
        services::SharePropsService::ClearAll();
        ResetState();
    }
    // On PostgreSQL the program connects as the user's own role, logged in with its password, so
    // the server holds it to its rights; db stays the test's own view as the superuser.
    void LogIn(const QString& user = QStringLiteral("admin"), const QString& lang = {}) {
        ResetState();
        auto session = std::make_shared<store::Session>(
            db->IsSQLite() ? store::LogIn(db, user)
                           : store::LogInAsConnected(store::Store::Open(As(location, user, user)), user));
        session->Language = lang;
        app::Wire(session);
    }
    // Logs in and shows the list in filter mode, confirming the filter dialog.
    frmPurchasePlan* OpenList(const QString& user = QStringLiteral("admin"), const QString& lang = {}) {
        LogIn(user, lang);
        Answer([](QDialog& d) { d.findChild<QPushButton*>("cmdOK")->click(); });
        ClsPurchasePlanMain().Show();
        const auto windows = OpenListWindows();
        return windows.size() == 1 ? windows[0] : nullptr;
    }
    // Every dialog is shown, handed to act, and ends with the result act left (cancelled if none).
    static void Answer(std::function<void(QDialog&)> act) {
        ui::SetModalHandler([act = std::move(act)](QDialog& d) {
            d.show();
            act(d);
            if (d.isVisible())
                d.reject();
            return d.result();
        });
    }
    // Moves the first plan to yesterday and answers the next filter dialog with that day alone: a
    // 过滤 then lists another set of rows. Gives the day.
    QString FilterToYesterday() {
        const QString day = QDate::currentDate().addDays(-1).toString("yyyy-MM-dd");
        db->Exec(
            "UPDATE plan_entries SET entry_date = ? WHERE plan_id = (SELECT MIN(plan_id) FROM plan_entries)",
            {day});
        Answer([day](QDialog& d) {
            for (const char* name : {"dtpBDate", "dtpEDate"})
                d.findChild<QDateEdit*>(name)->setDate(QDate::fromString(day, "yyyy-MM-dd"));
            d.findChild<QPushButton*>("cmdOK")->click();
        });
        return day;
    }
    // Through a push as a user goes: on past any high price and the message dialog (是 to its
    // question), then in the result window the first order opened and closed again; every other
    // dialog is cancelled. look sees each dialog first.
    static void FollowPush(std::function<void(QDialog&)> look = [](QDialog&) {}) {
        Answer([look = std::move(look)](QDialog& d) {
            look(d);
            if (auto* go = d.findChild<QPushButton*>("cmdContinue"))
                go->click();
            else if (auto* yes = d.findChild<QPushButton*>("btnYes"))
                yes->click();
            else if (auto* ledger = d.findChild<controls::LedgerGrid*>("grdLedger"))
                Q_EMIT ledger->RowActivated(1);
        });
    }
    // The export dialog writes plan.csv into dir, the print dialog prints plan.pdf there; other
    // dialogs are handed to other, or cancelled.
    static void WriteFiles(const QString& dir, std::function<int(QDialog&)> other = {}) {
        ui::SetModalHandler([=](QDialog& d) {
            if (auto* file = d.findChild<QLineEdit*>("txtFile")) {
                d.findChild<QComboBox*>("cboFormat")->setCurrentIndex(1);
                file->setText(dir + "/plan.csv");
                return int(QDialog::Accepted);
            }
            if (auto* print = qobject_cast<QPrintDialog*>(&d)) {
                print->printer()->setOutputFormat(QPrinter::PdfFormat);
                print->printer()->setOutputFileName(dir + "/plan.pdf");
                return int(QDialog::Accepted);
            }
            return other ? other(d) : int(QDialog::Rejected);
        });
    }
    // What the message and input boxes said so far.
    QStringList Said() const {
        QStringList said;
        for (const auto& p : prompts->Log)
            said << p.Text;
        return said;
    }
    int Count(const QString& sql, const QVariantList& args = {}) { return db->Scalar(sql, args).toInt(); }
    // A column of the entry a row's key ("plan_entry") names.
    QString Entry(const QString& key, const char* column) {
        const QString sql =
            QString("SELECT %1 FROM plan_entries WHERE plan_id || '_' || entry_id = ?").arg(column);
        return db->Scalar(sql, {key}).toString();
    }
};

// Rows a buyer may push, ticked unless asked not to: open, with a supplier, a quantity and a
// delivery date not before today. The demo suppliers with a credit line under control (01.005,
// 01.008) are left out.
inline QList<int> PushableRows(controls::SpreadGrid& g, int wanted, bool tick = true) {
    QList<int> rows;
    for (int r = 1; r <= g.MaxRows() && rows.size() < wanted; ++r) {
        if (g.Text(col::Close, r).trimmed().isEmpty() &&
            !QString("01.005 01.008").contains(g.Text(col::SupplyNumber, r)) &&
            g.Text(col::PushQty, r).toDouble() > 0 &&
            g.Text(col::FinishDate, r) >= QDate::currentDate().toString("yyyy-MM-dd")) {
            rows << r;
            if (tick)
                g.SetText(col::CheckBox, r, "1");
        }
    }
    return rows;
}

// A right-click on a column's header (in the frozen columns' header where it shows), then a
// click on a command of the menu it opens.
inline void HeaderCommand(controls::SpreadGrid& g, int col, const QString& command) {
    QTableView* frozen = g.FrozenView();
    QTableView* v = frozen && frozen->isVisible() && !frozen->isColumnHidden(col - 1) ? frozen : g.View();
    g.View()->scrollTo(g.View()->model()->index(g.ActiveRow() > 0 ? g.ActiveRow() - 1 : 0, col - 1));
    QHeaderView* header = v->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(col - 1) + header->sectionSize(col - 1) / 2,
                    header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
    QApplication::sendEvent(header->viewport(), &event); // what the press brings on a desktop
    QTest::mouseRelease(header->viewport(), Qt::RightButton, {}, at);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu) << "no menu on the header of column " << col;
    QAction* action = nullptr;
    for (QAction* a : menu->actions())
        if (a->objectName() == command)
            action = a;
    ASSERT_TRUE(action && action->isEnabled()) << command.toStdString();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QCoreApplication::processEvents();
}

// A user's hands on the list: mouse clicks on the grid's cells and tool buttons, keys to whatever
// has them (an open editor, else the grid), as a person works.
struct Hands {
    frmPurchasePlan& list;
    controls::SpreadGrid& g = list.vsProc();

    QWidget* Editor() const {
        for (QTableView* v : {g.View(), g.FrozenView()})
            if (QWidget* editor = v ? v->indexWidget(v->currentIndex()) : nullptr)
                return editor;
        return nullptr;
    }
    QWidget* KeyTarget() const { return Editor() ? Editor() : g.View(); }
    // The frozen columns are clicked in the view laid over the main one.
    void Click(int c, int r, Qt::KeyboardModifiers modifiers = {}) const {
        QTableView* frozen = g.FrozenView();
        QTableView* v = frozen && frozen->isVisible() && !frozen->isColumnHidden(c - 1) ? frozen : g.View();
        const QModelIndex at = g.View()->model()->index(r - 1, c - 1);
        g.View()->scrollTo(at);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, modifiers, v->visualRect(at).center());
        QCoreApplication::processEvents();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
        QTest::keyClick(KeyTarget(), key, modifiers);
        // An editor ends on Enter through a queued call, as it does for a user.
        QCoreApplication::processEvents();
    }
    // Typed key by key: the first key opens the cell's editor, the rest go into it.
    void Type(const QString& text) const {
        for (QChar ch : text)
            QTest::keyClick(KeyTarget(), ch.toLatin1());
    }
    // Clicks the cell at column from in row r, then moves right with arrows until column c.
    void RightTo(int r, int c, int from = col::ItemNumber) const {
        Click(from, r);
        for (int i = 0; i < 40 && g.ActiveCol() != c; ++i)
            Key(Qt::Key_Right);
    }
    void Tool(const char* key) const {
        auto* bar = list.findChild<QToolBar*>("Band");
        QWidget* button = bar->widgetForAction(list.Tool("Band", QString::fromLatin1(key)));
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
};

} // namespace zpp::test
