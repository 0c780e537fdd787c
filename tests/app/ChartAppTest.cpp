#include "AppFixture.h"
#include "component/chart/frmPlanChart.h"
#include "platform/records/Amounts.h"
#include "support/AccessibleNames.h"

#include <QDateEdit>
#include <QImage>
#include <QMap>
#include <QSqlQuery>

using namespace zpp;
using namespace zpp::test;

namespace {

// The chart is counted again a moment after the list changes; a user's glance takes longer.
void Glance() {
    QTest::qWait(400);
}

void ClickChartTool(chart::frmPlanChart& chart, const char* key) {
    auto* bar = chart.findChild<QToolBar*>("barChart");
    QTest::mouseClick(bar->widgetForAction(chart.findChild<QAction*>(key)), Qt::LeftButton);
    QCoreApplication::processEvents();
}

// Amount with tax per supplier name of the open entries of a day, as the store holds them.
QMap<QString, double> StoreAmounts(const store::Store& db, const QString& day) {
    QSqlQuery q = db.Exec("SELECT COALESCE(s.name, ''), e.push_qty, e.price, e.discount_rate, e.tax_rate"
                          " FROM plan_entries e LEFT JOIN suppliers s ON s.id = e.supplier_id"
                          " WHERE e.entry_date = ? AND e.close_mark = ''",
                          {day});
    QMap<QString, double> amounts;
    while (q.next())
        amounts[q.value(0).toString()] += values::AmountOf(q.value(1).toDouble(), q.value(2).toDouble(),
                                                           q.value(3).toDouble(), q.value(4).toDouble())
                                              .WithTax;
    return amounts;
}

} // namespace

// 图表 on the tool bar opens the chart of the rows listed: each supplier's amount is what the
// store's entries come to. It follows an edit not yet saved, a fold and a new filter while it is
// open, prints, and saves itself as a PNG image; a file that cannot be written is named.
TEST_P(AppTest, TheChartShowsTheListedRowsFollowsTheListPrintsAndSavesAnImage) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    h.Tool("PlanChart");
    auto* chart = list->findChild<chart::frmPlanChart*>();
    ASSERT_TRUE(chart && chart->isVisible());
    EXPECT_EQ(MissingAccessibleNames(*chart), QStringList());

    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    const QMap<QString, double> expected = StoreAmounts(*db, today);
    double total = 0;
    for (double amount : expected)
        total += amount;
    const chart::PlanChartFigures& f = chart->Figures();
    EXPECT_EQ(f.Rows, h.g.MaxRows());
    EXPECT_EQ(f.Rows,
              Count("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''", {today}));
    EXPECT_NEAR(f.TotalAmount, total, 0.005);
    ASSERT_FALSE(f.Suppliers.isEmpty());
    for (const chart::SupplierBar& bar : f.Suppliers)
        if (!bar.Others)
            EXPECT_NEAR(bar.Amount, expected.value(bar.Name, -1), 0.005) << bar.Name.toStdString();

    // A quantity typed into the list and not saved is in the picture, which says so.
    const QList<int> open = PushableRows(h.g, 1, false);
    ASSERT_EQ(open.size(), 1);
    const int r = open[0];
    const double before = h.g.Text(col::PushQty, r).toDouble();
    ASSERT_GT(before, 1);
    const double qtyBefore = f.TotalQty;
    h.RightTo(r, col::PushQty);
    h.Type("1");
    h.Key(Qt::Key_Return);
    ASSERT_EQ(h.g.Text(col::PushQty, r).toDouble(), 1);
    Glance();
    EXPECT_NEAR(chart->Figures().TotalQty, qtyBefore - before + 1, 1e-6);
    EXPECT_TRUE(chart->Texts().Caption.contains("含未保存的修改"));
    const double edited = chart->Figures().TotalAmount;

    // Folded, the merged rows count as their entries at their own values: the same amounts.
    h.Tool("Merge");
    Glance();
    ASSERT_TRUE(chart->Figures().Merged);
    EXPECT_LT(chart->Figures().ListedRows, chart->Figures().Rows);
    EXPECT_NEAR(chart->Figures().TotalAmount, edited, 1e-6);
    EXPECT_NEAR(chart->Figures().TotalQty, qtyBefore - before + 1, 1e-6);

    // A new filter lists another day; the chart follows.
    const QString day = FilterToYesterday();
    h.Tool("iFilter");
    Glance();
    const int listed =
        Count("SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND close_mark = ''", {day});
    ASSERT_EQ(h.g.MaxRows(), listed);
    EXPECT_FALSE(chart->Figures().Merged);
    EXPECT_EQ(chart->Figures().Rows, listed);
    double dayTotal = 0;
    for (double amount : StoreAmounts(*db, day))
        dayTotal += amount;
    EXPECT_NEAR(chart->Figures().TotalAmount, dayTotal, 0.005);

    // An image through the file dialog, and a print through the print dialog; each is logged.
    QTemporaryDir out;
    const QString png = out.filePath("图表.png");
    WriteFiles(out.path(), [&](QDialog& d) {
        if (d.objectName() != "dlgChartImage")
            return int(QDialog::Rejected);
        static_cast<QFileDialog&>(d).selectFile(png);
        return int(QDialog::Accepted);
    });
    ClickChartTool(*chart, "ExportImage");
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(1600, 960));
    int bars = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            bars += image.pixel(x, y) == qRgb(74, 126, 187);
    EXPECT_GT(bars, 50) << "no supplier bars in the image";
    ClickChartTool(*chart, "Print");
    EXPECT_GT(QFileInfo(out.filePath("plan.pdf")).size(), 1000);
    EXPECT_EQ(RowTexts(*db, "SELECT object_code || ' ' || operation_name FROM operation_log"
                            " WHERE object_code IN ('CGPlan003', 'CGPlan004') ORDER BY id"),
              QStringList({"CGPlan004 采购计划表引出（图表：" + QDir::toNativeSeparators(png) + "）",
                           "CGPlan003 采购计划单打印（图表）"}));

    // A folder that takes no files: the message names the file, nothing is logged.
    const QString lost = "/proc/图表.png";
    Answer([&](QDialog& d) { static_cast<QFileDialog&>(d).selectFile(lost), d.accept(); });
    prompts->Clear();
    ClickChartTool(*chart, "ExportImage");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith("无法写入文件“" + QDir::toNativeSeparators(lost) + "”"))
        << Said().join('|').toStdString();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan004'"), 1);

    // Esc closes the chart; the list stays.
    chart->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chart));
    QTest::keyClick(chart, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->findChild<chart::frmPlanChart*>(), nullptr);
    EXPECT_TRUE(list->isVisible());
}

// A buyer, who may not see prices, gets quantities per supplier and no amount at all, in English
// from the 查看 menu; without the export right the image is refused.
TEST_P(AppTest, ABuyersChartShowsNoAmountsAndSpeaksTheLogInLanguage) {
    frmPurchasePlan* list = OpenList("buyer", "en");
    ASSERT_TRUE(list);
    list->Tool("mnuView", "PlanChart")->trigger();
    auto* chart = list->findChild<chart::frmPlanChart*>();
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->windowTitle(), "Purchase plan chart");
    EXPECT_FALSE(chart->Figures().WithAmounts);
    EXPECT_EQ(chart->Figures().TotalAmount, 0);
    EXPECT_GT(chart->Figures().TotalQty, 0);
    EXPECT_TRUE(chart->Texts().SupplierTitle.startsWith("Quantity to push by supplier"));

    db->Exec("UPDATE user_rights SET granted_mask = 0 WHERE user_id = (SELECT id FROM users WHERE name = "
             "'buyer')");
    QStringList dialogs;
    Answer([&](QDialog& d) { dialogs << d.objectName(); });
    prompts->Clear();
    ClickChartTool(*chart, "ExportImage");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith("Sorry, you do not have the required right!"))
        << Said().join('|').toStdString();
    EXPECT_EQ(dialogs, QStringList());
}
