#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QLineEdit>
#include <QStringList>

namespace zpp::test {

// The visible buttons, line edits and item views of a window that have no accessible name: what a
// screen reader would announce as nothing.
inline QStringList MissingAccessibleNames(QWidget& w) {
    QStringList missing;
    for (QWidget* c : w.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                             qobject_cast<QAbstractItemView*>(c);
        if (!control || !c->isVisibleTo(&w) || c->parentWidget()->inherits("QAbstractItemView"))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            missing << QString("%1 %2").arg(c->metaObject()->className(), c->objectName());
    }
    return missing;
}

} // namespace zpp::test
