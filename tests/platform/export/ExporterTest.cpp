#include "platform/export/Exporter.h"
#include "platform/Golden.h"
#include "platform/ui/Prompt.h"
#include "support/Documents.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zpp;
using namespace zpp::exporting;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The parts of a workbook that hold what was exported: the sheet, its styles and its name.
QByteArray XlsxParts(const QString& file) {
    QByteArray parts;
    for (const char* member : {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/workbook.xml"})
        parts += QByteArray("==== ") + member + "\n" + test::RunTool("unzip", {"-p", file, member}).toUtf8() +
                 "\n";
    return parts;
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
    // Writes both formats and holds them to golden/<name>.csv and golden/<name>.xlsx.txt.
    void ExpectBothFormats(const QString& name, const QString& title) {
        for (const Format format : {Format::Csv, Format::Xlsx}) {
            const QString file = At(name + (format == Format::Csv ? ".csv" : ".xlsx"));
            QString error;
            asked.clear();
            ASSERT_TRUE(exporter.Write(file, format, title, &error)) << error.toStdString();
            QVector<int> inOrder;
            for (int r = 1; r <= data.size(); ++r)
                inOrder << r;
            EXPECT_EQ(asked, inOrder) << "each row asked once, in order, across the measured first rows";
            if (format == Format::Csv)
                test::ExpectGolden(name + ".csv", ReadAll(file));
            else
                test::ExpectGolden(name + ".xlsx.txt", XlsxParts(file));
        }
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

// Texts, numbers, texts in number columns, what CSV must quote (commas, quotes, line breaks)
// or guard as text (what a spreadsheet would run as a formula), XML escapes, a caption frozen
// in bold, widths measured on the first rows within the announced bound and 60, a sheet name
// a workbook accepts; a document's heading above the captions and its totals below the rows.
TEST_F(ExportTest, BothFormatsMatchTheirGoldenFiles) {
    QVector<QStringList> rows = {
        {"钢板", "12.50", "第一行", "多余"},
        {"a,b", "", "他说\"好\""},
        {"第一行\r\n第二行", "约 3 件", "只有\n换行"},
        {"  前后空格  ", " -3e2 ", "\""},
        {"=HYPERLINK(\"http://x.test\",\"点击\")", "-1.5e2", QString(200, u'长')},
        {"+1", "-x",
         "a<b>&\x01"
         "c"},
        {"-x", "+3", "@a"},
        {"\tx", "=1+1", "\r=1"},
        {"a=b", "0", ""},
    };
    rows << PlanRows(150).mid(rows.size());
    Announce({{"@物料名称", kTextType}, {"数量", kNumberType}, {"备注", kTextType}}, rows);
    exporter.SetColumnWidth(1, 255);
    exporter.SetColumnWidth(2, 4);
    ExpectBothFormats("plan", "采购计划[2026]:明细/汇总*?与其他很长很长很长很长很长很长的标题");
    EXPECT_EQ(Entries(), QStringList({"plan.csv", "plan.xlsx"}));

    Announce({{"物料名称", kTextType}, {"金额", kNumberType}}, {{"螺栓", "12.50"}, {"螺母", "3"}});
    exporter.SetHeadingRows({{"采购订单"}, {"订单号", "-PO1"}, {}});
    exporter.SetClosingRows({{"合计", "15.50"}});
    ExpectBothFormats("document", "PO1");
}

// A cancel (while XLSX measures its first rows and after them) or a throwing handler leaves the
// old file as it was and nothing beside it.
TEST_F(ExportTest, ACancelOrAThrowingHandlerLeaveNoFileAndKeepTheTarget) {
    Announce({{QStringLiteral("名称"), kTextType}, {QStringLiteral("数量"), kNumberType}}, PlanRows(300));
    for (const QString& name : {QStringLiteral("old.xlsx"), QStringLiteral("old.csv")}) {
        const Format format = Exporter::FormatOf(At(name));
        QFile old(At(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        for (int at : {50, 250}) {
            onRow = [&](int r) {
                if (r == at)
                    exporter.Cancel();
            };
            EXPECT_TRUE(!exporter.Write(At(name), format, "计划") && exporter.WasCancelled())
                << name.toStdString();
        }
        onRow = [](int r) {
            if (r == 200)
                throw std::runtime_error("load failed");
        };
        EXPECT_THROW(exporter.Write(At(name), format, "计划"), std::runtime_error);
        onRow = nullptr;
        EXPECT_EQ(ReadAll(At(name)), QByteArray("old"));
        EXPECT_EQ(Entries(), QStringList{name});
        QFile::remove(At(name));
    }
}

// A failure is shown; a cancel in the progress window stops the rows and is not.
TEST_F(ExportTest, RunExportShowsAFailureAndStopsOnCancel) {
    Announce({{QStringLiteral("名称"), kTextType}, {QStringLiteral("数量"), kNumberType}}, PlanRows(1000));
    QString fileName = At(QStringLiteral("无此目录/计划.xlsx"));
    ui::SetModalHandler([&](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("txtFile"))->setText(fileName);
        d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        return d.result();
    });
    bool result = true;
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_FALSE(result);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].IconOf(), ui::Information);
    EXPECT_EQ(QString(prompts->Log[0].Text).replace(dir.path(), "<dir>"),
              "无法写入文件“<dir>/无此目录/计划.xlsx”：文件夹“<dir>/无此目录”不存在。");
    prompts->Clear();
    fileName = At(QStringLiteral("取消"));
    onRow = [](int r) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && r == 300)
                progress->cancel();
    };
    result = true;
    exporter.RunExport(QStringLiteral("采购计划"), result);
    EXPECT_FALSE(result);
    EXPECT_LT(asked.size(), 1000) << "stopped soon after the cancel";
    EXPECT_TRUE(prompts->Log.isEmpty() && Entries().isEmpty());
}

} // namespace
