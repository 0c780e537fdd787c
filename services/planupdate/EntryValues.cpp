#include "EntryValues.h"

#include "component/host/Lang.h"
#include "platform/records/Values.h"

#include <cmath>
#include <limits>

namespace zpp::services::entryvalues {

QString Tr(const char* text) {
    return GetLangString(QString::fromUtf8(text));
}

std::optional<double> Number(const QVariant& value) {
    if (value.isValid() && value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray) {
        bool ok = false;
        const double v = value.toDouble(&ok);
        return ok && std::abs(v) <= kLargestAmount ? std::optional(v) : std::nullopt;
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return 0.0;
    // Val gives 0 for a number too large for a double; that must not be stored as 0. Beyond
    // kLargestAmount a double no longer keeps the grid's decimals, so the store would hold
    // another number than the one typed.
    if (!values::IsNumber(text) || !(std::abs(text.toDouble()) <= kLargestAmount))
        return std::nullopt;
    return values::Val(text);
}

std::optional<qint32> WholeNumber(const QVariant& value) {
    const auto n = Number(value);
    if (!n || *n != std::floor(*n) || std::abs(*n) > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return values::ToInt32(*n);
}

std::optional<qint32> Id(const QVariant& value) {
    const auto n = WholeNumber(value);
    return n && *n > 0 ? n : std::nullopt;
}

QString Shown(const QVariant& value) {
    return value.toString().left(40);
}

QString EntryFault(const QVariant& row, const QString& billNo, const QString& entry, const QString& reason) {
    const auto r = Id(row);
    if (r)
        return Tr("第%1行（采购建议号[%2]分录号 %3）：%4").arg(QString::number(*r), billNo, entry, reason);
    return Tr("采购建议号[%1]分录号 %2：%3").arg(billNo, entry, reason);
}

} // namespace zpp::services::entryvalues
