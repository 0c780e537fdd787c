// Clipboard text as spreadsheet programs write and read it.
#include "platform/controls/TabText.h"

#include <gtest/gtest.h>

using namespace zpp::controls;

namespace {
QString Show(const QVector<QStringList>& rows) {
    QStringList out;
    for (const QStringList& row : rows)
        out << "[" + row.join('|') + "]";
    return out.join(' ');
}
} // namespace

// What a spreadsheet puts on the clipboard: tabs between cells, CRLF after every row, the last
// one included, and cells holding line ends, tabs or quotes quoted with their quotes doubled.
TEST(TabText, ReadsASpreadsheetsClipboard) {
    const QString copied = "01.002\t5\t2027-01-05\r\n"
                           "\"two\nlines\"\t\"say \"\"hi\"\"\"\t\"a\tb\"\r\n"
                           "\t\t\r\n";
    EXPECT_EQ(Show(ParseTabText(copied)), "[01.002|5|2027-01-05] [two\nlines|say \"hi\"|a\tb] [||]");
    // LF and lone CR line ends; the last line without one.
    EXPECT_EQ(Show(ParseTabText("a\tb\nc\rd")), "[a|b] [c] [d]");
    // Only the very last line end is the end of a row rather than an empty row.
    EXPECT_EQ(Show(ParseTabText("a\n\n")), "[a] []");
    EXPECT_EQ(Show(ParseTabText("\r\n")), "[]");
    EXPECT_TRUE(ParseTabText("").isEmpty());
    // Quotes inside a cell that does not start with one are text (12" pipe); a quote never
    // closed is text too, and the cells after it are read as written.
    EXPECT_EQ(Show(ParseTabText("12\" pipe\tx\n\"open\tnext\nlast")), "[12\" pipe|x] [\"open|next] [last]");
    // Text after a closing quote belongs to the cell, as spreadsheets read it.
    EXPECT_EQ(Show(ParseTabText("\"a\"b\tc")), "[ab|c]");
}

// What the grid copies reads back as the same cells, in a spreadsheet and here; a single plain
// cell is its text alone.
TEST(TabText, WritesWhatReadsBackTheSame) {
    const QVector<QStringList> rows = {
        {"01.002", "供应商 A", ""}, {"say \"hi\"", "two\nlines", "tab\there"}, {"", "", ""}};
    const QString text = FormatTabText(rows);
    EXPECT_EQ(text, "01.002\t供应商 A\t\n\"say \"\"hi\"\"\"\t\"two\nlines\"\t\"tab\there\"\n\t\t\n");
    EXPECT_EQ(ParseTabText(text), rows);
    EXPECT_EQ(FormatTabText({{"12.5000"}}), "12.5000");
    EXPECT_EQ(FormatTabText({{"a\nb"}}), "\"a\nb\"\n");
    EXPECT_EQ(ParseTabText(FormatTabText({{"a\nb"}})), (QVector<QStringList>{{"a\nb"}}));
    EXPECT_EQ(ParseTabText(FormatTabText({{""}, {""}})), (QVector<QStringList>{{""}, {""}}));
}
