#include "AppFixture.h"
#include "services/dataimport/DataImport.h"
#include "services/dataimport/frmImport.h"

#include <QProcess>
#include <QTableWidget>

namespace zpp::test {

// The exported list goes through 文件 → 导入 on its own store: every plan exists, so 检查 and 导入
// both list the problems and nothing is written. Into a store without plans it goes entry by entry
// as the list showed it. The template is offered under the kind's name, with the captions.
TEST_P(AppTest, TheExportedListImportsIntoAStoreWithoutPlansAndNotTwice) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString exported = out.filePath("plan.csv");
    WriteFiles(out.path());
    Hands{*list}.Tool("Export");
    QStringList shown; // plan and entry of every row
    for (int r = 1; r <= list->vsProc().MaxRows(); ++r)
        shown << list->vsProc().Text(col::InterID, r) + u'/' + list->vsProc().Text(col::EntryID, r);
    ASSERT_GT(shown.size(), 20);
    const QString entries = Rows(*db, "SELECT COUNT(*) FROM plan_entries");
    QStringList problems;
    Answer([&](QDialog& d) {
        if (auto* files = qobject_cast<QFileDialog*>(&d)) {
            EXPECT_EQ(QFileInfo(files->selectedFiles().value(0)).fileName(), "plans.xlsx");
            files->selectFile(out.filePath("plans-template.csv"));
            d.accept();
        } else if (auto* window = qobject_cast<services::frmImport*>(&d)) {
            auto* kind = d.findChild<QComboBox*>("cboKind");
            kind->setFocus();
            QTest::keyClick(kind, Qt::Key_End); // plans, the last kind
            QTest::mouseClick(d.findChild<QPushButton*>("cmdTemplate"), Qt::LeftButton);
            QTest::keyClicks(d.findChild<QLineEdit*>("txtFile"), exported);
            QTest::mouseClick(d.findChild<QPushButton*>("cmdCheck"), Qt::LeftButton);
            problems = window->ProblemRows();
            QTest::mouseClick(d.findChild<QPushButton*>("cmdImport"), Qt::LeftButton);
            EXPECT_EQ(window->ProblemRows(), problems);
            QTest::mouseClick(d.findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        }
    });
    list->Tool("mnuFile", "iImport")->trigger();
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems[0].startsWith("2|采购建议号|采购建议号“")) << problems[0].toStdString();
    EXPECT_EQ(problems.filter("已存在").size(), problems.size());
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM plan_entries"), entries);
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    QFile templ(out.filePath("plans-template.csv"));
    ASSERT_TRUE(templ.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(templ.readAll()).remove(QChar(0xFEFF)).trimmed(),
              "采购建议号,日期,物料代码,辅助属性,供应商代码,数量,含税单价,折扣率(%),税率(%),建议交货日期,"
              "起始日期,备注,源单单号");

    // A store with the same master data and no plans.
    auto db2 = store::GenerateStore(NewStoreLocation(GetParam()), 0);
    const auto plans = services::DataImport(std::make_shared<store::Session>(store::LogIn(db2, "admin")))
                           .Run(services::ImportKind::Plans, exported, {});
    ASSERT_TRUE(plans.Written) << services::ProblemText(plans.Problems.value(0)).toStdString();
    EXPECT_EQ(plans.Added, shown.size());
    const QString sql =
        "SELECT p.bill_no, e.entry_date, i.code, COALESCE(a.name, ''), COALESCE(s.code, ''), e.qty, e.price,"
        " e.discount_rate, e.tax_rate, COALESCE(e.finish_date, ''), e.memo, e.source_no"
        " FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id JOIN items i ON i.id = e.item_id"
        " LEFT JOIN aux_props a ON a.id = e.aux_prop_id LEFT JOIN suppliers s ON s.id = e.supplier_id";
    QStringList expected;
    for (const QString& key : shown)
        expected << RowTexts(*db, sql + QStringLiteral(" WHERE e.plan_id = %1 AND e.entry_id = %2")
                                            .arg(key.section(u'/', 0, 0), key.section(u'/', 1, 1)));
    QStringList imported = RowTexts(*db2, sql);
    expected.sort();
    imported.sort();
    EXPECT_EQ(imported, expected);
}

// The command line as a script runs it: the template, a dry run that lists its problems on
// standard error with exit status 1, then the real import.
TEST(ImportCommandLine, ProblemsGoToStandardErrorAndNothingIsWritten) {
    QTemporaryDir dir;
    const QString store = dir.filePath("new.db");
    auto run = [&](const QStringList& args, QString* err = nullptr) {
        QProcess p;
        p.start(QStringLiteral(ZPP_APP_PATH), QStringList{"--store", store} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    EXPECT_EQ(run({"--lang", "en", "--template", "units", dir.filePath("units.csv")}), 0);
    QFile templ(dir.filePath("units.csv"));
    ASSERT_TRUE(templ.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(templ.readAll()).remove(QChar(0xFEFF)).trimmed(), "Unit");
    QFile units(dir.filePath("u.csv"));
    ASSERT_TRUE(units.open(QIODevice::WriteOnly));
    units.write("单位\n个\n箱\n个\n");
    units.close();
    QString err;
    EXPECT_EQ(run({"--import", "units", units.fileName(), "--dry-run"}, &err), 1);
    EXPECT_EQ(err.trimmed(), "第 4 行，单位：“个”在文件中出现了两次");
    EXPECT_EQ(run({"--import", "units", units.fileName()}, &err), 1);
    EXPECT_EQ(store::Store::Open(store)->Scalar("SELECT COUNT(*) FROM units").toInt(), 0);
    EXPECT_EQ(run({"--import", "nothing", units.fileName()}, &err), 2);
    EXPECT_TRUE(err.contains("units, items, suppliers, prices, supplier-rights, plans")) << err.toStdString();
}

} // namespace zpp::test
