#include "platform/export/Exporter.h"
#include "platform/ui/Prompt.h"
#include "support/Documents.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zpp;
using namespace zpp::exporting;

namespace {

QString Unzip(const QString& file, const QString& member) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, member});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// RFC 4180 records, for reading an exported CSV back.
QVector<QStringList> ParseCsv(const QString& text) {
    QVector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (ch == u'"')
                quoted = false;
            else
                field += ch;
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == u',') {
            row << std::exchange(field, {});
        } else if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << std::exchange(field, {});
            rows << std::exchange(row, {});
            ++i;
        } else {
            field += ch;
        }
    }
    return rows;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::SetPrompter(prompts);
        QObject::connect(&exporter, &Exporter::LoadData, [this](int r, ExportRow* row) {
            asked << r;
            if (onRow)
                onRow(r);
            for (int c = 1; c <= data.value(r - 1).size(); ++c)
                row->SetValue(c, data[r - 1][c - 1]);
        });
    }
    void TearDown() override {
        ui::SetPrompter(nullptr);
        ui::SetModalHandler(nullptr);
    }
    // Caption and type per column; rows as texts (a row may carry more texts than columns).
    void Announce(const QVector<QPair<QString, int>>& columns, const QVector<QStringList>& rows) {
        exporter.SetColumnCount(int(columns.size()));
        for (int c = 1; c <= columns.size(); ++c) {
            exporter.SetColumnCaption(c, columns[c - 1].first);
            exporter.SetColumnDataType(c, columns[c - 1].second);
        }
        data = rows;
        exporter.SetRowCount(int(rows.size()));
    }
    QStringList Entries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString At(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    Exporter exporter;
    QVector<QStringList> data;
    QVector<int> asked;
    std::function<void(int)> onRow;
    std::shared_ptr<ui::ScriptedPrompter> prompts = std::make_shared<ui::ScriptedPrompter>();
};

QVector<QStringList> PlanRows(int count) {
    QVector<QStringList> rows;
    for (int r = 1; r <= count; ++r)
        rows << QStringList{QStringLiteral("钢板螺栓%1").arg(r), QString::number(r), QStringLiteral("备注")};
    return rows;
}

TEST_F(ExportTest, XlsxHoldsAnnouncedColumnsTypedCellsAndAFrozenBoldCaption) {
    QVector<QStringList> rows = PlanRows(150);
    rows[0] = {QStringLiteral("钢板"), QStringLiteral("12.50"), QStringLiteral("第一行"),
               QStringLiteral("多余")};
    rows[1][1] = QString();
    rows[2][1] = QStringLiteral("约 3 件");
    rows[3][1] = QStringLiteral(" -3e2 ");
    rows[4][2] = QString(200, u'长');
    rows[5][2] = QStringLiteral("a<b>&\x01"
                                "c");
    Announce({{QStringLiteral("物料名称"), kTextType},
              {QStringLiteral("数量"), kNumberType},
              {QStringLiteral("备注"), kTextType}},
             rows);
    exporter.SetColumnWidth(1, 255);
    exporter.SetColumnWidth(2, 4);
    const QString title = QStringLiteral("采购计划[2026]:明细/汇总*?与其他很长很长很长很长很长很长的标题");
    QString error;
    ASSERT_TRUE(exporter.Write(At("out.xlsx"), Format::Xlsx, title, &error)) << error.toStdString();

    QVector<int> inOrder;
    for (int r = 1; r <= 150; ++r)
        inOrder << r;
    EXPECT_EQ(asked, inOrder) << "each row asked once, in order, across the measured first rows";
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("out.xlsx")});

    const QString sheet = Unzip(At("out.xlsx"), QStringLiteral("xl/worksheets/sheet1.xml"));
    auto cell = [&](const char* ref) {
        return QRegularExpression(QStringLiteral("<c r=\"%1\"[^>]*>(.*?)</c>").arg(QLatin1String(ref)))
            .match(sheet)
            .captured(0);
    };
    EXPECT_TRUE(cell("A1").contains(QStringLiteral("t=\"inlineStr\"><is><t>物料名称</t>")));
    EXPECT_TRUE(cell("A2").contains(QStringLiteral("<t>钢板</t>")));
    EXPECT_TRUE(cell("B2").contains(QStringLiteral("<v>12.5</v>"))) << cell("B2").toStdString();
    EXPECT_TRUE(cell("B3").isEmpty()) << "an empty number stays blank";
    EXPECT_TRUE(cell("B4").contains(QStringLiteral("inlineStr"))) << "a text in a number column";
    EXPECT_TRUE(cell("B5").contains(QStringLiteral("<v>-300</v>")));
    EXPECT_TRUE(cell("C7").contains(QStringLiteral("<t>a&lt;b&gt;&amp; c</t>"))) << cell("C7").toStdString();
    EXPECT_TRUE(cell("A151").contains(QStringLiteral("钢板螺栓150")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("<c r=\"D"))) << "only the announced columns";
    EXPECT_TRUE(sheet.contains(QStringLiteral("ySplit=\"1\""))) << sheet.left(600).toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("state=\"frozen\"")));

    // The caption's style is bold; numbers keep their shown decimals.
    const QString styles = Unzip(At("out.xlsx"), QStringLiteral("xl/styles.xml"));
    const int captionXf =
        QRegularExpression(QStringLiteral("<c r=\"A1\" s=\"(\\d+)\"")).match(sheet).captured(1).toInt();
    const QString xfs = QRegularExpression(QStringLiteral("<cellXfs.*?</cellXfs>")).match(styles).captured(0);
    const QStringList xfList = xfs.split(QStringLiteral("<xf "));
    const int font = QRegularExpression(QStringLiteral("fontId=\"(\\d+)\""))
                         .match(xfList.value(captionXf + 1))
                         .captured(1)
                         .toInt();
    EXPECT_TRUE(styles.split(QStringLiteral("<font>")).value(font + 1).contains(QStringLiteral("<b/>")));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"0.00\"")));

    // Widths fit the first rows, within the announced bound and 60.
    auto width = [&](int col) {
        return QRegularExpression(QStringLiteral("<col min=\"%1\" max=\"%1\" width=\"([\\d.]+)\"").arg(col))
            .match(sheet)
            .captured(1)
            .toDouble();
    };
    EXPECT_GE(width(1), 11);
    EXPECT_LT(width(1), 20);
    EXPECT_NEAR(width(3), 60, 1.5);
    EXPECT_NEAR(width(2), 4, 1);

    const QString workbook = Unzip(At("out.xlsx"), QStringLiteral("xl/workbook.xml"));
    EXPECT_TRUE(
        workbook.contains(QStringLiteral("name=\"%1\"")
                              .arg(QStringLiteral("采购计划_2026__明细_汇总__与其他很长很长很长很长很长"))))
        << workbook.toStdString();
}

// A document's heading stands above the frozen caption row as texts, its totals below the
// rows typed by their columns; in CSV the heading is text too, guarded as every text is.
TEST_F(ExportTest, HeadingRowsGoAboveTheCaptionsAndClosingRowsBelowTheDataInBothFormats) {
    Announce(
        {{QStringLiteral("物料名称"), kTextType}, {QStringLiteral("金额"), kNumberType}},
        {{QStringLiteral("螺栓"), QStringLiteral("12.50")}, {QStringLiteral("螺母"), QStringLiteral("3")}});
    exporter.SetHeadingRows(
        {{QStringLiteral("采购订单")}, {QStringLiteral("订单号"), QStringLiteral("-PO1")}, {}});
    exporter.SetClosingRows({{QStringLiteral("合计"), QStringLiteral("15.50")}});
    QString error;
    ASSERT_TRUE(exporter.Write(At("doc.xlsx"), Format::Xlsx, QStringLiteral("PO1"), &error))
        << error.toStdString();
    ASSERT_TRUE(exporter.Write(At("doc.csv"), Format::Csv, QStringLiteral("PO1"), &error))
        << error.toStdString();

    EXPECT_EQ(test::XlsxRows(At("doc.xlsx")), (QVector<QStringList>{{"采购订单"},
                                                                    {"订单号", "-PO1"},
                                                                    {},
                                                                    {"物料名称", "金额"},
                                                                    {"螺栓", "12.5"},
                                                                    {"螺母", "3"},
                                                                    {"合计", "15.5"}}));
    EXPECT_TRUE(Unzip(At("doc.xlsx"), QStringLiteral("xl/worksheets/sheet1.xml")).contains("ySplit=\"4\""))
        << "frozen below the captions";

    const QByteArray csv = ReadAll(At("doc.csv"));
    EXPECT_EQ(ParseCsv(QString::fromUtf8(csv.mid(3))),
              (QVector<QStringList>{{QStringLiteral("采购订单")},
                                    {QStringLiteral("订单号"), QStringLiteral("'-PO1")},
                                    {QString()},
                                    {QStringLiteral("物料名称"), QStringLiteral("金额")},
                                    {QStringLiteral("螺栓"), QStringLiteral("12.50")},
                                    {QStringLiteral("螺母"), QStringLiteral("3")},
                                    {QStringLiteral("合计"), QStringLiteral("15.50")}}));
}

TEST_F(ExportTest, CsvRoundTripsQuotesCommasAndLineBreaksWithBomAndCrlf) {
    const QVector<QStringList> rows = {
        {QStringLiteral("a,b"), QStringLiteral("1.5"), QStringLiteral("他说\"好\"")},
        {QStringLiteral("第一行\r\n第二行"), QString(), QStringLiteral("只有\n换行")},
        {QStringLiteral("  前后空格  "), QStringLiteral("-2"), QStringLiteral("\"")},
    };
    Announce({{QStringLiteral("名称"), kTextType},
              {QStringLiteral("数量"), kNumberType},
              {QStringLiteral("备注"), kTextType}},
             rows);
    QString error;
    ASSERT_TRUE(exporter.Write(At("out.csv"), Format::Csv, QStringLiteral("计划"), &error))
        << error.toStdString();
    const QByteArray bytes = ReadAll(At("out.csv"));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.mid(3).startsWith(QStringLiteral("名称,数量,备注\r\n").toUtf8()));
    EXPECT_TRUE(bytes.contains("\"\"\"\"\r\n")) << "a lone quote is quoted and doubled";
    QVector<QStringList> expected = {
        {QStringLiteral("名称"), QStringLiteral("数量"), QStringLiteral("备注")}};
    expected << rows;
    EXPECT_EQ(ParseCsv(QString::fromUtf8(bytes.mid(3))), expected);
}

TEST_F(ExportTest, CsvTextCellsThatWouldRunAsFormulasAreWrittenAsTextNumbersStayNumbers) {
    Announce({{QStringLiteral("@备注"), kTextType}, {QStringLiteral("数量"), kNumberType}},
             {
                 {QStringLiteral("=HYPERLINK(\"http://x.test\",\"点击\")"), QStringLiteral("-2")},
                 {QStringLiteral("+1"), QStringLiteral("-1.5e2")},
                 {QStringLiteral("-x"), QStringLiteral("-x")},
                 {QStringLiteral("@a"), QStringLiteral("+3")},
                 {QStringLiteral("\tx"), QString()},
                 {QStringLiteral("\r=1"), QStringLiteral("=1+1")},
                 {QStringLiteral("a=b"), QStringLiteral("0")},
             });
    QString error;
    ASSERT_TRUE(exporter.Write(At("out.csv"), Format::Csv, QStringLiteral("计划"), &error))
        << error.toStdString();
    const QVector<QStringList> expected = {
        {QStringLiteral("'@备注"), QStringLiteral("数量")},
        {QStringLiteral("'=HYPERLINK(\"http://x.test\",\"点击\")"), QStringLiteral("-2")},
        {QStringLiteral("'+1"), QStringLiteral("-1.5e2")},
        {QStringLiteral("'-x"), QStringLiteral("'-x")},
        {QStringLiteral("'@a"), QStringLiteral("+3")},
        {QStringLiteral("'\tx"), QString()},
        {QStringLiteral("'\r=1"), QStringLiteral("'=1+1")},
        {QStringLiteral("a=b"), QStringLiteral("0")},
    };
    EXPECT_EQ(ParseCsv(QString::fromUtf8(ReadAll(At("out.csv")).mid(3))), expected);
}

TEST_F(ExportTest, CancelFailureOrAThrowingHandlerLeaveNoFileAndKeepTheTarget) {
    Announce({{QStringLiteral("名称"), kTextType}, {QStringLiteral("数量"), kNumberType}}, PlanRows(300));
    for (const QString& name : {QStringLiteral("old.xlsx"), QStringLiteral("old.csv")}) {
        SCOPED_TRACE(name.toStdString());
        const Format format = Exporter::FormatOf(At(name));
        QFile old(At(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        // During the first rows XLSX measures, and after them.
        for (int at : {50, 250}) {
            onRow = [&](int r) {
                if (r == at)
                    exporter.Cancel();
            };
            EXPECT_FALSE(exporter.Write(At(name), format, QStringLiteral("计划")));
            EXPECT_TRUE(exporter.WasCancelled());
        }
        onRow = [](int r) {
            if (r == 200)
                throw std::runtime_error("load failed");
        };
        EXPECT_THROW(exporter.Write(At(name), format, QStringLiteral("计划")), std::runtime_error);
        onRow = nullptr;
        EXPECT_EQ(ReadAll(At(name)), QByteArray("old"));
        EXPECT_EQ(Entries(), QStringList{name});
        QFile::remove(At(name));

        QString error;
        EXPECT_FALSE(
            exporter.Write(At(QStringLiteral("无此目录/") + name), format, QStringLiteral("计划"), &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("无法写入文件“"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("无此目录”不存在"))) << error.toStdString();
        // /proc refuses new files even to root.
        EXPECT_FALSE(exporter.Write(QStringLiteral("/proc/") + name, format, QStringLiteral("计划"), &error));
        EXPECT_TRUE(error.contains(QStringLiteral("/proc/") + name)) << error.toStdString();
        EXPECT_TRUE(Entries().isEmpty());
    }
}

TEST_F(ExportTest, RunExportWritesTheChosenFileAsksBeforeReplacingAndReportsFailures) {
    Announce({{QStringLiteral("名称"), kTextType}, {QStringLiteral("数量"), kNumberType}}, PlanRows(1000));
    QString fileName = At(QStringLiteral("计划"));
    int formatIndex = 1;
    QString shownDefault;
    bool cancelDialog = false;
    ui::SetModalHandler([&](QDialog& d) {
        auto* file = d.findChild<QLineEdit*>(QStringLiteral("txtFile"));
        shownDefault = file->text();
        file->setText(fileName);
        d.findChild<QComboBox*>(QStringLiteral("cboFormat"))->setCurrentIndex(formatIndex);
        auto* ok = d.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        for (int tries = 0; tries < 2 && d.result() != QDialog::Accepted; ++tries)
            (cancelDialog ? d.findChild<QPushButton*>(QStringLiteral("cmdCancel")) : ok)->click();
        return d.result();
    });
    bool result = false;
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_TRUE(result);
    EXPECT_TRUE(shownDefault.endsWith(QStringLiteral("采购计划.xlsx"))) << shownDefault.toStdString();
    EXPECT_TRUE(ReadAll(At(QStringLiteral("计划.csv"))).startsWith("\xEF\xBB\xBF"))
        << "suffix follows the format";
    EXPECT_TRUE(prompts->Log.isEmpty());

    // Replacing: "No" keeps the dialog open, "Yes" on the second OK writes.
    fileName = At(QStringLiteral("计划.csv"));
    formatIndex = 0;
    prompts->QueueAnswer(ui::No);
    prompts->QueueAnswer(ui::Yes);
    QFile(At(QStringLiteral("计划.xlsx"))).open(QIODevice::WriteOnly);
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_TRUE(result);
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_EQ(prompts->Log[0].Buttons(), ui::YesNo);
    EXPECT_TRUE(prompts->Log[0].Text.contains(QStringLiteral("计划.xlsx")));
    EXPECT_TRUE(ReadAll(At(QStringLiteral("计划.xlsx"))).startsWith("PK"));
    prompts->Clear();

    // A failure is shown; a cancel from the progress window or the dialog is not.
    fileName = At(QStringLiteral("无此目录/计划.xlsx"));
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_FALSE(result);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    EXPECT_TRUE(prompts->Log[0].Text.contains(QStringLiteral("不存在")));
    prompts->Clear();

    fileName = At(QStringLiteral("取消"));
    asked.clear();
    onRow = [](int r) {
        if (r == 300) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* progress = qobject_cast<QProgressDialog*>(w))
                    progress->cancel();
            }
        }
    };
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_FALSE(result);
    EXPECT_LT(asked.size(), 1000) << "stopped soon after the cancel";
    cancelDialog = true;
    asked.clear();
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_FALSE(result);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(prompts->Log.isEmpty());
    EXPECT_EQ(Entries(), (QStringList{QStringLiteral("计划.csv"), QStringLiteral("计划.xlsx")}));
}

} // namespace
