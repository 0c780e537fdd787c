#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

// The value conversions the business rules rely on. Nothing else re-implements them.
namespace zpp::values {

// The numeric value of a text's leading number: blanks are skipped, then an optional
// sign, digits, a decimal point and an exponent are read. Empty or non-numeric text is 0.
double Val(const QString& text);
double Val(QStringView text);
double Val(const QVariant& value);
// True when the whole text (blanks around it aside) is a number Val reads completely.
bool IsNumber(const QString& text);
bool IsNumber(QStringView text);

// Whole-number conversion that rounds half to even and fails with an Error on
// overflow or on text that is not a number.
qint16 ToInt16(const QVariant& value);
qint32 ToInt32(const QVariant& value);

// Dates. Parsing accepts "YYYY-MM-DD", "YYYY/M/D", "YYYY.M.D", "YYYYMMDD" (with an
// optional time part after a blank or "T") and QDate or QDateTime values.
std::optional<QDate> ParseDate(const QVariant& value);
// The date of a text exactly in the display form (ASCII digits, a valid date), else nothing.
// Such a text is its own display form, which lets bulk loads keep it as it is.
std::optional<QDate> ParseDisplayDate(QStringView text);
bool IsDate(const QVariant& value);
// The grid's own display format of dates.
inline constexpr const char* kDisplayDateFormat = "yyyy-MM-dd";
QString DisplayDate(const QDate& date);
// Formats a date by a pattern of y, m and d runs ("yyyy/mm/dd", "yyyy-mm-dd"); "/" stands
// for the date separator of the user's regional settings.
QString FormatDate(const QDate& date, const QString& pattern);
QString DateSeparator();

// Numbers as the grid shows them: fixed decimals, no grouping. Exact halves round away
// from zero; a value that rounds to zero never shows a minus sign.
QString FormatNumber(double value, int decimals);
// The same into a caller's buffer, for bulk fills that must not allocate per number.
using NumberChars = std::array<char, 352>;
QLatin1String FormatNumber(double value, int decimals, NumberChars& out);

} // namespace zpp::values
