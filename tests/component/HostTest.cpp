#include "component/ClsPurchasePlanMain.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "support/Fakes.h"
#include "support/ListWindows.h"

using namespace zpp;
using namespace zpp::test;

using Host = HostFixture;

TEST_F(Host, RefusalIsLocalisedAndLogsNothingAndALogFailureIsNeverNoticed) {
    World().PropsString = "UserID=1;Language=en;";
    World().English = {{"对不起，你没有相应的权限！", "Sorry!"},
                       {"信息提示", "Information"},
                       {"所需权限：%1", "Needs: %1"},
                       {"引出", "Export"},
                       {"查询", "Open"},
                       {"、", ", "}};
    World().GrantedMask = 0;
    EXPECT_FALSE(CheckRight(rights::Export));
    ClsPurchasePlanMain().Show();
    EXPECT_FALSE(CheckRight(rights::Export | rights::Query));
    EXPECT_TRUE(World().Log.isEmpty());
    ASSERT_EQ(Shown(),
              QStringList({"Sorry!\nNeeds: Export", "Sorry!\nNeeds: Open", "Sorry!\nNeeds: Open, Export"}));
    EXPECT_EQ(prompts->Log[1].Title + "|" + QString::number(prompts->Log[1].Style), "Information|64");

    // A cancelled filter dialog opens no list, but the query is logged.
    World().GrantedMask = rights::Query;
    ClsPurchasePlanMain().Show();
    EXPECT_TRUE(OpenListWindows().isEmpty());
    ASSERT_EQ(World().Log.size(), 1);
    EXPECT_EQ(World().Log[0].Code + "|" + QString::number(World().Log[0].Type) + "|" + World().Log[0].Name,
              "CGPlan001|3|采购计划单查询");

    World().LogFails = true;
    EXPECT_NO_THROW(WriteOperationLog(logs::Save));
    // A failing access check is the caller's error.
    World().AccessFails = true;
    EXPECT_THROW(ClsPurchasePlanMain().Show(), Error);
    EXPECT_EQ(World().Log.size(), 1);
}
