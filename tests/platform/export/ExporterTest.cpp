#include "platform/export/Exporter.h"
#include "platform/Golden.h"
#include "platform/ui/Prompt.h"
#include "support/Documents.h"

#include <QApplication>
#include <QComboBox>
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
