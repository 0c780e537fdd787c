#pragma once

// The localised captions and information boxes of the list window and its parts (frmPurchasePlan,
// ListBars, ListCommands, ListEditing, ListPaste, ListNotices).

#include "component/host/Lang.h"
#include "platform/ui/Prompt.h"

#include <QString>

namespace zpp::listprompts {

inline QString Lang(const char* text) {
    return GetLangString(QString::fromUtf8(text));
}

// A localised message, with the reason of a failure below it when there is one.
inline void Inform(const QString& builtInText, const QString& detail = {}) {
    const QString text =
        GetLangString(builtInText) + (detail.isEmpty() ? QString() : QStringLiteral("\n\n") + detail);
    ui::MsgBox(text, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}

} // namespace zpp::listprompts
