#include "app/Wiring.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/Props.h"
#include "platform/ui/Prompt.h"
#include "services/platform/PlatformServices.h"
#include "support/TestStores.h"

using namespace zpp;
using namespace zpp::test;

// The host program's wiring over a real store, as a user starts it.
class AppTest : public ::testing::TestWithParam<StoreKind> {
protected:
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
    store::StorePtr db;

    void SetUp() override {
        ResetState();
        ui::SetPrompter(prompts);
    }
    void TearDown() override {
        ui::SetPrompter(nullptr);
        HostObjectFactory::Instance().Clear();
        services::SharePropsService::ClearAll();
        ResetState();
    }
    bool Start(const QString& user, const QString& lang = {}) {
        const QString location = NewStoreLocation(GetParam());
        if (location.isEmpty())
            return false;
        db = store::Store::Open(location);
        auto session = std::make_shared<store::Session>(store::LogIn(db, user));
        session->Language = lang;
        app::Wire(session);
        return true;
    }
    int LogCount() {
        return db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan001'").toInt();
    }
};

TEST_P(AppTest, AdminIsLoggedGuestIsRefused) {
    const bool ok = Start("admin");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    EXPECT_EQ(GetPropsValue("UserName"), "admin");
    ClsPurchasePlanMain().Show();
    EXPECT_EQ(LogCount(), 1);
    EXPECT_TRUE(prompts->Log.isEmpty());

    auto guest = std::make_shared<store::Session>(store::LogIn(db, "guest"));
    ResetState();
    app::Wire(guest);
    ClsPurchasePlanMain().Show();
    EXPECT_EQ(LogCount(), 1);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");
}

TEST_P(AppTest, EnglishTextsComeFromTheEmbeddedCatalogue) {
    const bool ok = Start("guest", "en");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    ClsPurchasePlanMain().Show();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Title, "Information");
    EXPECT_NE(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(GetLangString("not in the catalogue"), "not in the catalogue");
}

INSTANTIATE_TEST_SUITE_P(Stores, AppTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
