#include "ListFakes.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/list/frmPurchasePlan.h"
#include "support/ListWindows.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
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

    // A refused merge (closed rows listed) leaves the tool up.
    Plans().Rows->Add(MakeRow(1012, 1, "1.01.003", 5, "Y"));
    w->ToolClick("iRefresh");
    prompts->Clear();
    button->click();
    EXPECT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(state(), "4--- +++++++");
}

// Closing with a save that works is driven over the real store by the app's tests; here, the
// answers that keep the window or drop the edits, and saves that fail.
TEST_F(Window, ClosingWithEditsAsksAndOnlyASaveThatWorkedClearsTheChangeFlag) {
    auto closeWithEdits = [&](int answer) {
        QPointer<frmPurchasePlan> alive(w);
        w->DataChanged = true;
        prompts->QueueAnswer(answer);
        w->close();
        QApplication::processEvents();
        return !alive || !alive->isVisible(); // deleted, or at least hidden
    };
    EXPECT_FALSE(closeWithEdits(ui::Cancel));
    EXPECT_EQ(prompts->Log.value(0).Style, ui::YesNoCancel | ui::Question);

    Plans().OnUpdate = [](const QString&, RecordListPtr&) -> RecordListPtr { throw Error("数据库已锁定"); };
    g().SetText(col::PushQty, 3, "5");
    prompts->Clear();
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

    EXPECT_TRUE(closeWithEdits(ui::No));
    EXPECT_EQ(Plans().Calls.size(), 1) << "No drops the edits without a save";
}
