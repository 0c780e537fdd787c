#pragma once

// What the files of clsPurchasePlan share: the planning update service and the plain message box
// of its notices.
#include <QString>
#include <memory>

namespace zpp {
class PurchasePlanUpdate;
}

namespace zpp::planops {

std::shared_ptr<PurchasePlanUpdate> UpdateService();
// A notice in the user's language, with an OK button.
void ShowInformation(const QString& text);

} // namespace zpp::planops
