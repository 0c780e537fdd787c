#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/filter/frmFirter.h"
#include "component/host/Access.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"
#include "support/ListWindows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

using namespace zpp;
using namespace zpp::test;

// The list window over faked services: 101_1 and 101_2 of plan PL101, 1011_1 of PL1011.
class Window : public ListFixture {
protected:
    QTemporaryDir config;
    frmPurchasePlan* w = nullptr;
    void SetUp() override {
        ListFixture::SetUp();
        ini::SetConfigDir(config.path());
        Plan().Rows->Add(MakeRow(101, 1, "1.01.001", 30));
        Plan().Rows->Add(MakeRow(101, 2, "1.01.001", 50));
        Plan().Rows->Add(MakeRow(1011, 1, "1.01.002", 20));
        ASSERT_NE(Open(), nullptr);
        Forget();
    }
    void TearDown() override {
        for (frmPurchasePlan* f : OpenListWindows()) {
            f->DataChanged = false;
            f->close();
        }
        QApplication::processEvents();
        ini::SetConfigDir({});
        ListFixture::TearDown();
    }
    // Shows the list, pressing OK (or Cancel) in the filter dialog and accepting any other dialog.
    frmPurchasePlan* Open(bool confirm = true) {
        ui::SetModalHandler([confirm](QDialog& d) {
            d.show();
            if (auto* button = d.findChild<QPushButton*>(confirm ? "cmdOK" : "cmdCancel"))
                button->click();
            else
                d.accept();
            return d.result();
        });
        ClsPurchasePlanMain().Show();
        const auto windows = OpenListWindows();
        w = windows.isEmpty() ? nullptr : windows.last();
        return w;
    }
    void Forget() {
        World().Log.clear();
        prompts->Clear();
    }
    void CloseWithEdits(int answer) {
        w->DataChanged = true;
        prompts->QueueAnswer(answer);
        w->close();
        QApplication::processEvents();
    }
    controls::SpreadGrid& g() { return w->vsProc(); }
    QStringList LogCodes() {
        QStringList codes;
        for (const LogLine& l : World().Log)
            codes << l.Code;
        return codes;
    }
};

TEST_F(Window, FilterModeOpensTheListWithDateCaptionsAndEachShowOpensAnother) {
    EXPECT_EQ(g().MaxRows(), 3);
    const QString today = values::FormatDate(QDate::currentDate(), "yyyy/mm/dd");
    EXPECT_EQ(w->lblCpt(0)->text(), "起始日期:" + today);
    EXPECT_EQ(w->lblCpt(1)->text(), "截止日期:" + today);
    EXPECT_TRUE(State().FilterConditions->Get("OK").toBool());
    Open();
    EXPECT_EQ(LogCodes(), QStringList{"CGPlan001"});
    EXPECT_EQ(OpenListWindows().size(), 2);
}

TEST_F(Window, CancelledFilterOpensNoWindowButTheQueryIsLogged) {
    Open(false);
    EXPECT_EQ(OpenListWindows().size(), 1);
    EXPECT_EQ(World().Log.size(), 1);
    EXPECT_FALSE(State().FilterConditions->Get("OK").toBool());
}

TEST_F(Window, RefusedCommandsDoNothingAndLogNothing) {
    World().GrantedMask = rights::Query;
    w->DataChanged = true;
    const int calls = Plan().RptCalls;
    for (const char* key :
         {"Save", "Delete", "Close", "UnClose", "Export", "iExport", "Print", "iPrintPreView"}) {
        prompts->Clear();
        w->ToolClick(key);
        ASSERT_EQ(prompts->Log.size(), 1) << key;
        EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    }
    EXPECT_EQ(Plan().RptCalls, calls);
    EXPECT_TRUE(Plan().Updates.isEmpty());
    EXPECT_TRUE(World().Log.isEmpty());
    EXPECT_TRUE(w->DataChanged);

    // Pushing unsaved edits needs the save right.
    World().GrantedMask = rights::Query | rights::Push;
    prompts->Clear();
    w->ToolClick("PushBill");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有修改的权限！");
    EXPECT_TRUE(w->DataChanged);
}

TEST_F(Window, MergedViewToolStatesAndReloadEndsIt) {
    w->ToolClick("Merge");
    ASSERT_TRUE(State().IsMergedView);
    EXPECT_TRUE(w->Tool("Band", "Merge")->isChecked());
    EXPECT_FALSE(w->Tool("Band", "Delete")->isEnabled());
    EXPECT_FALSE(w->Tool("Band", "ViewBillUp")->isEnabled());
    EXPECT_TRUE(w->Tool("mnuEdit", "Delete")->isEnabled());
    EXPECT_FALSE(w->Tool("mnuEdit", "Close")->isEnabled());
    EXPECT_FALSE(w->Tool("mnuView", "ViewBillDown")->isEnabled());
    EXPECT_TRUE(w->Tool("Band", "PushBill")->isEnabled());
    EXPECT_LT(g().MaxRows(), 3);

    w->ToolClick("Merge"); // pressing again unfolds without asking
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_EQ(g().MaxRows(), 3);
    EXPECT_TRUE(w->Tool("Band", "Delete")->isEnabled());

    // However the tool is worked (here a screen reader's toggle), its state and the list agree.
    QAction* merge = w->Tool("Band", "Merge");
    QWidget* button = w->findChild<QToolBar*>("Band")->widgetForAction(merge);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(State().IsMergedView);
    EXPECT_TRUE(merge->isChecked());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_FALSE(merge->isChecked());

    w->ToolClick("Merge");
    w->ToolClick("iRefresh");
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_TRUE(w->Tool("mnuEdit", "UnClose")->isEnabled());
    EXPECT_EQ(g().MaxRows(), 3);

    Plan().RptFails = true; // a failing reload shows the error and keeps the rows
    prompts->Clear();
    w->ToolClick("iRefresh");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "数据库连接已断开");
    EXPECT_EQ(g().MaxRows(), 3);

    // A refused merge (closed rows listed) leaves the tool up.
    Plan().RptFails = false;
    Plan().Rows->Add(MakeRow(1012, 1, "1.01.003", 5, "Y"));
    w->ToolClick("iRefresh");
    prompts->Clear();
    qobject_cast<QToolButton*>(button)->click();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_FALSE(merge->isChecked());
    EXPECT_FALSE(qobject_cast<QToolButton*>(button)->isChecked());
}

TEST_F(Window, AFailedFirstLoadLeavesTheWindowOpenWithTheReason) {
    Plan().RptFails = true;
    prompts->Clear();
    frmPurchasePlan* failed = Open();
    ASSERT_NE(failed, nullptr);
    EXPECT_TRUE(failed->isVisible());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "数据库连接已断开");

    // Once the store answers again, a refresh fills it.
    Plan().RptFails = false;
    failed->ToolClick("iRefresh");
    EXPECT_EQ(failed->vsProc().MaxRows(), 3);
}

// A closed list window is deleted (or at least hidden) and must not be touched again.
bool Gone(const QPointer<frmPurchasePlan>& window) {
    return !window || !window->isVisible();
}

TEST_F(Window, ClosingWithEditsAsksCancelKeepsNoDropsYesSaves) {
    QPointer<frmPurchasePlan> alive(w);
    CloseWithEdits(ui::Cancel);
    ASSERT_TRUE(alive);
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "Marvane提示");
    EXPECT_EQ(prompts->Log[0].Style, ui::YesNoCancel | ui::Question);
    CloseWithEdits(ui::No);
    EXPECT_TRUE(Gone(alive));
    EXPECT_TRUE(Plan().Updates.isEmpty());

    Open();
    Forget();
    alive = w;
    CloseWithEdits(ui::Yes);
    EXPECT_TRUE(Gone(alive));
    ASSERT_EQ(Plan().Updates.size(), 1);
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "保存成功！");

    Open();
    Forget();
    World().GrantedMask = rights::Query; // Yes without the save right: refusal, then closed
    alive = w;
    CloseWithEdits(ui::Yes);
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[1].Text, "对不起，你没有相应的权限！");
    EXPECT_TRUE(Gone(alive));
    EXPECT_EQ(Plan().Updates.size(), 1);
}

TEST_F(Window, SaveSendsTheChangedEntriesAndOnlySuccessClearsTheChangeFlagAndMarks) {
    g().SetText(col::CheckBox, 1, "1"); // a tick is no change
    g().SetText(col::PushQty, 2, "45");
    EXPECT_EQ(g().ChangedRowCount(), 1);
    w->DataChanged = true;
    w->ToolClick("Save");
    ASSERT_EQ(Plan().Updates.size(), 1);
    const RecordListPtr sent = Plan().Updates[0].second;
    ASSERT_EQ(sent->Count(), 1);
    EXPECT_DOUBLE_EQ(values::Val(sent->Item(1)->Get("FPushQty")), 45);
    EXPECT_FALSE(w->DataChanged);
    EXPECT_EQ(g().ChangedRowCount(), 0);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "保存成功！");
    EXPECT_EQ(LogCodes(), QStringList()) << "the service logs the change it made";

    Forget();
    Plan().UpdateFails = true;
    g().SetText(col::PushQty, 3, "5");
    w->DataChanged = true;
    w->ToolClick("Save");
    EXPECT_TRUE(w->DataChanged);
    EXPECT_TRUE(g().RowChanged(3)) << "a failed save keeps the row for the next one";
    ASSERT_EQ(prompts->Log.size(), 1); // the failure and its reason, never a success
    EXPECT_EQ(prompts->Log[0].Text, "保存失败！\n\n数据库已锁定");

    // A save whose commit may have been made is never called failed: the list is read anew.
    Forget();
    Plan().UpdateFails = false;
    Plan().UpdateInDoubt = true;
    const int reads = Plan().RptCalls;
    w->ToolClick("Save");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "无法确定本次操作是否已完成");
    EXPECT_EQ(Plan().RptCalls, reads + 1);
    EXPECT_FALSE(w->DataChanged);
}

TEST_F(Window, UnCloseSendsTheTickedEntriesAndReloads) {
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
    EXPECT_EQ(LogCodes(), QStringList()) << "the service logs the change it made";
}

TEST_F(Window, DeleteAsksWithEveryPlanNumberThenReloadsOrChangesNothing) {
    for (int r = 1; r <= 3; ++r)
        g().SetText(col::CheckBox, r, "1");
    int calls = Plan().RptCalls;
    prompts->QueueAnswer(ui::No);
    w->ToolClick("Delete");
    EXPECT_TRUE(Plan().Updates.isEmpty());
    EXPECT_EQ(Plan().RptCalls, calls);
    EXPECT_EQ(g().Text(col::CheckBox, 1), "1");

    Forget();
    prompts->QueueAnswer(ui::Yes);
    w->ToolClick("Delete");
    ASSERT_GE(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("PL101"));
    ASSERT_EQ(Plan().Updates.size(), 1);
    EXPECT_EQ(Plan().Updates[0].second->Count(), 2); // one request per plan
    EXPECT_EQ(Plan().RptCalls, calls + 1);
    EXPECT_EQ(LogCodes(), QStringList()) << "the service logs each plan with its delete";
}

// Screen readers and UI automation find every control of the list and the filter by name.
TEST_F(Window, EveryControlHasAnAccessibleName) {
    auto unnamed = [](QWidget* root) {
        QStringList missing;
        const auto widgets = root->findChildren<QWidget*>();
        for (QWidget* c : widgets) {
            const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                                 qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QAbstractItemView*>(c);
            // Parts of a composite control (a spin box's line edit, a view's editor) speak through it.
            if (!control || !c->isVisibleTo(root) || c->parentWidget()->inherits("QAbstractItemView") ||
                c->parentWidget()->inherits("QAbstractSpinBox"))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                missing << QString("%1 %2").arg(c->metaObject()->className(), c->objectName());
        }
        return missing;
    };
    EXPECT_EQ(unnamed(w), QStringList());
    frmFirter filter;
    filter.show();
    EXPECT_EQ(unnamed(&filter), QStringList());
}

TEST_F(Window, CtrlFFindsTheNextCellAndSaysWhenNothingMatches) {
    w->ToolClick("iFind");
    auto* text = w->findChild<QLineEdit*>("txtFind");
    ASSERT_TRUE(text);
    EXPECT_TRUE(w->findChild<QToolBar*>("barFind")->isVisible());
    EXPECT_EQ(w->Tool("mnuView", "iFind")->shortcut(), QKeySequence(QKeySequence::Find));
    g().SetActiveCell(1, 1);
    text->setText("1.01.002");
    w->findChild<QPushButton*>("cmdFindNext")->click();
    EXPECT_EQ(g().ActiveRow(), 3);
    EXPECT_EQ(g().ActiveCol(), col::ItemNumber);

    text->setText("不存在");
    EXPECT_FALSE(w->FindNext(true));
    EXPECT_EQ(w->findChild<QLabel*>("lblFindResult")->text(), "未找到“不存在”");
    EXPECT_EQ(g().ActiveRow(), 3) << "the active cell stays";
    for (QWidget* child : w->findChild<QToolBar*>("barFind")->findChildren<QWidget*>())
        if (child->isVisible() && child->focusPolicy() != Qt::NoFocus)
            EXPECT_FALSE(child->accessibleName().isEmpty()) << child->objectName().toStdString();
}
