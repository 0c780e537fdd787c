#include "platform/records/Values.h"
#include "platform/records/Error.h"

#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::values;

TEST(Values, ValTakesTheLeadingNumber) {
    EXPECT_DOUBLE_EQ(Val(QString("  12.5kg")), 12.5);
    EXPECT_DOUBLE_EQ(Val(QString("-3")), -3);
    EXPECT_DOUBLE_EQ(Val(QString("1e3x")), 1000);
    EXPECT_DOUBLE_EQ(Val(QString("2e")), 2);
    EXPECT_DOUBLE_EQ(Val(QString(".5")), 0.5);
    EXPECT_DOUBLE_EQ(Val(QString("")), 0);
    EXPECT_DOUBLE_EQ(Val(QString("abc")), 0);
    EXPECT_DOUBLE_EQ(Val(QString("-")), 0);
    EXPECT_DOUBLE_EQ(Val(QString("1e999")), 0); // never infinite
    EXPECT_DOUBLE_EQ(Val(QVariant(7.25)), 7.25);
    EXPECT_DOUBLE_EQ(Val(QVariant()), 0);
}

TEST(Values, WholeNumbersRoundHalfToEvenAndFailOnOverflow) {
    EXPECT_EQ(ToInt16(QVariant("2.5")), 2);
    EXPECT_EQ(ToInt16(QVariant(3.5)), 4);
    EXPECT_EQ(ToInt16(QVariant(" 32767 ")), 32767);
    EXPECT_EQ(ToInt16(QVariant(-32768)), -32768);
    EXPECT_THROW(ToInt16(QVariant(32768)), Error);
    EXPECT_THROW(ToInt16(QVariant("abc")), Error);
    EXPECT_EQ(ToInt32(QVariant("2147483647")), 2147483647);
    EXPECT_THROW(ToInt32(QVariant(2147483648.0)), Error);
    EXPECT_EQ(ToInt32(QVariant()), 0);
}

TEST(Values, DatesParseInTheAcceptedFormsOnly) {
    EXPECT_EQ(ParseDate(QVariant("2026-12-06")), QDate(2026, 12, 6));
    EXPECT_EQ(ParseDate(QVariant("2026/1/2")), QDate(2026, 1, 2));
    EXPECT_EQ(ParseDate(QVariant("20261206")), QDate(2026, 12, 6));
    EXPECT_EQ(ParseDate(QVariant("2026-12-06 10:00:00")), QDate(2026, 12, 6));
    EXPECT_EQ(ParseDate(QVariant(QDate(2026, 2, 1))), QDate(2026, 2, 1));
    EXPECT_FALSE(IsDate(QVariant("2026-02-30")));
    EXPECT_FALSE(IsDate(QVariant("06/12/2026")));
    EXPECT_FALSE(IsDate(QVariant("")));
    EXPECT_FALSE(IsDate(QVariant("2026-12-06x")));
    EXPECT_EQ(DisplayDate(QDate(2026, 1, 2)), "2026-01-02");
}

TEST(Values, PatternFormattingPadsAndUsesTheDateSeparator) {
    const QString sep = DateSeparator();
    EXPECT_EQ(FormatDate(QDate(2026, 1, 2), "yyyy/mm/dd"), "2026" + sep + "01" + sep + "02");
    EXPECT_EQ(FormatDate(QDate(2026, 1, 2), "YYYY-MM-DD"), "2026-01-02");
    EXPECT_EQ(FormatDate(QDate(2026, 1, 2), "yy-m-d"), "26-1-2");
    EXPECT_EQ(FormatDate(QDate(), "yyyy-mm-dd"), "");
    EXPECT_EQ(FormatNumber(-0.0001, 2), "0.00");
    EXPECT_EQ(FormatNumber(1234.5, 0), "1235"); // no grouping
    EXPECT_EQ(FormatNumber(2.0, 3), "2.000");
}

TEST(Values, IsNumberNeedsTheWholeText) {
    for (const char* yes : {"12", " -3.5 ", "+.5", "1e3", "2E-2", "0."})
        EXPECT_TRUE(IsNumber(yes)) << yes;
    for (const char* no : {"", " ", "12abc", "1e", "-", ".", "1,000", "１２", "0x10", "1 2"})
        EXPECT_FALSE(IsNumber(no)) << no;
}
