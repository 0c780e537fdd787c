#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/filter/frmFirter.h"
#include "component/host/Access.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;

namespace {
// Presses OK or Cancel of the filter dialog as a user would.
void AnswerFilter(bool confirm) {
    ui::SetModalHandler([confirm](QDialog& d) {
        d.show();
        if (auto* button = d.findChild<QPushButton*>(confirm ? "cmdOK" : "cmdCancel"))
            button->click();
        return d.result();
    });
}

QList<frmPurchasePlan*> OpenWindows() {
    QList<frmPurchasePlan*> list;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPurchasePlan*>(w); f && f->isVisible())
            list << f;
    return list;
}
} // namespace

class Window : public ListFixture {
protected:
    QTemporaryDir config;
    void SetUp() override {
        ListFixture::SetUp();
        ini::SetConfigDir(config.path());
        for (int i = 1; i <= 6; ++i)
            Plan().Rows->Add(MakeRow(100 + i / 3, i, QString("1.01.00%1").arg(i % 3), 10 * i));
    }
    void TearDown() override {
        for (frmPurchasePlan* w : OpenWindows()) {
            w->DataChanged = false;
            w->close();
        }
        QApplication::processEvents();
        ini::SetConfigDir({});
        ListFixture::TearDown();
    }
    frmPurchasePlan* ShowList() {
        AnswerFilter(true);
        ClsPurchasePlanMain().Show();
        auto windows = OpenWindows();
        return windows.isEmpty() ? nullptr : windows.last();
    }
};

TEST_F(Window, FilterModeOpensTheListWithDateCaptions) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->vsProc().MaxRows(), 6);
    const QString today = values::FormatDate(QDate::currentDate(), "yyyy/mm/dd");
    EXPECT_EQ(w->lblCpt(0)->text(), "起始日期:" + today);
    EXPECT_EQ(w->lblCpt(1)->text(), "截止日期:" + today);
    EXPECT_TRUE(State().FilterConditions->Get("OK").toBool());
    ASSERT_EQ(World().Log.size(), 1);
    EXPECT_EQ(World().Log[0].Code, "CGPlan001");
}

TEST_F(Window, CancelledFilterOpensNoWindowButTheQueryIsLogged) {
    AnswerFilter(false);
    ClsPurchasePlanMain().Show();
    EXPECT_TRUE(OpenWindows().isEmpty());
    EXPECT_EQ(World().Log.size(), 1);
    EXPECT_FALSE(State().FilterConditions->Get("OK").toBool());
}

TEST_F(Window, BillModeSkipsTheFilterAndShowsTheBillDateTwice) {
    ui::SetModalHandler([](QDialog&) -> int {
        ADD_FAILURE() << "no dialog expected";
        return 0;
    });
    QString bill = "PL101";
    ClsPurchasePlanMain().Show(bill);
    auto windows = OpenWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(Plan().LastBillNo, "PL101");
    EXPECT_EQ(windows[0]->lblCpt(0)->text().mid(5), windows[0]->lblCpt(1)->text().mid(5));
    EXPECT_TRUE(windows[0]->lblCpt(1)->text().contains("2026"));
}

TEST_F(Window, RefusedCommandsDoNothingAndLogNothing) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    World().Log.clear();
    World().GrantedMask = rights::Query;
    const int calls = Plan().RptCalls;
    for (const char* key :
         {"Save", "Delete", "Close", "UnClose", "Export", "iExport", "Print", "iPrintPreView"}) {
        prompts->Clear();
        w->ToolClick(key);
        ASSERT_EQ(prompts->Log.size(), 1) << key;
        EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    }
    EXPECT_EQ(Plan().RptCalls, calls);
    EXPECT_TRUE(World().Log.isEmpty());
}

TEST_F(Window, PushWithUnsavedEditsNeedsTheSaveRight) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    World().GrantedMask = rights::Query | rights::Push;
    w->DataChanged = true;
    w->ToolClick("PushBill");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有修改的权限！");
    EXPECT_TRUE(w->DataChanged);
}

TEST_F(Window, MergedViewToolStatesAndReloadEndsIt) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    w->ToolClick("Merge");
    ASSERT_TRUE(State().IsMergedView);
    EXPECT_TRUE(w->Tool("Band", "Merge")->isChecked());
    EXPECT_FALSE(w->Tool("Band", "Delete")->isEnabled());
    EXPECT_FALSE(w->Tool("Band", "ViewBillUp")->isEnabled());
    EXPECT_TRUE(w->Tool("mnuEdit", "Delete")->isEnabled());
    EXPECT_FALSE(w->Tool("mnuEdit", "Close")->isEnabled());
    EXPECT_FALSE(w->Tool("mnuView", "ViewBillDown")->isEnabled());
    EXPECT_TRUE(w->Tool("Band", "PushBill")->isEnabled());
    EXPECT_LT(w->vsProc().MaxRows(), 6);

    w->ToolClick("Merge"); // pressing again unfolds without asking
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_EQ(w->vsProc().MaxRows(), 6);
    EXPECT_TRUE(w->Tool("Band", "Delete")->isEnabled());

    w->ToolClick("Merge");
    w->ToolClick("iRefresh");
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_TRUE(w->Tool("mnuEdit", "UnClose")->isEnabled());
    EXPECT_EQ(w->vsProc().MaxRows(), 6);
}

TEST_F(Window, AFailingRefreshShowsTheErrorAndKeepsTheRows) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    Plan().RptFails = true;
    w->ToolClick("iRefresh");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "数据库连接已断开");
    EXPECT_EQ(w->vsProc().MaxRows(), 6);
}

TEST_F(Window, ClosingWithEditsAsksAndCancelKeepsTheWindow) {
    frmPurchasePlan* w = ShowList();
    ASSERT_NE(w, nullptr);
    QPointer<frmPurchasePlan> alive(w);
    w->DataChanged = true;
    prompts->QueueAnswer(ui::Cancel);
    w->close();
    QApplication::processEvents();
    ASSERT_TRUE(alive);
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "Marvane提示");
    EXPECT_EQ(prompts->Log[0].Style, ui::YesNoCancel | ui::Question);

    prompts->Clear();
    World().GrantedMask = rights::Query; // Yes without the save right: refusal, then closed
    prompts->QueueAnswer(ui::Yes);
    w->close();
    QApplication::processEvents();
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "对不起，你没有相应的权限！");
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Window, TwoShowsOpenTwoWindows) {
    ShowList();
    ShowList();
    EXPECT_EQ(OpenWindows().size(), 2);
}
