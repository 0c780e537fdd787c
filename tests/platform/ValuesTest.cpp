#include "platform/records/Values.h"
#include "platform/records/Error.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace zpp;
using namespace zpp::values;

TEST(Values, ValTakesTheLeadingNumberAsQtConvertsIt) {
    // Never infinite.
    const std::pair<const char*, double> cases[] = {{"  12.5kg", 12.5}, {"1e3x", 1000}, {"2e", 2},   {"", 0},
                                                    {"abc", 0},         {"-", 0},       {"1e999", 0}};
    for (const auto& [text, want] : cases)
        EXPECT_DOUBLE_EQ(Val(QString(text)), want) << text;
    EXPECT_DOUBLE_EQ(Val(QStringView(u" +7.5e2 ")), 750);
    EXPECT_DOUBLE_EQ(Val(QVariant()), 0);
    EXPECT_TRUE(std::signbit(Val(QString("-0"))));
    EXPECT_EQ(Val(QString("4e-320")), QByteArray("4e-320").toDouble()); // below the normal range
    EXPECT_EQ(Val(QString("0.") + QString(300, u'0') + "1"), QByteArray("1e-301").toDouble());
    std::mt19937_64 rng(11);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::ldexp(double(rng() % (1ull << 53)), int(rng() % 200) - 150);
        const QString text = QString::number(v, 'g', int(rng() % 20) + 1);
        ASSERT_EQ(Val(text), text.toDouble()) << qPrintable(text);
    }
}

TEST(Values, WholeNumbersRoundHalfToEvenAndFailOnOverflowAndIsNumberNeedsTheWholeText) {
    EXPECT_EQ(ToInt16(QVariant("2.5")) * 10 + ToInt16(QVariant(3.5)), 24);
    EXPECT_EQ(ToInt16(QVariant(" 32767 ")), 32767);
    EXPECT_THROW(ToInt16(QVariant(32768)), Error);
    EXPECT_THROW(ToInt16(QVariant("abc")), Error);
    EXPECT_THROW(ToInt32(QVariant(2147483648.0)), Error);
    EXPECT_EQ(ToInt32(QVariant()), 0);
    for (const char* yes : {" -3.5 ", "+.5", "2E-2", "0."})
        EXPECT_TRUE(IsNumber(yes)) << yes;
    for (const char* no : {"", "12abc", "1e", ".", "1,000", "１２", "0x10", "1 2"})
        EXPECT_FALSE(IsNumber(no)) << no;
}

TEST(Values, DatesParseInTheAcceptedFormsOnly) {
    EXPECT_EQ(ParseDate(QVariant("2026/1/2")), QDate(2026, 1, 2));
    EXPECT_EQ(ParseDate(QVariant("20261206")), QDate(2026, 12, 6));
    EXPECT_EQ(ParseDate(QVariant("2026-12-06 10:00:00")), QDate(2026, 12, 6));
    EXPECT_EQ(ParseDate(QVariant(" 2024-02-29 ")), QDate(2024, 2, 29));
    for (const char* no : {"2026-02-30", "06/12/2026", "", "2026-12-06x", "202612061", "x2026120"})
        EXPECT_FALSE(IsDate(QVariant(no))) << no;
    EXPECT_EQ(ParseDisplayDate(u"0999-01-31"), QDate(999, 1, 31));
    for (const char16_t* no : {u"2026-1-06", u"2026/12/06", u"0000-01-01", u" 2026-12-06", u"２０２６-12-06"})
        EXPECT_FALSE(ParseDisplayDate(no)) << QString::fromUtf16(no).toStdString();
    for (const QDate& d : {QDate(999, 3, 4), QDate(-44, 3, 15), QDate(12345, 1, 1)})
        EXPECT_EQ(DisplayDate(d), d.toString("yyyy-MM-dd")) << d.toString().toStdString();
    EXPECT_EQ(DisplayDate(QDate()), "");
}

namespace {
// Qt's fixed formatting with exact halves rounded away from zero and no minus on a zero.
QString ReferenceNumber(double v, int decimals) {
    QString s = QString::number(v, 'f', decimals);
    if (s.startsWith(u'-') && QStringView(s).mid(1).toDouble() == 0)
        s.remove(0, 1);
    return s;
}
} // namespace

TEST(Values, NumbersFormatAsQtDoesWithHalvesAwayFromZero) {
    // 2.675 is stored just below the half; no grouping; at most 10 decimals.
    EXPECT_EQ(FormatNumber(-2.5, 0) + " " + FormatNumber(0.125, 2) + " " + FormatNumber(2.675, 2) + " " +
                  FormatNumber(-0.4, 0) + " " + FormatNumber(1234.5, 0) + " " +
                  FormatNumber(std::numeric_limits<double>::infinity(), 2) + " " + FormatNumber(1.5, 15),
              "-3 0.13 2.67 0 1235 0.00 1.5000000000");
    std::mt19937_64 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const int decimals = int(rng() % 11);
        double v = std::bit_cast<double>(rng()); // any bits
        if (i % 4 == 0)                          // quarters, eighths and other exact halves
            v = double(std::int64_t(rng() % 2000001) - 1000000) / double(1 << (rng() % 12));
        else if (i % 4 == 1) // decimal texts as a store holds them
            v = QString::number(double(std::int64_t(rng() % 20000001) - 10000000) / 1000).toDouble();
        else if (i % 4 == 2) // any magnitude
            v = std::ldexp(double(rng() % (1ull << 53)), int(rng() % 400) - 250) * (rng() % 2 ? 1 : -1);
        else if (!std::isfinite(v))
            v = 0;
        ASSERT_EQ(FormatNumber(v, decimals), ReferenceNumber(v, decimals)) << v << " " << decimals;
    }
}
