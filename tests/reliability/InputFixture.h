#pragma once

#include "component/list/frmPurchasePlan.h"
#include "platform/ui/Prompt.h"
#include "support/TestStores.h"

#include <QTemporaryDir>

namespace zpp::test {

// A demo store behind the host program's real wiring, on either store, for the input cases. Each
// case is bounded unless ZPP_SOAK=1 asks for its full form. Dialogs are answered: the filter
// dialog confirmed, export to a CSV and print to a PDF in a temporary folder, the high-price
// window goes on, everything else cancelled.
class InputTest : public ::testing::TestWithParam<StoreKind> {
protected:
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
    store::StorePtr db; // a demo store with a one-row canary table
    QTemporaryDir config, out;

    void SetUp() override;
    void TearDown() override;

    // Wires the component to the store as that user (fresh component state).
    void LogIn(const QString& user);
    // Opens the list over today's entries without asking for rights, as the entry class would
    // after its own check.
    frmPurchasePlan* OpenList();
    static void CloseWindows();

    // "FIGURE|<store>|<case>|<name>|<value>", collected by scripts/soak.sh.
    void Figure(const char* testCase, const QString& name, qint64 value) const;
    // Texts that report a failure of the store itself (the driver's error), not a validation.
    static bool IsSqlError(const QString& text);
};

} // namespace zpp::test
