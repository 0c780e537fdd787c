#pragma once

#include "app/Wiring.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/filter/frmFirter.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/FrmResLoader.h"
#include "component/list/frmPurchasePlan.h"
#include "component/operations/frmMessage.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/ui/Prompt.h"
#include "services/demo/DemoData.h"
#include "services/platform/PlatformServices.h"
#include "support/ListWindows.h"
#include "support/RowTexts.h"
#include "support/TestStores.h"

#include <QTest>
#include <QToolBar>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>

namespace zpp::test {

// The host program's wiring over a real store, as a user starts it.
class AppTest : public ::testing::TestWithParam<StoreKind> {
protected:
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
    store::StorePtr db;

    void SetUp() override {
        ResetState();
        ui::SetPrompter(prompts);
        // Dialogs are cancelled unless a test answers them.
        ui::SetModalHandler([](QDialog& d) {
            d.reject();
            return int(QDialog::Rejected);
        });
    }
    void TearDown() override {
        ui::SetPrompter(nullptr);
        ui::SetModalHandler(nullptr);
        HostObjectFactory::Instance().Clear();
        services::SharePropsService::ClearAll();
        ResetState();
    }
    bool Start(const QString& user, const QString& lang = {}) {
        const QString location = NewStoreLocation(GetParam());
        if (location.isEmpty())
            return false;
        db = store::Store::Open(location);
        auto session = std::make_shared<store::Session>(store::LogIn(db, user));
        session->Language = lang;
        app::Wire(session);
        return true;
    }
    int LogCount() {
        return db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan001'").toInt();
    }
};

// Start-up of the list against a real demo store, in both modes.
class AppListTest : public AppTest {
protected:
    static QList<frmPurchasePlan*> Windows() { return OpenListWindows(); }
    void TearDown() override {
        for (QWidget* w : Windows())
            w->close();
        QApplication::processEvents();
        ui::SetModalHandler(nullptr);
        AppTest::TearDown();
    }
    bool StartDemo(const QString& lang = {}, const QString& user = QStringLiteral("admin")) {
        const QString location = NewStoreLocation(GetParam());
        if (location.isEmpty())
            return false;
        db = store::GenerateStore(location, 150);
        // On PostgreSQL the program connects as the user's own role, logged in with its password,
        // so the server holds it to its rights; db stays the test's own view as the superuser.
        QUrl own(location);
        own.setUserName(user);
        own.setPassword(user);
        auto session = std::make_shared<store::Session>(
            db->IsSQLite() ? store::LogIn(db, user)
                           : store::LogInAsConnected(store::Store::Open(own.toString()), user));
        session->Language = lang;
        app::Wire(session);
        ini::SetConfigDir(config.path());
        return true;
    }
    // Shows the list in filter mode, confirming the filter dialog and accepting any other.
    frmPurchasePlan* ShowFiltered() {
        ui::SetModalHandler([](QDialog& d) {
            d.show();
            if (auto* button = d.findChild<QPushButton*>("cmdOK"))
                button->click();
            else
                d.accept();
            return d.result();
        });
        ClsPurchasePlanMain().Show();
        const auto windows = Windows();
        EXPECT_EQ(windows.size(), 1);
        return windows.isEmpty() ? nullptr : windows[0];
    }
    // Through a push as a user goes: on past any high price, then in the result window the first
    // order opened and closed again; every other dialog is cancelled. look sees each dialog first.
    static void FollowPush(std::function<void(QDialog&)> look) {
        ui::SetModalHandler([look = std::move(look)](QDialog& d) {
            look(d);
            d.show();
            if (auto* go = d.findChild<QPushButton*>("cmdContinue")) {
                go->click();
            } else if (auto* ledger = d.findChild<controls::LedgerGrid*>("grdLedger")) {
                Q_EMIT ledger->RowActivated(1);
                d.reject();
            } else {
                d.reject();
            }
            return d.result();
        });
    }
    // Pushes go on past the high-price window; any other dialog is cancelled.
    static void ContinuePastHighPrices() {
        ui::SetModalHandler([](QDialog& d) {
            d.show();
            if (auto* go = d.findChild<QPushButton*>("cmdContinue"))
                go->click();
            else
                d.reject();
            return d.result();
        });
    }
    QTemporaryDir config;
};

// Ticks rows a buyer may push: open, with a supplier, a quantity and a delivery date not before today.
// The demo suppliers with a credit line under control (01.005, 01.008) are left out.
inline QList<int> PushableRows(const controls::SpreadGrid& g, int wanted) {
    QList<int> rows;
    const QDate today = QDate::currentDate();
    for (int r = 1; r <= g.MaxRows() && rows.size() < wanted; ++r) {
        const auto finish = QDate::fromString(g.Text(col::FinishDate, r), "yyyy-MM-dd");
        const QString supplier = g.Text(col::SupplyNumber, r);
        if (g.Text(col::Close, r).trimmed().isEmpty() && !supplier.isEmpty() && supplier != "01.005" &&
            supplier != "01.008" && g.Text(col::PushQty, r).toDouble() > 0 && finish.isValid() &&
            finish >= today)
            rows << r;
    }
    return rows;
}
inline QList<int> TickPushableRows(controls::SpreadGrid& g, int wanted) {
    const QList<int> rows = PushableRows(g, wanted);
    for (int r : rows)
        g.SetText(col::CheckBox, r, "1");
    return rows;
}

// A user's hands on the list: mouse clicks on the grid's cells and tool buttons, keys to whatever
// has them (an open editor, else the grid), as a person works.
struct Hands {
    frmPurchasePlan& list;
    controls::SpreadGrid& g = list.vsProc();

    QModelIndex Index(int c, int r) const { return g.View()->model()->index(r - 1, c - 1); }
    // The frozen columns are clicked and edited in the view laid over the main one.
    QTableView* ViewOf(int c) const {
        QTableView* frozen = g.FrozenView();
        return frozen && frozen->isVisible() && !frozen->isColumnHidden(c - 1) ? frozen : g.View();
    }
    QWidget* Editor() const {
        for (QTableView* v : {g.View(), g.FrozenView()})
            if (QWidget* editor = v ? v->indexWidget(v->currentIndex()) : nullptr)
                return editor;
        return nullptr;
    }
    QWidget* KeyTarget() const {
        QWidget* editor = Editor();
        return editor ? editor : g.View();
    }
    void Click(int c, int r, Qt::KeyboardModifiers modifiers = {}) const {
        g.View()->scrollTo(Index(c, r));
        QTableView* v = ViewOf(c);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, modifiers, v->visualRect(Index(c, r)).center());
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
    // Moves right along the row until the active column is c.
    void RightTo(int c) const {
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
