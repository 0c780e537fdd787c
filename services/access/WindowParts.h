// Pieces the services' windows build alike. Kept here, in the lowest folder that has windows, so the
// bills, import and administration windows reach them without depending on each other.
#pragma once

#include "component/host/Lang.h"

#include <QPushButton>
#include <exception>

namespace zpp::services::windowparts {

inline QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    // Enter in a list must not press a button by accident; each window says what Enter does.
    button->setAutoDefault(false);
    return button;
}

// The form font of the log-in language; a window whose font cannot be read keeps the default one.
inline void UseFormFont(QWidget* window) {
    try {
        SetFormFont(window);
    } catch (const std::exception&) {
        // The default font serves as well.
    }
}

} // namespace zpp::services::windowparts
