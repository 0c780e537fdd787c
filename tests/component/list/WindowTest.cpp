#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/filter/frmFirter.h"
#include "component/host/Access.h"
#include "component/list/frmPurchasePlan.h"
#include "platform/records/Values.h"
#include "support/ListWindows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

using namespace zpp;
using namespace zpp::test;

namespace {

// A commit whose answer was lost.
struct InDoubt : Error {
    using Error::Error;
    bool OutcomeUnknown() const noexcept override { return true; }
};

// The list window over faked services: 101_1 and 101_2 of plan PL101, 1011_1 of PL1011.
class Window : public ListFixture {
protected:
    frmPurchasePlan* w = nullptr;
    void SetUp() override {
        ListFixture::SetUp();
        Plans().Rows->Add(MakeRow(101, 1, "1.01.001", 30));
        Plans().Rows->Add(MakeRow(101, 2, "1.01.001", 50));
        Plans().Rows->Add(MakeRow(1011, 1, "1.01.002", 20));
        ASSERT_NE(Open(), nullptr);
        Forget();
    }
    void TearDown() override {
        for (frmPurchasePlan* f : OpenListWindows()) {
            f->DataChanged = false;
            f->close();
        }
        QApplication::processEvents();
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
        Plans().Calls.clear();
    }
    QStringList Shown() const {
        QStringList texts;
        for (const auto& p : prompts->Log)
            texts << p.Text;
        return texts;
    }
    controls::SpreadGrid& g() { return w->vsProc(); }
};

// A closed list window is deleted (or at least hidden) and must not be touched again.
bool Gone(const QPointer<frmPurchasePlan>& window) {
    return !window || !window->isVisible();
}

} // namespace

TEST_F(Window, FilterModeOpensTheListWithDateCaptionsAndEachShowOpensAnother) {
    EXPECT_EQ(g().MaxRows(), 3);
    const QString today = values::FormatDate(QDate::currentDate(), "yyyy/mm/dd");
    EXPECT_EQ(w->lblCpt(0)->text() + " " + w->lblCpt(1)->text(), "起始日期:" + today + " 截止日期:" + today);
    Open();
    EXPECT_EQ(World().Log.size(), 1);
    EXPECT_EQ(World().Log[0].Code, "CGPlan001");
    EXPECT_EQ(OpenListWindows().size(), 2);
    // A cancelled filter opens no window, but the query is logged.
    Open(false);
    EXPECT_EQ(OpenListWindows().size(), 2);
    EXPECT_EQ(World().Log.size(), 2);
    EXPECT_FALSE(State().FilterConditions->Get("OK").toBool());
}

TEST_F(Window, MergedViewToolStatesAndReloadEndsIt) {
    w->ToolClick("Merge");
    ASSERT_TRUE(State().IsMergedView);
    auto enabled = [&] {
        QString states;
        for (const auto& [bar, key] : {std::pair{"Band", "Delete"},
                                       {"Band", "ViewBillUp"},
                                       {"mnuEdit", "Delete"},
                                       {"mnuEdit", "Close"},
                                       {"mnuView", "ViewBillDown"},
                                       {"Band", "PushBill"}})
            states += w->Tool(bar, key)->isEnabled() ? '+' : '-';
        return states;
    };
    EXPECT_TRUE(w->Tool("Band", "Merge")->isChecked());
    EXPECT_EQ(enabled(), "--+--+");
    EXPECT_LT(g().MaxRows(), 3);
    w->ToolClick("Merge"); // pressing again unfolds without asking
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_EQ(g().MaxRows(), 3);
    EXPECT_EQ(enabled(), "++++++");

    // However the tool is worked (here a screen reader's toggle), its state and the list agree.
    QAction* merge = w->Tool("Band", "Merge");
    auto* button = qobject_cast<QToolButton*>(w->findChild<QToolBar*>("Band")->widgetForAction(merge));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    for (const bool on : {true, false}) {
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_EQ(State().IsMergedView, on);
        EXPECT_EQ(merge->isChecked(), on);
    }
    w->ToolClick("Merge");
    w->ToolClick("iRefresh");
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_TRUE(w->Tool("mnuEdit", "UnClose")->isEnabled());
    EXPECT_EQ(g().MaxRows(), 3);

    Plans().RptFails = true; // a failing reload shows the error and keeps the rows
    w->ToolClick("iRefresh");
    EXPECT_EQ(Shown(), QStringList{"数据库连接已断开"});
    EXPECT_EQ(g().MaxRows(), 3);

    // A refused merge (closed rows listed) leaves the tool up.
    Plans().RptFails = false;
    Plans().Rows->Add(MakeRow(1012, 1, "1.01.003", 5, "Y"));
    w->ToolClick("iRefresh");
    prompts->Clear();
    button->click();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_FALSE(merge->isChecked());
    EXPECT_FALSE(button->isChecked());
}

TEST_F(Window, AFailedFirstLoadLeavesTheWindowOpenWithTheReason) {
    Plans().RptFails = true;
    frmPurchasePlan* failed = Open();
    ASSERT_NE(failed, nullptr);
    EXPECT_TRUE(failed->isVisible());
    EXPECT_EQ(Shown(), QStringList{"数据库连接已断开"});
    Plans().RptFails = false; // once the store answers again, a refresh fills it
    failed->ToolClick("iRefresh");
    EXPECT_EQ(failed->vsProc().MaxRows(), 3);
}

TEST_F(Window, ClosingWithEditsAsksCancelKeepsNoDropsYesSaves) {
    auto closeWithEdits = [&](int answer) {
        QPointer<frmPurchasePlan> alive(w);
        w->DataChanged = true;
        prompts->QueueAnswer(answer);
        w->close();
        QApplication::processEvents();
        return Gone(alive);
    };
    EXPECT_FALSE(closeWithEdits(ui::Cancel));
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "Marvane提示");
    EXPECT_EQ(prompts->Log[0].Style, ui::YesNoCancel | ui::Question);
    EXPECT_TRUE(closeWithEdits(ui::No));
    EXPECT_TRUE(Plans().Calls.isEmpty());

    Open();
    Forget();
    EXPECT_TRUE(closeWithEdits(ui::Yes));
    EXPECT_EQ(Plans().Calls.size(), 1);
    EXPECT_EQ(Shown().value(1), "保存成功！");

    Open();
    Forget();
    World().GrantedMask = rights::Query; // Yes without the save right: refusal, then closed
    EXPECT_TRUE(closeWithEdits(ui::Yes));
    EXPECT_EQ(Shown().value(1), "对不起，你没有相应的权限！");
    EXPECT_TRUE(Plans().Calls.isEmpty());
}

TEST_F(Window, SaveSendsTheChangedEntriesAndOnlySuccessClearsTheChangeFlagAndMarks) {
    g().SetText(col::CheckBox, 1, "1"); // a tick is no change
    g().SetText(col::PushQty, 2, "45");
    EXPECT_EQ(g().ChangedRowCount(), 1);
    w->DataChanged = true;
    w->ToolClick("Save");
    ASSERT_EQ(Plans().Calls.size(), 1);
    const RecordListPtr sent = Plans().Calls[0].List;
    ASSERT_EQ(sent->Count(), 1);
    EXPECT_DOUBLE_EQ(values::Val(sent->Item(1)->Get("FPushQty")), 45);
    EXPECT_FALSE(w->DataChanged);
    EXPECT_EQ(g().ChangedRowCount(), 0);
    EXPECT_EQ(Shown(), QStringList{"保存成功！"});
    EXPECT_TRUE(World().Log.isEmpty()) << "the service logs the change it made";

    Forget();
    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("数据库已锁定"); };
    g().SetText(col::PushQty, 3, "5");
    w->DataChanged = true;
    w->ToolClick("Save");
    EXPECT_TRUE(w->DataChanged);
    EXPECT_TRUE(g().RowChanged(3)) << "a failed save keeps the row for the next one";
    EXPECT_EQ(Shown(), QStringList{"保存失败！\n\n数据库已锁定"}); // never a success

    // A save whose commit may have been made is never called failed: the list is read anew.
    Forget();
    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr {
        throw InDoubt("无法确定本次操作是否已完成");
    };
    const int reads = Plans().RptCalls;
    w->ToolClick("Save");
    EXPECT_EQ(Shown(), QStringList{"无法确定本次操作是否已完成"});
    EXPECT_EQ(Plans().RptCalls, reads + 1);
    EXPECT_FALSE(w->DataChanged);

    // Pushing unsaved edits needs the save right.
    World().GrantedMask = rights::Query | rights::Push;
    w->DataChanged = true;
    prompts->Clear();
    w->ToolClick("PushBill");
    EXPECT_EQ(Shown(), QStringList{"对不起，你没有修改的权限！"});
    EXPECT_TRUE(w->DataChanged);
}

// Screen readers and UI automation find every control of the list and the filter by name.
TEST_F(Window, EveryControlHasAnAccessibleName) {
    auto unnamed = [](QWidget* root) {
        QStringList missing;
        for (QWidget* c : root->findChildren<QWidget*>()) {
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
