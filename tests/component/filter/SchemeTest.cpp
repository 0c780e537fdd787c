#include "FilterFakes.h"

#include "component/filter/SchemeListView.h"
#include "component/host/ComponentState.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

using namespace zpp;
using namespace zpp::test;

namespace {

SchemeListView* Schemes(frmFirter& d) {
    return Child<SchemeListView>(d, "lvwScheme");
}
// The scheme rows, the selected one marked with a star.
QStringList Rows(frmFirter& d) {
    QStringList rows;
    for (int row = 1; row <= Schemes(d)->RowCount(); ++row)
        rows << Schemes(d)->RowText(row) + (Schemes(d)->SelectedRow() == row ? "*" : "");
    return rows;
}
QString Text(frmFirter& d, const char* name) {
    return Child<QLineEdit>(d, name)->text();
}

} // namespace

using FilterSchemes = FilterFixture;

TEST_F(FilterSchemes, OkStoresTheDefaultSchemeButNeverANamedOne) {
    StoreScheme("默认方案", 0, {{"BItem", "A'1"}});
    RunDialog(false, [](frmFirter& d) {
        Child<QDateEdit>(d, "dtpBDate")->setDate(QDate(2024, 5, 1));
        Child<QDateEdit>(d, "dtpEDate")->setDate(QDate(2024, 5, 31));
        Child<QLineEdit>(d, "txtEBillNo")->setText(" o'k ");
        Child<QPushButton>(d, "cmdOK")->click();
    });
    ASSERT_EQ(Filter().Sent.size(), 1);
    QStringList pairs;
    for (const RecordPtr& r : *Filter().Sent[0])
        pairs << r->Text("Plan") + ":" + r->Text("Key") + "=" + r->Text("Value");
    EXPECT_EQ(pairs.replaceInStrings("默认方案:", ""), // the scheme's name on every pair
              (QStringList{"BDate=2024-05-01", "EDate=2024-05-31", "BItem=A''1", "EItem=", "BBillNo=",
                           "EBillNo= o''k ", "chkClosed=1", "chkUnordered=0", "chkNextChoose=0"}));
    EXPECT_EQ(Filter().Calls.mid(Filter().Calls.size() - 2),
              (QStringList{"UpdateNextChooseValue", "SaveProfile"}));

    StoreScheme("甲", 1, {});
    EXPECT_TRUE(RunDialog(true, [](frmFirter& d) { Child<QPushButton>(d, "cmdOK")->click(); }));
    EXPECT_EQ(Filter().Sent.size(), 1);
}

TEST_F(FilterSchemes, LocalisedDefaultNameIsStoredUnderTheBuiltInName) {
    World().PropsString = "UserID=1;Language=en;";
    World().English = {{"默认方案", "Default"}, {"方案", "Scheme"}};
    StoreScheme("默认方案", 0, {{"BBillNo", "P1"}});
    StoreScheme("Default", 0, {});
    RunDialog(false, [](frmFirter& d) {
        EXPECT_EQ(Rows(d), QStringList{"Default*"});
        EXPECT_EQ(Schemes(d)->ColumnTitle(), "Scheme");
        EXPECT_EQ(Text(d, "txtBBillNo"), "P1");
        Child<QPushButton>(d, "cmdOK")->click();
    });
    ASSERT_EQ(Filter().Sent.size(), 1);
    EXPECT_EQ(Filter().Sent[0]->Item(1)->Text("Plan"), "默认方案");
}

TEST_F(FilterSchemes, DeleteRefusesTheDefaultAndReloadsAfterwards) {
    StoreScheme("默认方案", 0, {{"BItem", "D"}});
    StoreScheme("甲", 1, {{"BItem", "J"}});
    RunDialog(true, [this](frmFirter& d) {
        EXPECT_EQ(Text(d, "txtBItemNumber"), "J");
        for (const int answer : {ui::No, ui::Yes, 0}) {
            prompts->QueueAnswer(answer);
            Child<QAction>(d, "tlbDel")->trigger();
        }
        EXPECT_EQ(Shown(),
                  QStringList({"是否要删除方案[甲]？", "是否要删除方案[甲]？", "不能删除默认方案！"}));
        EXPECT_EQ(Filter().Calls.count("DelPlan"), 1);
        EXPECT_EQ(Rows(d), QStringList{"默认方案*"});
        EXPECT_EQ(Text(d, "txtBItemNumber"), "D");
        d.reject();
    });

    // A failing service still opens the dialog with the default scheme, and it works.
    Filter().ProfileFails = true;
    EXPECT_TRUE(RunDialog(false, [](frmFirter& d) {
        EXPECT_EQ(Rows(d), QStringList{"默认方案*"});
        EXPECT_TRUE(Child<QCheckBox>(d, "chkClosed")->isChecked());
        Child<QPushButton>(d, "cmdOK")->click();
    }));
    EXPECT_EQ(State().FilterConditions->Count(), 10);
}
