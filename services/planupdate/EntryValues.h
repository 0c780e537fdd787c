#pragma once

#include "component/host/PlanFields.h"

#include <QString>
#include <QVariant>
#include <optional>

// How the writers of plan entries read the values of the records the component sends.
namespace zpp::services::entryvalues {

// Texts pass through the catalogue as templates, so their arguments need no entries of their own.
QString Tr(const char* text);

// A number where the grid shows one. Blank is 0, as the grid reads it; other text must be a
// number as a whole, because Val alone would store 12 for "12abc".
std::optional<double> Number(const QVariant& value);

// A whole number (blank is 0); nothing for text, fractions and numbers beyond 32 bits.
std::optional<qint32> WholeNumber(const QVariant& value);

// An interior ID or entry number: a whole number above 0.
std::optional<qint32> Id(const QVariant& value);

// A value as a message quotes it.
QString Shown(const QVariant& value);

// The message of a refused entry: the grid row the list showed it in (when the request names
// one), then plan number and entry, then the reason.
QString EntryFault(const QVariant& row, const QString& billNo, const QString& entry, const QString& reason);

// The keys of the entry records both writers read.
inline const QString kInterID = QStringLiteral("FInterID");
inline const QString kEntryID = QStringLiteral("FEntryID");
inline const QString kBillNo = QStringLiteral("FBillNo");
inline const QString kGridRow = QStringLiteral("Row");

} // namespace zpp::services::entryvalues
