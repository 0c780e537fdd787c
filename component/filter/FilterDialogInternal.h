#pragma once

// What the filter dialog's files share: the title of its messages and the form its dates take in
// conditions and schemes.
#include "platform/records/Values.h"

#include <QDate>
#include <QString>

namespace zpp::filterdialog {

inline const QString kInfoTitle = QStringLiteral("信息提示");

inline QString IsoDate(const QDate& date) {
    return values::FormatDate(date, QStringLiteral("yyyy-mm-dd"));
}

} // namespace zpp::filterdialog
