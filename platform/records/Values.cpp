#include "Values.h"

#include "Error.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zpp::values {

double Val(const QString& text) {
    const int n = text.size();
    int i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;
    QByteArray num;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        num += char(text[i++].unicode());
    bool digits = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        num += char(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        num += '.';
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            num += char(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        QByteArray exp = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exp += char(text[j++].unicode());
        bool expDigits = false;
        while (j < n && text[j] >= u'0' && text[j] <= u'9') {
            exp += char(text[j++].unicode());
            expDigits = true;
        }
        if (expDigits)
            num += exp;
    }
    const double v = num.toDouble();
    return std::isfinite(v) ? v : 0;
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
    // The grammar Val reads (sign, digits, point, exponent), required to cover the whole text;
    // a scan instead of a second conversion, since bulk fills check every number cell.
    const QStringView t = QStringView(text).trimmed();
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

bool IsDate(const QVariant& value) {
    return ParseDate(value).has_value();
}

QString DisplayDate(const QDate& date) {
    return date.isValid() ? date.toString(QLatin1String(kDisplayDateFormat)) : QString();
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
    if (!std::isfinite(value))
        value = 0;
    decimals = std::clamp(decimals, 0, 10);
    QString s = QString::number(value, 'f', decimals);
    if (s.startsWith(u'-') && Val(s) == 0)
        s.remove(0, 1);
    return s;
}

} // namespace zpp::values
