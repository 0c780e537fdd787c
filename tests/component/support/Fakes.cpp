#include "Fakes.h"

#include <QDialog>

namespace zpp::test {

FakeWorld& World() {
    static FakeWorld world;
    return world;
}

void HostFixture::SetUp() {
    World() = FakeWorld();
    World().PropsString = "UserID=1;UserName=admin;";
    ResetState();
    auto& f = HostObjectFactory::Instance();
    f.Clear();
    RegisterService<FakeShareProps>(progid::ShareProps);
    RegisterService<FakeGLData>(progid::GLData);
    RegisterService<FakeLoader>(progid::ResLoader);
    RegisterService<FakeFrmRes>(progid::FrmResLoader);
    prompts = std::make_shared<ui::ScriptedPrompter>();
    ui::SetPrompter(prompts);
    // A dialog no test answers is cancelled rather than left waiting for a user.
    ui::SetModalHandler([](QDialog& d) {
        d.reject();
        return int(QDialog::Rejected);
    });
}

void HostFixture::TearDown() {
    ui::SetPrompter(nullptr);
    ui::SetModalHandler(nullptr);
    HostObjectFactory::Instance().Clear();
    ResetState();
}

} // namespace zpp::test
