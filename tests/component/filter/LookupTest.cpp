#include "FilterFakes.h"

#include "component/filter/MRpt.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace zpp;
using namespace zpp::test;

namespace {
std::shared_ptr<LookupResult> Chosen(const QString& number) {
    auto result = std::make_shared<LookupResult>();
    result->ReturnOK = true;
    result->ReturnObject = LookupRecord{7, number, "name"};
    return result;
}
} // namespace

using ItemLookup = FilterFixture;

TEST_F(ItemLookup, RefreshesFirstNoChoiceIsSilentAndAFailureIsShown) {
    Filter().Lookup = std::make_shared<LookupResult>();
    EXPECT_EQ(LookupBaseData(4, "", "", 1), nullptr);
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_EQ(Filter().Calls, (QStringList{"Refresh", "ItemLookUp"}));

    Filter().LookupFails = true;
    EXPECT_EQ(LookupBaseData(4, "", "", 1), nullptr);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "lookup window missing");
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
    EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
}

TEST_F(ItemLookup, StartFieldFillsAnEmptyEndFieldButNotTheOtherWayRound) {
    RunDialog(false, [](frmFirter& d) {
        auto* start = Child<QLineEdit>(d, "txtBItemNumber");
        auto* end = Child<QLineEdit>(d, "txtEItemNumber");
        start->setText("01");
        Filter().Lookup = Chosen("01.002");
        Child<QToolButton>(d, "cmdBItem")->click();
        EXPECT_EQ(Filter().LookupSearch, "01");
        EXPECT_EQ(Filter().LookupType, 4);
        EXPECT_EQ(start->text(), "01.002");
        EXPECT_EQ(end->text(), "01.002");

        Filter().Lookup = Chosen("02.000");
        Child<QToolButton>(d, "cmdEItem")->click();
        EXPECT_EQ(start->text(), "01.002");
        EXPECT_EQ(end->text(), "02.000");

        Filter().Lookup = Chosen("03.000");
        QTest::keyClick(start, Qt::Key_F8, Qt::ShiftModifier);
        EXPECT_EQ(start->text(), "03.000");
        EXPECT_EQ(end->text(), "02.000");

        // Closing the lookup without a choice changes nothing; suggestion numbers have no lookup.
        Filter().Lookup = std::make_shared<LookupResult>();
        QTest::keyClick(end, Qt::Key_F7);
        EXPECT_EQ(end->text(), "02.000");
        Filter().Calls.clear();
        Filter().Lookup = Chosen("X");
        QTest::keyClick(Child<QLineEdit>(d, "txtBBillNo"), Qt::Key_F7);
        QTest::keyClick(Child<QLineEdit>(d, "txtEBillNo"), Qt::Key_F8);
        EXPECT_FALSE(Filter().Calls.contains("ItemLookUp"));
        d.reject();
    });
}
