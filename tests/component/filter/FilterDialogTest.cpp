#include "FilterFakes.h"

#include "component/host/ComponentState.h"
#include "platform/ini/IniFile.h"

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

QString Conditions() {
    QStringList pairs;
    for (const QString& k : State().FilterConditions->Keys())
        pairs << k + "=" + State().FilterConditions->Text(k);
    return pairs.join(' ');
}

} // namespace

using FilterDialog = FilterFixture;

TEST_F(FilterDialog, CancelLeavesOnlyOkFalseAndEscCancelsFromAnyField) {
    EXPECT_FALSE(RunDialog(false, [](frmFirter& d) {
        Show(d);
        Field(d, "txtBItemNumber")->setText("A1");
        Child<QPushButton>(d, "cmdCancel")->click();
    }));
    EXPECT_EQ(Conditions(), "OK=false");

    EXPECT_FALSE(RunDialog(true, [](frmFirter& d) {
        Show(d);
        QTest::keyClick(Child<QDateEdit>(d, "dtpEDate"), Qt::Key_Escape);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_EQ(Conditions(), "OK=false");
}

// A start after the end is refused with both dates as the user left them; then every key is
// written, trimmed, with ISO dates.
TEST_F(FilterDialog, ConfirmRefusesAStartAfterTheEndAndWritesEveryKeyTrimmedWithIsoDates) {
    EXPECT_TRUE(RunDialog(false, [this](frmFirter& d) {
        Show(d);
        auto* start = Child<QDateEdit>(d, "dtpBDate");
        Child<QDateEdit>(d, "dtpEDate")->setDate(QDate(2024, 11, 20));
        start->setDate(QDate(2024, 11, 21));
        Child<QPushButton>(d, "cmdOK")->click();
        EXPECT_EQ(Shown(), QStringList{"起始日期不能大于截止日期!"});
        EXPECT_EQ(prompts->Log.value(0).Style, ui::Information);
        EXPECT_EQ(start->date(), QDate(2024, 11, 21)) << "a date the user did not touch is never changed";
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Conditions(), "OK=false");
        start->setDate(QDate(2024, 3, 5));
        Field(d, "txtBItemNumber")->setText("  a.01 ");
        Field(d, "txtEBillNo")->setText(" PR-9");
        Child<QCheckBox>(d, "chkClosed")->setChecked(false);
        Child<QPushButton>(d, "cmdOK")->click();
    }));
    EXPECT_EQ(Conditions(), "OK=true BDate=2024-03-05 EDate=2024-11-20 Closed=0 Unordered=0 BItemClass= "
                            "BItemNumber=a.01 EItemNumber= BBillNo= EBillNo=PR-9");
    EXPECT_EQ(State().FilterConditions->Get("Closed").typeId(), QMetaType::Short);
    EXPECT_EQ(World().FontsApplied, 1);
}

// The developer switch (exactly 1) confirms on activation; a scheme marked for the next choice
// only on the first display, not when opened from the list window.
TEST_F(FilterDialog, DebugSwitchAndNextChooseSchemeConfirmOnActivation) {
    auto closesItself = [this](bool fromList) {
        return RunDialog(fromList, [](frmFirter& d) {
            d.show();
            d.activateWindow();
            if (!QTest::qWaitFor([&] { return !d.isVisible(); }, 1000))
                d.reject();
        });
    };
    SetDebugSwitch("1.2abc"); // read as a number: 1
    const QString iniName = ini::Service().FileName();
    ini::Service().SetFileName("Plan.ini");
    EXPECT_TRUE(closesItself(true));
    EXPECT_EQ(ini::Service().FileName(), "Plan.ini") << "reading the switch puts the file name back";
    ini::Service().SetFileName(iniName);
    EXPECT_EQ(State().FilterConditions->Count(), 10);
    SetDebugSwitch("2");
    EXPECT_FALSE(closesItself(true));

    StoreScheme("常用", 1,
                {{"BDate", "2023-02-01"}, {"EDate", "2023-02-28"}, {"BItem", "X"}, {"chkNextChoose", "1"}});
    EXPECT_TRUE(closesItself(false));
    EXPECT_EQ(State().FilterConditions->Text("BDate"), "2023-02-01");
    EXPECT_EQ(State().FilterConditions->Text("BItemNumber"), "X");
    EXPECT_FALSE(closesItself(true)) << "opened from the list, the marked scheme only fills the fields";
}
