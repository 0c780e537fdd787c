#include "FilterFakes.h"

#include "component/host/ComponentState.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace zpp;
using namespace zpp::test;

namespace {

void Show(frmFirter& dialog) {
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

QLineEdit* Field(frmFirter& dialog, const char* name) {
    return Child<QLineEdit>(dialog, name);
}

} // namespace

using FilterDialog = FilterFixture;

TEST_F(FilterDialog, CancelLeavesOnlyOkFalseAndEscCancelsFromAnyField) {
    EXPECT_FALSE(RunDialog(false, [](frmFirter& d) {
        Show(d);
        Field(d, "txtBItemNumber")->setText("A1");
        Child<QPushButton>(d, "cmdCancel")->click();
    }));
    ASSERT_TRUE(State().FilterConditions);
    EXPECT_EQ(State().FilterConditions->Keys(), QStringList{"OK"});
    EXPECT_EQ(State().FilterConditions->Get("OK"), QVariant(false));

    EXPECT_FALSE(RunDialog(true, [](frmFirter& d) {
        Show(d);
        QTest::keyClick(Child<QDateEdit>(d, "dtpEDate"), Qt::Key_Escape);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_EQ(State().FilterConditions->Count(), 1);
}

TEST_F(FilterDialog, ConfirmWritesEveryKeyTrimmedWithIsoDates) {
    EXPECT_TRUE(RunDialog(false, [](frmFirter& d) {
        Show(d);
        Child<QDateEdit>(d, "dtpBDate")->setDate(QDate(2024, 3, 5));
        Child<QDateEdit>(d, "dtpEDate")->setDate(QDate(2024, 11, 20));
        Field(d, "txtBItemNumber")->setText("  a.01 ");
        Field(d, "txtEBillNo")->setText(" PR-9");
        Child<QCheckBox>(d, "chkClosed")->setChecked(false);
        Child<QPushButton>(d, "cmdOK")->click();
    }));
    const RecordPtr c = State().FilterConditions;
    EXPECT_EQ(c->Keys(), (QStringList{"OK", "BDate", "EDate", "Closed", "BItemClass", "BItemNumber",
                                      "EItemNumber", "BBillNo", "EBillNo"}));
    EXPECT_EQ(c->Get("OK"), QVariant(true));
    EXPECT_EQ(c->Text("BDate"), "2024-03-05");
    EXPECT_EQ(c->Text("EDate"), "2024-11-20");
    EXPECT_EQ(c->Get("Closed").typeId(), QMetaType::Short);
    EXPECT_EQ(c->Get("Closed").toInt(), 0);
    EXPECT_EQ(c->Text("BItemNumber"), "a.01");
    EXPECT_EQ(c->Text("EBillNo"), "PR-9");
    EXPECT_EQ(c->Get("EItemNumber"), QVariant(QString("")));
    EXPECT_EQ(c->Get("BItemClass"), QVariant(QString("")));
    EXPECT_EQ(World().FontsApplied, 1);
}

TEST_F(FilterDialog, StartAfterEndIsRefusedWithBothDatesKept) {
    EXPECT_TRUE(RunDialog(false, [this](frmFirter& d) {
        Show(d);
        auto* start = Child<QDateEdit>(d, "dtpBDate");
        Child<QDateEdit>(d, "dtpEDate")->setDate(QDate(2024, 1, 31));
        start->setDate(QDate(2024, 2, 1));
        Child<QPushButton>(d, "cmdOK")->click();
        ASSERT_EQ(prompts->Log.size(), 1);
        EXPECT_EQ(prompts->Log[0].Text, "起始日期不能大于截止日期!");
        EXPECT_EQ(prompts->Log[0].Title, "信息提示");
        EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
        EXPECT_EQ(start->date(), QDate(2024, 2, 1)) << "a date the user did not touch is never changed";
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(State().FilterConditions->Count(), 1);
        EXPECT_EQ(State().FilterConditions->Get("OK"), QVariant(false));
        start->setDate(QDate(2024, 1, 31));
        Child<QPushButton>(d, "cmdOK")->click();
    }));
    EXPECT_EQ(State().FilterConditions->Text("BDate"), "2024-01-31");
    EXPECT_EQ(State().FilterConditions->Text("EDate"), "2024-01-31");
}

TEST_F(FilterDialog, ApostrophesAndEnterNeverReachAField) {
    RunDialog(false, [](frmFirter& d) {
        Show(d);
        for (const char* name : {"txtBItemNumber", "txtEItemNumber", "txtBBillNo", "txtEBillNo"}) {
            QLineEdit* field = Field(d, name);
            QTest::keyClicks(field, "a'b''c");
            EXPECT_EQ(field->text(), "abc") << name;
        }
        d.reject();
    });

    // Enter in a field confirms through the default button.
    EXPECT_TRUE(RunDialog(false, [](frmFirter& d) {
        Show(d);
        QTest::keyClick(Field(d, "txtBBillNo"), Qt::Key_Return);
    }));
    EXPECT_EQ(State().FilterConditions->Text("BBillNo"), "");

    // A focused button other than OK takes Enter for itself.
    EXPECT_FALSE(RunDialog(false, [](frmFirter& d) {
        Show(d);
        QTest::keyClick(Child<QPushButton>(d, "cmdCancel"), Qt::Key_Enter);
    }));
}

TEST_F(FilterDialog, DebugSwitchConfirmsOnActivation) {
    SetDebugSwitch("1");
    EXPECT_TRUE(RunDialog(true, [](frmFirter& d) {
        d.show();
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, 3000));
    }));
    EXPECT_EQ(State().FilterConditions->Count(), 9);

    // Only 1 is the switch: with any other number the dialog waits for the user.
    SetDebugSwitch("2");
    EXPECT_FALSE(RunDialog(true, [](frmFirter& d) {
        d.show();
        d.activateWindow();
        QTest::qWait(200);
        EXPECT_TRUE(d.isVisible());
        d.reject();
    }));
}

TEST_F(FilterDialog, NextChooseSchemeConfirmsOnlyOnFirstDisplay) {
    StoreScheme("常用", 1,
                {{"BDate", "2023-02-01"}, {"EDate", "2023-02-28"}, {"BItem", "X"}, {"chkNextChoose", "1"}});
    EXPECT_TRUE(RunDialog(false, [](frmFirter& d) {
        d.show();
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, 3000));
    }));
    EXPECT_EQ(State().FilterConditions->Text("BDate"), "2023-02-01");
    EXPECT_EQ(State().FilterConditions->Text("BItemNumber"), "X");

    // Opened from the list window the same scheme waits for the user.
    EXPECT_FALSE(RunDialog(true, [](frmFirter& d) {
        d.show();
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        QTest::qWait(50);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.CurrentSchemeName(), "常用");
        d.reject();
    }));
}
