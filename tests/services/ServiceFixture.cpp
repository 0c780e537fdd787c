#include "ServiceFixture.h"

#include "app/Wiring.h"
#include "component/host/ComponentState.h"
#include "component/host/HostObjectFactory.h"
#include "services/platform/PlatformServices.h"

namespace zpp::test {

bool WiredStoreTest::Open() {
    ResetState();
    ui::SetPrompter(prompts);
    location = NewStoreLocation(GetParam());
    if (location.isEmpty())
        return false;
    db = store::Store::Open(location);
    db->InTransaction([&] { Seed(); });
    session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
    app::Wire(session);
    return true;
}

void WiredStoreTest::TearDown() {
    ui::SetPrompter(nullptr);
    ui::SetModalHandler(nullptr);
    HostObjectFactory::Instance().Clear();
    services::SharePropsService::ClearAll();
    ResetState();
}

void WiredStoreTest::OnModal(std::function<void(QDialog&)> act) {
    ui::SetModalHandler([act](QDialog& d) {
        d.show();
        act(d);
        return d.result();
    });
}

} // namespace zpp::test
