#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/filter/frmFirter.h"
#include "component/host/Access.h"
#include "component/list/frmPurchasePlan.h"
#include "support/ListWindows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
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
    // Shows the list, pressing OK in the filter dialog and accepting any other dialog.
    frmPurchasePlan* Open() {
        ui::SetModalHandler([](QDialog& d) {
            d.show();
            if (auto* button = d.findChild<QPushButton*>("cmdOK"))
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
    controls::SpreadGrid& g() { return w->vsProc(); }
};

// A closed list window is deleted (or at least hidden) and must not be touched again.
bool Gone(const QPointer<frmPurchasePlan>& window) {
    return !window || !window->isVisible();
}

} // namespace

TEST_F(Window, MergedViewToolStatesAndReloadEndsIt) {
    QAction* merge = w->Tool("Band", "Merge");
    auto* button = qobject_cast<QToolButton*>(w->findChild<QToolBar*>("Band")->widgetForAction(merge));
    auto state = [&] {
        QString s = QString::number(g().MaxRows()) + (State().IsMergedView ? "M" : "-") +
                    (merge->isChecked() ? "C" : "-") + (button->isChecked() ? "B " : "- ");
        for (const auto& [bar, key] : {std::pair{"Band", "Delete"},
                                       {"Band", "ViewBillUp"},
                                       {"mnuEdit", "Delete"},
                                       {"mnuEdit", "Close"},
                                       {"mnuView", "ViewBillDown"},
                                       {"Band", "PushBill"},
                                       {"mnuEdit", "UnClose"}})
            s += w->Tool(bar, key)->isEnabled() ? '+' : '-';
        return s;
    };
    w->ToolClick("Merge");
    EXPECT_EQ(state(), "1MCB --+--+-");
    w->ToolClick("Merge"); // pressing again unfolds without asking
    EXPECT_EQ(state(), "3--- +++++++");

    // However the tool is worked (here a screen reader's toggle), its state and the list agree.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    for (const char* expected : {"1MCB --+--+-", "3--- +++++++"}) {
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_EQ(state(), expected);
    }
    w->ToolClick("Merge");
    w->ToolClick("iRefresh");
    EXPECT_EQ(state(), "3--- +++++++");

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
    EXPECT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(state(), "4--- +++++++");

    // A failed first load leaves the new window open with the reason; a refresh fills it later.
    Plans().RptFails = true;
    Forget();
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Shown(), QStringList{"数据库连接已断开"});
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

    for (const bool mayEdit : {true, false}) { // Yes without the save right: refusal, then closed
        Open();
        Forget();
        World().GrantedMask = mayEdit ? 0x7fffffff : rights::Query;
        EXPECT_TRUE(closeWithEdits(ui::Yes));
        EXPECT_EQ(Shown().value(1), mayEdit ? "保存成功！" : "对不起，你没有相应的权限！");
        EXPECT_EQ(Plans().Calls.size(), mayEdit ? 1 : 0);
    }
}

// Saves that work are driven over the real store by the app's tests; here, the ones that fail.
TEST_F(Window, OnlyASaveThatWorkedClearsTheChangeFlagAndAnUnknownOutcomeReadsTheListAgain) {
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
