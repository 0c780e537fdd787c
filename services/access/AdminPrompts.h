#pragma once

// What the administrator's windows (users and rights, company settings) tell and ask in the same
// words, kept in one place so the two windows keep behaving alike.

#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <functional>

namespace zpp::services::admin {

inline void Inform(const QString& text) {
    ui::MsgBox(text, ui::OkOnly | ui::Information, ui::Tr("信息提示"));
}

// Asks the question about unsaved edits, saving them on Yes. True when the window may go on: the
// user dropped the edits, or had them saved; false when they cancelled or the save failed.
inline bool SettleUnsaved(const QString& question, const std::function<bool()>& save) {
    const int answer = ui::MsgBox(question, ui::YesNoCancel | ui::Question, ui::Tr("信息提示"));
    return answer == ui::No || (answer == ui::Yes && save());
}

// Runs write and says how it went; false, after telling why, when it threw.
inline bool SaveAndTell(const std::function<void()>& write) {
    try {
        write();
    } catch (const std::exception& e) {
        Inform(ui::Tr("保存失败！") + QStringLiteral("\n") + DescribeException(e));
        return false;
    }
    Inform(ui::Tr("保存成功！"));
    return true;
}

} // namespace zpp::services::admin
