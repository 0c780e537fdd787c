#pragma once

#include "component/list/frmPurchasePlan.h"

#include <QApplication>
#include <QList>

namespace zpp::test {

// The list windows a test has open. Header-only: the support library does not link the component.
inline QList<frmPurchasePlan*> OpenListWindows() {
    QList<frmPurchasePlan*> list;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmPurchasePlan*>(w); f && f->isVisible())
            list << f;
    return list;
}

} // namespace zpp::test
