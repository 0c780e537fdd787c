#include "services/dataimport/TableFile.h"
#include "platform/records/Error.h"
#include "services/dataimport/DataImport.h"
#include "support/Printers.h"
#include "support/TestStores.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <zlib.h>

namespace zpp::test {
namespace {

using services::ImportKind;
using services::OpenTable;
using services::TableProblem;

// One part of a hand-made zip. Its bytes are head, body times repeats, tail (so a test can make a
// part of hundreds of megabytes without holding it); deflated or stored; its recorded CRC and
// unpacked size may lie.
struct Part {
    QByteArray Name = {}, Head = {}, Body = {}, Tail = {};
    qint64 Repeats = 0;
    bool Deflate = true;
    quint32 CrcXor = 0;
    qint64 ClaimedSize = -1;
};

// Little-endian numbers, each of the given bytes, as a zip's headers hold them.
void Put(QByteArray& out, std::initializer_list<std::pair<quint64, int>> numbers) {
    for (const auto& [value, bytes] : numbers)
        for (int i = 0; i < bytes; ++i)
            out.append(char(value >> (8 * i) & 0xFF));
}

QByteArray Zip(const QVector<Part>& parts) {
    QByteArray file, directory;
    for (const Part& p : parts) {
        uLong crc = crc32(0, nullptr, 0);
        qint64 size = 0;
        QByteArray data;
        z_stream z{};
        deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        auto add = [&](const QByteArray& bytes, bool last) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size()));
            size += bytes.size();
            if (!p.Deflate) {
                data += bytes;
                return;
            }
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
            z.avail_in = uInt(bytes.size());
            char out[64 * 1024];
            do {
                z.next_out = reinterpret_cast<Bytef*>(out);
                z.avail_out = sizeof out;
                deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                data.append(out, qsizetype(sizeof out - z.avail_out));
            } while (z.avail_out == 0);
        };
        add(p.Head, false);
        for (qint64 i = 0; i < p.Repeats; ++i)
            add(p.Body, false);
        add(p.Tail, true);
        deflateEnd(&z);
        const quint32 claimed = quint32(p.ClaimedSize >= 0 ? p.ClaimedSize : size);
        QByteArray fields; // version, flags, method, time, date, CRC, sizes, name length, extra length
        Put(fields, {{20, 2},
                     {0, 2},
                     {p.Deflate ? 8 : 0, 2},
                     {0, 2},
                     {0x21, 2},
                     {quint32(crc) ^ p.CrcXor, 4},
                     {quint64(data.size()), 4},
                     {claimed, 4},
                     {quint64(p.Name.size()), 2},
                     {0, 2}});
        const quint64 offset = file.size();
        Put(file, {{0x04034b50, 4}});
        file += fields + p.Name + data;
        Put(directory, {{0x02014b50, 4}, {20, 2}});
        directory += fields;
        Put(directory, {{0, 2}, {0, 2}, {0, 2}, {0, 4}, {offset, 4}}); // comment, disk, attributes
        directory += p.Name;
    }
    const quint64 at = file.size();
    file += directory;
    Put(file, {{0x06054b50, 4},
               {0, 4},
               {quint64(parts.size()), 2},
               {quint64(parts.size()), 2},
               {quint64(directory.size()), 4},
               {at, 4},
               {0, 2}});
    return file;
}

// A workbook of one sheet: its rows, and the styles, shared strings and workbook properties it
// may have. The sheet and the shared strings are the last two parts, each a head with a tail to
// come after any rows a test adds as a body.
struct Book {
    QByteArray Rows = {}, Styles = {}, Shared = {}, WorkbookPr = {};

    QVector<Part> Parts() const {
        QByteArray rels =
            R"(<Relationships><Relationship Id="rId1" Type="http://x/worksheet" Target="worksheets/sheet1.xml"/>)"
            R"(<Relationship Id="rId2" Type="http://x/styles" Target="styles.xml"/>)";
        if (!Shared.isEmpty())
            rels += R"(<Relationship Id="rId3" Type="http://x/sharedStrings" Target="sharedStrings.xml"/>)";
        QVector<Part> parts{
            {"xl/workbook.xml",
             "<workbook>" + WorkbookPr +
                 R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
            {"xl/_rels/workbook.xml.rels", rels + "</Relationships>"},
            {"xl/styles.xml", Styles},
            {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + Rows, {}, "</sheetData></worksheet>"}};
        if (!Shared.isEmpty())
            parts << Part{"xl/sharedStrings.xml", Shared};
        return parts;
    }
};

// A text cell and a number cell (style s, the place of its format in cellXfs).
QByteArray T(const char* ref, const QString& text) {
    return QByteArray(R"(<c r=")") + ref + R"(" t="inlineStr"><is><t>)" + text.toUtf8() + "</t></is></c>";
}
QByteArray N(const char* ref, const char* value, int s = 0) {
    return QByteArray(R"(<c r=")") + ref + R"(" s=")" + QByteArray::number(s) + R"("><v>)" + value +
           "</v></c>";
}
QByteArray Row(int r, const QByteArray& cells) {
    return R"(<row r=")" + QByteArray::number(r) + R"(">)" + cells + "</row>";
}

// cellXfs 0 general, 1 built-in percent, 2 built-in date, 3 "0.0%", 4 a Chinese date, 5 a time;
// the percent among the cell style masters is no cell's.
const QByteArray kStyles =
    R"(<styleSheet><numFmts count="3"><numFmt numFmtId="164" formatCode="0.0%"/>)"
    R"(<numFmt numFmtId="165" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>)"
    R"(<numFmt numFmtId="166" formatCode="[h]:mm"/></numFmts><cellStyleXfs count="1"><xf numFmtId="10"/>)"
    R"(</cellStyleXfs><cellXfs count="6"><xf numFmtId="0"/><xf numFmtId="9"/><xf numFmtId="14"/>)"
    R"(<xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="166"/></cellXfs></styleSheet>)";

class TableFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString File(const QString& name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }

    // Every row as its number and its cells joined by "|", and the problems the reading named.
    struct Read {
        QStringList Rows;
        QStringList Problems;
    };
    static Read ReadAll(const QString& path) {
        Read read;
        auto table = OpenTable(path);
        QStringList cells;
        qint64 row = 0;
        while (table->Next(cells, row)) {
            read.Rows << QString::number(row) + u' ' + cells.join(u'|');
            for (const TableProblem& p : table->TakeProblems())
                read.Problems << QStringLiteral("%1 %2: %3").arg(p.Row).arg(p.Column, p.Text);
        }
        return read;
    }
    // The message that refuses a file, or empty when it reads.
    static QString Refusal(const QString& path) {
        try {
            ReadAll(path);
        } catch (const Error& e) {
            return e.Description();
        }
        return {};
    }
};

TEST_F(TableFileTest, AQuoteLeftOpenIsTheProblemOfTheRowItBeganOnAndSwallowsNothing) {
    // Row 2's note opens a quote and never closes it.
    const Read open = ReadAll(File("open.csv", "采购建议号,数量,备注\r\nP1,1,\"急件\r\nP2,2,\r\nP3,3,x\r\n"));
    EXPECT_EQ(open.Rows, (QStringList{"1 采购建议号|数量|备注", "2 P1|1|急件", "3 P2|2|", "4 P3|3|x"}));
    EXPECT_EQ(open.Problems, QStringList{"2 备注: 从此行开始的引号到文件末尾都没有结束"});
    // A quote opened by mistake closes at the next field's opening quote, with text after it;
    // row 5's note is quoted as it should be.
    const Read closed =
        ReadAll(File("closed.csv", "单号,备注\nP1,\"急件\nP2,\"普通\"\nP3,x\nP4,\"a,\"\"b\"\"\n c\"\n"));
    EXPECT_EQ(closed.Rows,
              (QStringList{"1 单号|备注", "2 P1|急件", "3 P2|普通", "4 P3|x", "5 P4|a,\"b\"\n c"}));
    EXPECT_EQ(closed.Problems.size(), 1);
    EXPECT_TRUE(closed.Problems.value(0).startsWith("2 备注: 引号不成对"))
        << closed.Problems.value(0).toStdString();
    // So does one that would hold more than a cell can.
    const Read long_ = ReadAll(File("long.csv", "单号,备注\nP1,\"" + QByteArray(40000, 'x') + "\nP2,y\n"));
    EXPECT_EQ(long_.Rows.mid(1), (QStringList{"2 P1|", "3 P2|y"}));
    EXPECT_EQ(long_.Problems.size(), 2); // the quote, and the text too long for a cell
}

TEST_F(TableFileTest, FieldsBeyondTheCaptionsAreTheProblemOfTheirRow) {
    const Read r = ReadAll(File("extra.csv", "采购建议号,日期,物料代码,数量,备注,,\n"
                                             "P1,2026-01-05,A01,1,000,急件,\n"  // 1,000 unquoted
                                             "P2,2026-01-05,A01,\"1,000\",,,\n" // quoted: one field
                                             "P3,2026-01-05,A01,2,,,,,\n"       // empty fields beyond
                                             "P4,2026-01-05,A01,3,,,,x\n"));
    EXPECT_EQ(r.Rows.value(2), "3 P2|2026-01-05|A01|1,000|||");
    EXPECT_EQ(
        r.Problems,
        (QStringList{
            "2 : 此行有 6 个字段，而标题只有 5 个：多出的字段不属于任何列（含有“,”的值要放在引号中）",
            "5 : 此行有 8 个字段，而标题只有 5 个：多出的字段不属于任何列（含有“,”的值要放在引号中）"}));
}

// Regions that write decimal commas separate fields with semicolons: ',' is the decimal mark there,
// and '.' or a space separates thousands between groups of three only. A point alone before three
// digits could be either and is named; any other point is a decimal point still.
TEST_F(TableFileTest, SemicolonFilesReadDecimalCommasAndNameWhatCouldMeanTwoThings) {
    const Read r = ReadAll(File("semi.csv", "物料代码;数量;含税单价;税率(%);备注\n"
                                            "01.001;6,5;1.000,00;13 %;1,5\n"
                                            "01.002;-0,25;1 000,5;12,5%;x\n"
                                            "01.003;1.000.000;6.5;0,125;x\n"
                                            "01.004;1.000;0.125;1.00,0;x\n"));
    EXPECT_EQ(r.Rows.mid(1), (QStringList{"2 01.001|6.5|1000.00|13|1,5", "3 01.002|-0.25|1000.5|12.5|x",
                                          "4 01.003|1000000|6.5|0.125|x", "5 01.004|1.000|0.125|1.00,0|x"}));
    EXPECT_EQ(r.Problems.size(), 1);
    EXPECT_TRUE(r.Problems.value(0).startsWith("5 数量: “1.000”不明确")) << r.Problems.value(0).toStdString();
    // In a comma file a point is the decimal mark, and a rate's percent sign is what its caption
    // says (a percent of no number is left for the import to name).
    EXPECT_EQ(ReadAll(File("comma.csv", "数量,Tax rate (%)\n1.000,13%\n2,x%\n")).Rows.mid(1),
              (QStringList{"2 1.000|13", "3 2|x%"}));
}

TEST_F(TableFileTest, WorkbookCellsReadAsTheirUserSawThemInTheWorkbooksDateSystem) {
    Book book{Row(1, T("A1", "采购建议号") + T("B1", "日期") + T("C1", "数量") + T("D1", "税率(%)") +
                         T("E1", "折扣率(%)") + T("F1", "备注") + T("G1", "建议交货日期")) +
                  Row(2, T("A2", "P1") + N("B2", "44895", 2) + N("C2", "50") + N("D2", "0.13", 1) +
                             N("E2", "7.4999999999999997E-2", 3) + N("F2", "0.5", 1) + N("G2", "44900")) +
                  Row(3, T("A3", "P2") + N("B3", "44895", 4) + N("C3", "0.5", 1) + N("D3", "13") +
                             N("F3", "1.5", 5)),
              kStyles};
    // A percent in a number column keeps its sign (so the import names it); a time stays a number.
    EXPECT_EQ(ReadAll(File("1900.xlsx", Zip(book.Parts()))).Rows.mid(1),
              (QStringList{"2 P1|2022-11-30|50|13|7.5|50%|2022-12-05", "3 P2|2022-11-30|50%|13||1.5"}));
    book.WorkbookPr = R"(<workbookPr date1904="1"/>)";
    EXPECT_EQ(ReadAll(File("1904.xlsx", Zip(book.Parts()))).Rows.mid(1),
              (QStringList{"2 P1|2026-12-01|50|13|7.5|50%|2026-12-06", "3 P2|2026-12-01|50%|13||1.5"}));
}

// The sheet is scanned 64 KB at a time: a CDATA section, a comment or a tag across the seam of
// two pieces reads as one.
TEST_F(TableFileTest, WhatStraddlesTwoPiecesOfASheetReadsWhole) {
    const QByteArray head = "<worksheet><sheetData>" + Row(1, T("A1", "备注"));
    const QByteArray cell = R"(<row r="2"><c r="A2" t="inlineStr"><is><t>)";
    for (int shift = 0; shift < 40; ++shift) {
        const QByteArray pad(64 * 1024 - shift - head.size() - cell.size(), ' ');
        QVector<Part> parts = Book{{}, kStyles}.Parts();
        parts[3].Head = head + pad + cell + "<![CDATA[a&b<]]><!-- x -->c</t></is></c></row>";
        parts[3].Deflate = false;
        EXPECT_EQ(ReadAll(File("seam.xlsx", Zip(parts))).Rows.value(1), "2 a&b<c") << shift;
    }
}

TEST_F(TableFileTest, DamagedWorkbooksAreRefusedNamingThePart) {
    const Book good{Row(1, R"(<c r="A1" t="s"><v>0</v></c>)") + Row(2, N("A2", "5")), kStyles,
                    R"(<sst><si><t>数量</t></si></sst>)"};
    ASSERT_EQ(ReadAll(File("good.xlsx", Zip(good.Parts()))).Rows, (QStringList{"1 数量", "2 5"}));
    for (const QByteArray part : {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml"}) {
        QVector<Part> parts = good.Parts();
        for (Part& p : parts)
            p.CrcXor = p.Name == part ? 1 : 0;
        const QString refusal = Refusal(File("crc.xlsx", Zip(parts)));
        EXPECT_TRUE(refusal.contains(QString::fromUtf8(part)) && refusal.contains("已损坏"))
            << refusal.toStdString();
    }
    // Stored rather than deflated, a changed byte would read as some other value.
    QVector<Part> stored = good.Parts();
    for (Part& p : stored)
        p.Deflate = false;
    QByteArray bytes = Zip(stored);
    ASSERT_TRUE(bytes.contains("<v>5</v>"));
    bytes.replace("<v>5</v>", "<v>6</v>");
    EXPECT_TRUE(Refusal(File("changed.xlsx", bytes)).contains("xl/worksheets/sheet1.xml"));
}

TEST_F(TableFileTest, AWorkbookWithoutASheetLeavesNoFileOpen) {
    const QString noSheet = File("nosheet.xlsx", Zip({{"xl/workbook.xml", "<workbook/>"}}));
    const auto open = [] { return QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size(); };
    const qsizetype before = open();
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(Refusal(noSheet).contains("没有工作表"));
    EXPECT_LT(open(), before + 5);
}

TEST_F(TableFileTest, PartsAndCellsBeyondTheirLimitsAreRefused) {
    using namespace services::tablelimits;
    // Shared strings of about a megabyte that unpack past their limit: refused before a byte of
    // them is inflated.
    QVector<Part> bomb = Book{Row(1, T("A1", "数量")), kStyles, "<sst>"}.Parts();
    bomb.last().Body = "<si><t>aaaaaaaaaaaa</t></si>";
    bomb.last().Tail = "</sst>";
    bomb.last().Repeats = kSharedStringsBytes / bomb.last().Body.size() + 1;
    const QByteArray zip = Zip(bomb);
    EXPECT_LT(zip.size(), 2 * 1024 * 1024);
    const QString refusal = Refusal(File("bomb.xlsx", zip));
    EXPECT_TRUE(refusal.contains("xl/sharedStrings.xml") && refusal.contains("128 MB"))
        << refusal.toStdString();
    // A sheet that claims to be small is read no further than it claims, and is damaged.
    QVector<Part> liar = Book{Row(1, T("A1", "数量")), kStyles}.Parts();
    liar[3].Body = Row(2, N("A2", "1"));
    liar[3].Repeats = 100000;
    liar[3].ClaimedSize = 1000;
    ASSERT_EQ(liar[3].Name, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(Refusal(File("liar.xlsx", Zip(liar))).contains("xl/worksheets/sheet1.xml"));
    // A sheet beyond its limit is refused as it is opened.
    liar[3].Repeats = 0;
    liar[3].ClaimedSize = kSheetBytes + 1;
    EXPECT_TRUE(Refusal(File("big.xlsx", Zip(liar))).contains("1024 MB"));

    // A cell beyond a spreadsheet's own limit is the problem of its row, in either format.
    const QString longText(kCellChars + 1, u'x');
    const Read csv = ReadAll(File("long.csv", "数量,备注\n1," + longText.toUtf8() + "\n2,y\n"));
    EXPECT_EQ(csv.Rows.value(1), "2 1|");
    EXPECT_EQ(csv.Problems, QStringList{"2 备注: 文字太长：一个单元格最多 32767 个字符"});
    const Read xlsx = ReadAll(File("long.xlsx", Zip(Book{Row(1, T("A1", "数量") + T("B1", "备注")) +
                                                             Row(2, N("A2", "1") + T("B2", longText)),
                                                         kStyles}
                                                        .Parts())));
    EXPECT_EQ(xlsx.Problems, QStringList{"2 备注: 文字太长：一个单元格最多 32767 个字符"});
}

// The import as a user meets it: a file read wrong is refused, and nothing of it is written.
class TableImportTest : public TableFileTest {
protected:
    store::StorePtr db;
    store::SessionPtr session;

    void SetUp() override {
        db = store::Store::Open(NewStoreLocation(StoreKind::SQLite));
        session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
        ASSERT_TRUE(Import(ImportKind::Units, File("u.csv", "单位\n个\n")).Written);
        ASSERT_TRUE(
            Import(ImportKind::Items, File("i.csv", "物料代码,物料名称,单位\nA01,螺栓,个\n")).Written);
    }
    services::ImportResult Import(ImportKind kind, const QString& path) const {
        return services::DataImport(session).Run(kind, path, {});
    }
    // What the user is told of a file that cannot be imported as it stands.
    QString Refused(ImportKind kind, const QString& path) const {
        try {
            const services::ImportResult r = Import(kind, path);
            QStringList problems;
            for (const services::ImportProblem& p : r.Problems)
                problems << services::ProblemText(p);
            EXPECT_FALSE(r.Written) << "imported " << r.Rows << " rows";
            return problems.join(u'\n');
        } catch (const Error& e) {
            return e.Description();
        }
    }
    QString Plans() const {
        return Rows(*db, "SELECT e.qty, e.price, e.memo FROM plan_entries e ORDER BY e.plan_id, e.entry_id");
    }
};

TEST_F(TableImportTest, RowsReadWrongAreRefusedAndRowsWithDecimalCommasImport) {
    const QByteArray head = "采购建议号,日期,物料代码,数量,备注\n";
    // Listed with the import's own problems, by row and column, as any other problem of a row.
    const services::ImportResult open =
        Import(ImportKind::Plans, File("q.csv", head + "P1,2026-01-05,A01,1,\"急件\nP2,2026-01-05,A01,2,\n"));
    ASSERT_EQ(open.Problems.size(), 1);
    EXPECT_EQ(open.Problems[0].Row, 2);
    EXPECT_EQ(open.Problems[0].Column, "备注");
    EXPECT_FALSE(open.Written);
    EXPECT_TRUE(Refused(ImportKind::Plans, File("f.csv", head + "P1,2026-01-05,A01,1,000,急件\n"))
                    .contains("第 2 行"));
    EXPECT_EQ(Plans(), "");
    const services::ImportResult r =
        Import(ImportKind::Plans, File("s.csv", "采购建议号;日期;物料代码;数量;含税单价;备注\n"
                                                "P1;2026-01-05;A01;6,5;1.234,50;1,5 kg\n"));
    ASSERT_TRUE(r.Written) << services::ProblemText(r.Problems.value(0)).toStdString();
    EXPECT_EQ(Plans(), "6.5|1234.5|1,5 kg");
}

TEST_F(TableImportTest, PercentCellsAndWorkbooksOf1904ImportAsTheirUserSawThem) {
    const Book suppliers{Row(1, T("A1", "供应商代码") + T("B1", "供应商名称") + T("C1", "税率(%)")) +
                             Row(2, T("A2", "S01") + T("B2", "宏达") + N("C2", "0.13", 1)),
                         kStyles};
    ASSERT_TRUE(Import(ImportKind::Suppliers, File("s.xlsx", Zip(suppliers.Parts()))).Written);
    EXPECT_EQ(Rows(*db, "SELECT tax_rate FROM suppliers"), "13");
    const Book prices{
        Row(1, T("A1", "供应商代码") + T("B1", "物料代码") + T("C1", "含税单价") + T("D1", "生效日期")) +
            Row(2, T("A2", "S01") + T("B2", "A01") + N("C2", "2.5") + N("D2", "44895", 2)),
        kStyles,
        {},
        R"(<workbookPr date1904="true"/>)"};
    ASSERT_TRUE(Import(ImportKind::Prices, File("p.xlsx", Zip(prices.Parts()))).Written);
    EXPECT_EQ(Rows(*db, "SELECT valid_from FROM supplier_prices"), "2026-12-01");
}

// A template is written in the format its name says, so the import reads it back as written.
TEST_F(TableFileTest, TemplatesFollowTheirNamesEnding) {
    services::DataImport import(nullptr);
    for (const char* name : {"items.txt", "items.csv", "items.xlsx"}) {
        import.WriteTemplate(ImportKind::Items, dir.filePath(name));
        EXPECT_EQ(ReadAll(dir.filePath(name)).Rows.value(0).section(u'|', 0, 1), "1 物料代码|物料名称")
            << name;
    }
    EXPECT_THROW(import.WriteTemplate(ImportKind::Items, dir.filePath("items.xls")), Error);
    EXPECT_FALSE(QFile::exists(dir.filePath("items.xls")));
}

} // namespace
} // namespace zpp::test
