#pragma once

#include "services/store/Store.h"

#include <functional>

namespace zpp::services {

// The counter kind of purchase-order numbers.
inline const QString kPurchaseOrderCounter = QStringLiteral("POOrder");

// "POORD" and the sequence number in at least six digits: POORD000123.
QString PurchaseOrderBillNo(qlonglong number);

// Hands out the next purchase-order number inside the caller's transaction, passing over numbers
// already used by an order (a store whose orders came before its counter). The counter row stays
// locked until the transaction ends, so two pushes never get one number. before runs ahead of
// each statement.
QString NextPurchaseOrderBillNo(const store::Store& db, const std::function<void()>& before = {});

} // namespace zpp::services
