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
void Tool(frmFirter& d, const char* key) {
    Child<QAction>(d, key)->trigger();
}
QString Text(frmFirter& d, const char* name) {
    return Child<QLineEdit>(d, name)->text();
}
// The key and value pairs of a list sent to SaveProfile, checking the scheme's name.
QStringList SentPairs(const RecordListPtr& sent, const QString& plan) {
    QStringList pairs;
    for (const RecordPtr& r : *sent) {
        EXPECT_EQ(r->Text("Plan"), plan);
        pairs << r->Text("Key") + "=" + r->Text("Value");
    }
    return pairs;
}

} // namespace

using FilterSchemes = FilterFixture;

TEST_F(FilterSchemes, ListKeepsServiceOrderAndPreselectsTheMarkedScheme) {
    StoreScheme("甲", 0, {});
    StoreScheme("默认方案", 0, {{"BItem", "D"}});
    StoreScheme("乙", 1, {{"BItem", "B1"}, {"EBillNo", "PR''7"}, {"chkClosed", "0"}, {"EDate", "bad"}});
    RunDialog(true, [](frmFirter& d) {
        EXPECT_EQ(Rows(d), (QStringList{"默认方案", "甲", "乙*"}));
        EXPECT_EQ(Schemes(d)->RowKey(3), "P乙");
        // Values are used as they come; an unreadable date leaves the picker as it was.
        EXPECT_EQ(Text(d, "txtBItemNumber") + "|" + Text(d, "txtEBillNo"), "B1|PR''7");
        EXPECT_FALSE(Child<QCheckBox>(d, "chkClosed")->isChecked());
        EXPECT_EQ(Child<QDateEdit>(d, "dtpEDate")->date(), QDate::currentDate());
        // Clicking another row loads it.
        Schemes(d)->SelectRow(1);
        Q_EMIT Schemes(d)->RowClicked(1);
        EXPECT_EQ(Text(d, "txtBItemNumber"), "D");
        EXPECT_TRUE(Child<QCheckBox>(d, "chkClosed")->isChecked());
        d.reject();
    });
}

TEST_F(FilterSchemes, OkStoresTheDefaultSchemeButNeverANamedOne) {
    StoreScheme("默认方案", 0, {{"BItem", "A'1"}});
    RunDialog(false, [](frmFirter& d) {
        Child<QDateEdit>(d, "dtpBDate")->setDate(QDate(2024, 5, 1));
        Child<QDateEdit>(d, "dtpEDate")->setDate(QDate(2024, 5, 31));
        Child<QLineEdit>(d, "txtEBillNo")->setText(" o'k ");
        Child<QPushButton>(d, "cmdOK")->click();
    });
    ASSERT_EQ(Filter().Sent.size(), 1);
    EXPECT_EQ(SentPairs(Filter().Sent[0], "默认方案"),
              (QStringList{"BDate=2024-05-01", "EDate=2024-05-31", "BItem=A''1",
                           "EItem=", "BBillNo=", "EBillNo= o''k ", "chkClosed=1", "chkNextChoose=0"}));
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

TEST_F(FilterSchemes, SaveAsksForANameOrToOverwriteAndDoublesApostrophes) {
    StoreScheme("甲", 1, {{"BItem", "old"}});
    RunDialog(true, [this](frmFirter& d) {
        Child<QLineEdit>(d, "txtBItemNumber")->setText("new");
        prompts->QueueAnswer(ui::Yes);
        Tool(d, "tlbSave");
        EXPECT_EQ(prompts->Log.last().Text, "是否覆盖原方案？");
        EXPECT_EQ(prompts->Log.last().Buttons(), ui::YesNo);
        EXPECT_EQ(Filter().Find("甲")->Values[2].second, "new");

        // Not over it: a name is asked; blank answers store nothing.
        for (const auto& answer :
             {std::optional<QString>("   "), std::optional<QString>(), std::optional<QString>(" Bob's ")}) {
            Child<QLineEdit>(d, "txtBItemNumber")->setText("I'1");
            prompts->QueueAnswer(ui::No);
            prompts->QueueInput(answer);
            Tool(d, "tlbSave");
        }
        EXPECT_EQ(prompts->Log.last().Title, "另存为");
        EXPECT_EQ(Rows(d), (QStringList{"默认方案", "甲", "Bob''s*"}));
        EXPECT_EQ(d.CurrentSchemeName(), "Bob''s");
        d.reject();
    });
    ASSERT_EQ(Filter().Sent.size(), 2);
    EXPECT_EQ(SentPairs(Filter().Sent[1], "Bob''s")[2], "BItem=I''1");

    // On the default scheme the name is asked at once.
    prompts->Clear();
    RunDialog(false, [this](frmFirter& d) {
        Schemes(d)->SelectRow(1);
        Q_EMIT Schemes(d)->RowClicked(1);
        prompts->QueueInput(std::nullopt);
        Tool(d, "tlbSave");
        ASSERT_EQ(prompts->Log.size(), 1);
        EXPECT_EQ(prompts->Log[0].Text + "|" + prompts->Log[0].Title, "请输入方案名：|保存方案");
        d.reject();
    });
}

TEST_F(FilterSchemes, DeleteRefusesTheDefaultAndReloadsAfterwards) {
    StoreScheme("默认方案", 0, {{"BItem", "D"}});
    StoreScheme("甲", 1, {{"BItem", "J"}});
    RunDialog(true, [this](frmFirter& d) {
        EXPECT_EQ(Text(d, "txtBItemNumber"), "J");
        for (const int answer : {ui::No, ui::Yes, 0}) {
            prompts->QueueAnswer(answer);
            Tool(d, "tlbDel");
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
    EXPECT_EQ(State().FilterConditions->Count(), 9);
}
