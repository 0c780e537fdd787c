#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/host/Access.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;

// The list window's commands that change plans, with the update service faked.
class WindowOps : public ListFixture {
protected:
    QTemporaryDir config;
    frmPurchasePlan* w = nullptr;
    void SetUp() override {
        ListFixture::SetUp();
        ini::SetConfigDir(config.path());
        Plan().Rows->Add(MakeRow(101, 1, "1.01.001", 30));
        Plan().Rows->Add(MakeRow(101, 2, "1.01.001", 50));
        Plan().Rows->Add(MakeRow(1011, 1, "1.01.002", 20));
        ui::SetModalHandler([](QDialog& d) {
            d.show();
            if (auto* ok = d.findChild<QPushButton*>("cmdOK"))
                ok->click();
            else
                d.accept();
            return d.result();
        });
        ClsPurchasePlanMain().Show();
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<frmPurchasePlan*>(top); f && f->isVisible())
                w = f;
        ASSERT_NE(w, nullptr);
        World().Log.clear();
        prompts->Clear();
    }
    void TearDown() override {
        if (w && w->isVisible()) {
            w->DataChanged = false;
            w->close();
        }
        QApplication::processEvents();
        ini::SetConfigDir({});
        ListFixture::TearDown();
    }
    controls::SpreadGrid& g() { return w->vsProc(); }
    QStringList LogCodes() {
        QStringList codes;
        for (const LogLine& l : World().Log)
            codes << l.Code;
        return codes;
    }
};

TEST_F(WindowOps, SaveSendsEveryEntryAndClearsTheChangeFlag) {
    g().SetText(col::PushQty, 2, "45");
    w->DataChanged = true;
    w->ToolClick("Save");
    ASSERT_EQ(Plan().Updates.size(), 1);
    const RecordListPtr sent = Plan().Updates[0].second;
    ASSERT_EQ(sent->Count(), 3);
    EXPECT_DOUBLE_EQ(values::Val(sent->Item(2)->Get("FPushQty")), 45);
    EXPECT_FALSE(w->DataChanged);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "保存成功！");
    EXPECT_EQ(LogCodes(), QStringList({"CGPlan005"}));
}

TEST_F(WindowOps, SaveWithoutTheRightSendsNothing) {
    World().GrantedMask = 0x7fffffff & ~rights::Save;
    w->DataChanged = true;
    w->ToolClick("Save");
    EXPECT_TRUE(Plan().Updates.isEmpty());
    EXPECT_TRUE(w->DataChanged);
    EXPECT_TRUE(LogCodes().isEmpty());
}

TEST_F(WindowOps, AFailedSaveKeepsTheEditsPending) {
    Plan().UpdateFails = true;
    w->DataChanged = true;
    w->ToolClick("Save");
    EXPECT_TRUE(w->DataChanged);
    for (const auto& shown : prompts->Log)
        EXPECT_NE(shown.Text, "保存成功！");
}

TEST_F(WindowOps, ClosingPromptYesSavesNoDoesNot) {
    w->DataChanged = true;
    prompts->QueueAnswer(ui::No);
    w->close();
    QApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(Plan().Updates.isEmpty());
    w = nullptr;

    ClsPurchasePlanMain().Show();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPurchasePlan*>(top); f && f->isVisible())
            w = f;
    ASSERT_NE(w, nullptr);
    prompts->Clear();
    w->DataChanged = true;
    prompts->QueueAnswer(ui::Yes);
    w->close();
    QApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(Plan().Updates.size(), 1);
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "保存成功！");
}

TEST_F(WindowOps, CloseWithNothingTickedIsLoggedFirstAndReloads) {
    const int calls = Plan().RptCalls;
    w->ToolClick("Close");
    EXPECT_EQ(LogCodes(), QStringList({"CGPlan006"}));
    ASSERT_GE(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "请先选择需要关闭的数据！");
    EXPECT_TRUE(Plan().Updates.isEmpty());
    EXPECT_EQ(Plan().RptCalls, calls + 1);
}

TEST_F(WindowOps, CloseSendsTheTickedEntriesAndEndsTheMergedView) {
    w->ToolClick("Merge");
    ASSERT_TRUE(State().IsMergedView);
    w->ToolClick("Merge"); // back to entries: closing is not offered while merged
    g().SetText(col::CheckBox, 2, "1");
    g().SetText(col::CheckBox, 3, "1");
    w->ToolClick("UnClose");
    ASSERT_EQ(Plan().Updates.size(), 1);
    EXPECT_EQ(Plan().Updates[0].first, "UnClose");
    const RecordListPtr sent = Plan().Updates[0].second;
    ASSERT_EQ(sent->Count(), 2);
    EXPECT_EQ(sent->Item(1)->Text("FInterID"), "101");
    EXPECT_EQ(sent->Item(1)->Text("FEntryID"), "2");
    EXPECT_EQ(sent->Item(2)->Get("Row").toInt(), 3);
    EXPECT_EQ(g().Text(col::CheckBox, 2), "0"); // reloaded and cleared
    EXPECT_EQ(LogCodes().first(), "CGPlan007");
}

TEST_F(WindowOps, DeleteAsksWithEveryPlanNumberThenReloads) {
    g().SetText(col::CheckBox, 1, "1");
    g().SetText(col::CheckBox, 2, "1");
    g().SetText(col::CheckBox, 3, "1");
    prompts->QueueAnswer(ui::Yes);
    const int calls = Plan().RptCalls;
    w->ToolClick("Delete");
    ASSERT_GE(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("PL101"));
    ASSERT_EQ(Plan().Updates.size(), 1);
    EXPECT_EQ(Plan().Updates[0].second->Count(), 2); // one request per plan
    EXPECT_EQ(Plan().RptCalls, calls + 1);
    EXPECT_EQ(LogCodes(), QStringList({"CGPlan002", "CGPlan002"}));
}

TEST_F(WindowOps, DeclinedDeleteChangesNothing) {
    g().SetText(col::CheckBox, 1, "1");
    prompts->QueueAnswer(ui::No);
    const int calls = Plan().RptCalls;
    w->ToolClick("Delete");
    EXPECT_TRUE(Plan().Updates.isEmpty());
    EXPECT_EQ(Plan().RptCalls, calls);
    EXPECT_EQ(g().Text(col::CheckBox, 1), "1");
}
