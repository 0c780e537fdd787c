#pragma once

#include "support/AccessibleNames.h"

#include "platform/ui/Prompt.h"
#include "services/store/Session.h"
#include "support/TestStores.h"

#include <QDialog>
#include <functional>

namespace zpp::test {

// A store of either kind per test, seeded by the suite, with the app wired over it (log-in
// admin) and prompts scripted.
class WiredStoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
    store::StorePtr db;
    store::SessionPtr session;
    QString location;

    // False (the test skips or fails) when the store kind is not available.
    bool Open();
    virtual void Seed() = 0;
    void TearDown() override;
    // Runs act on every modal window while it is open; the window's result is returned.
    void OnModal(std::function<void(QDialog&)> act);
};

} // namespace zpp::test

#define ZPP_OPEN_OR_SKIP(...)                                                                                \
    do {                                                                                                     \
        const bool opened = Open();                                                                          \
        ZPP_REQUIRE_STORE(QString(opened ? "x" : ""));                                                       \
    } while (0)
