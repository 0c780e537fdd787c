#include "Values.h"

#include "Error.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zpp::values {

double Val(const QString& text) {
    return Val(QStringView(text));
}

double Val(QStringView text) {
    // The leading number is copied into a small buffer for std::from_chars; long texts and
    // results out of the normal range take Qt's conversion, which decides those cases.
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;
    QVarLengthArray<char, 64> num;
    auto take = [&](qsizetype at) { num.append(char(text[at].unicode())); };
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') // std::from_chars takes no plus sign
            num.append('-');
        ++i;
    }
    bool digits = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        take(i++);
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        num.append('.');
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            take(i++);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        const qsizetype mark = num.size();
        num.append('e');
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            if (text[j] == u'-')
                num.append('-');
            ++j;
        }
        bool expDigits = false;
        while (j < n && text[j] >= u'0' && text[j] <= u'9') {
            take(j++);
            expDigits = true;
        }
        if (!expDigits)
            num.resize(mark);
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
    if (ec != std::errc() || end != num.data() + num.size() || (v != 0 && std::fpclassify(v) != FP_NORMAL)) {
        v = QByteArray(num.data(), num.size()).toDouble();
        if (!std::isfinite(v))
            return 0;
    }
    return v;
}

double Val(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        const double v = value.toDouble();
        return std::isfinite(v) ? v : 0;
    }
    default:
        return Val(value.toString());
    }
}

bool IsNumber(const QString& text) {
    return IsNumber(QStringView(text));
}

bool IsNumber(QStringView text) {
    // The grammar Val reads (sign, digits, point, exponent), required to cover the whole text;
    // a scan instead of a second conversion, since bulk fills check every number cell.
    const QStringView t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    auto digitsFrom = [&](qsizetype& at) {
        const qsizetype start = at;
        while (at < n && t[at] >= u'0' && t[at] <= u'9')
            ++at;
        return at - start;
    };
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype digits = digitsFrom(i);
    if (i < n && t[i] == u'.') {
        ++i;
        digits += digitsFrom(i);
    }
    if (digits == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        const qsizetype expStart = i;
        if (digitsFrom(i) == 0 || i - expStart > 3 || t.mid(expStart, i - expStart).toInt() > 300)
            return false;
    }
    return i == n;
}

namespace {
double ToWhole(const QVariant& value) {
    double v = 0;
    if (value.typeId() == QMetaType::Bool) {
        v = value.toBool() ? -1 : 0;
    } else if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QString t = value.toString().trimmed();
        bool ok = false;
        v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            throw Error(QStringLiteral("类型不匹配：\"%1\" 不是数字").arg(t.left(40)));
    } else if (!value.isValid() || value.isNull()) {
        v = 0;
    } else {
        bool ok = false;
        v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            throw Error(QStringLiteral("类型不匹配：\"%1\" 不是数字").arg(value.toString().left(40)));
    }
    return std::nearbyint(v); // the default rounding mode rounds half to even
}
} // namespace

qint16 ToInt16(const QVariant& value) {
    const double v = ToWhole(value);
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        throw Error(QStringLiteral("溢出：%1 超出 16 位整数的范围").arg(value.toString().left(40)));
    return static_cast<qint16>(v);
}

qint32 ToInt32(const QVariant& value) {
    const double v = ToWhole(value);
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        throw Error(QStringLiteral("溢出：%1 超出 32 位整数的范围").arg(value.toString().left(40)));
    return static_cast<qint32>(v);
}

std::optional<QDate> ParseDate(const QVariant& value) {
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().isValid() ? std::optional(value.toDate()) : std::nullopt;
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().isValid() ? std::optional(value.toDateTime().date()) : std::nullopt;
    QString t = value.toString().trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t.size() == 10) {
        if (const auto d = ParseDisplayDate(t))
            return d;
    }
    // Drop a time part.
    static const QRegularExpression timePart(QStringLiteral("[ T]"));
    const int cut = t.indexOf(timePart);
    if (cut > 0)
        t = t.left(cut);
    if (t.size() == 8 && t.front().isDigit()) {
        bool allDigits = true;
        for (QChar c : t)
            allDigits = allDigits && c.isDigit();
        if (allDigits) {
            const QDate d(t.left(4).toInt(), t.mid(4, 2).toInt(), t.mid(6, 2).toInt());
            return d.isValid() ? std::optional(d) : std::nullopt;
        }
    }
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    const auto m = ymd.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return d.isValid() ? std::optional(d) : std::nullopt;
}

std::optional<QDate> ParseDisplayDate(QStringView t) {
    if (t.size() != 10 || t[4] != u'-' || t[7] != u'-')
        return std::nullopt;
    auto number = [&](int from, int to) {
        int v = 0;
        for (int i = from; i < to; ++i) {
            if (t[i] < u'0' || t[i] > u'9')
                return -1;
            v = v * 10 + (t[i].unicode() - u'0');
        }
        return v;
    };
    const int y = number(0, 4), m = number(5, 7), d = number(8, 10);
    if (y < 0 || m < 0 || d < 0 || !QDate::isValid(y, m, d))
        return std::nullopt;
    return QDate(y, m, d);
}

bool IsDate(const QVariant& value) {
    return ParseDate(value).has_value();
}

QString DisplayDate(const QDate& date) {
    if (!date.isValid())
        return QString();
    const int y = date.year();
    if (y < 1 || y > 9999)
        return date.toString(QLatin1String(kDisplayDateFormat));
    // Written by hand: the pattern formatter costs more than the rest of a bulk load's date cell.
    const int m = date.month(), d = date.day();
    const char16_t text[10] = {char16_t(u'0' + y / 1000),
                               char16_t(u'0' + y / 100 % 10),
                               char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10),
                               u'-',
                               char16_t(u'0' + m / 10),
                               char16_t(u'0' + m % 10),
                               u'-',
                               char16_t(u'0' + d / 10),
                               char16_t(u'0' + d % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

QString DateSeparator() {
    const QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (QChar c : f)
        if (!c.isLetter() && !c.isSpace())
            return QString(c);
    return QStringLiteral("/");
}

QString FormatDate(const QDate& date, const QString& pattern) {
    if (!date.isValid())
        return QString();
    QString out;
    const QString sep = DateSeparator();
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern[i].toLower();
        int run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == c)
            ++run;
        if (c == u'y')
            out += run <= 2 ? QString::number(date.year() % 100).rightJustified(2, u'0')
                            : QString::number(date.year()).rightJustified(4, u'0');
        else if (c == u'm')
            out += run >= 2 ? QString::number(date.month()).rightJustified(2, u'0')
                            : QString::number(date.month());
        else if (c == u'd')
            out +=
                run >= 2 ? QString::number(date.day()).rightJustified(2, u'0') : QString::number(date.day());
        else if (c == u'/')
            out += QString(sep).repeated(run);
        else
            out += pattern.mid(i, run);
        i += run;
    }
    return out;
}

QString FormatNumber(double value, int decimals) {
    NumberChars out;
    return QString(FormatNumber(value, decimals, out));
}

QLatin1String FormatNumber(double value, int decimals, NumberChars& out) {
    if (!std::isfinite(value))
        value = 0;
    decimals = std::clamp(decimals, 0, 10);
    char* const first = out.data();
    char* const last = first + out.size() - 1; // room for a carry into a new leading digit
    char* end = nullptr;
    // std::to_chars rounds exact halves to even; the grid has always rounded them away from
    // zero. A half is possible only when value * 2^(decimals + 1) is whole; then one more
    // decimal holds the value exactly, and rounding that digit by hand decides it.
    const double scaled = std::ldexp(value, decimals + 1);
    if (scaled != std::trunc(scaled)) {
        end = std::to_chars(first, last, value, std::chars_format::fixed, decimals).ptr;
    } else {
        end = std::to_chars(first, last, value, std::chars_format::fixed, decimals + 1).ptr;
        const bool up = end[-1] >= '5';
        end -= decimals == 0 ? 2 : 1; // the extra digit, and the point when no decimals remain
        if (up) {
            char* p = end - 1;
            for (; p >= first && (*p == '9' || *p == '.'); --p)
                if (*p == '9')
                    *p = '0';
            if (p < first || *p == '-') {
                // Carried past the leading digit: 9.99 became 10.00.
                std::memmove(p + 2, p + 1, std::size_t(end - (p + 1)));
                p[1] = '1';
                ++end;
            } else {
                ++*p;
            }
        }
    }
    if (*first == '-' && std::all_of(first + 1, end, [](char c) { return c == '0' || c == '.'; })) {
        std::memmove(first, first + 1, std::size_t(end - first - 1));
        --end;
    }
    return QLatin1String(first, end - first);
}

} // namespace zpp::values
