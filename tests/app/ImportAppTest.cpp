#include "AppFixture.h"
#include "services/dataimport/DataImport.h"
#include "services/dataimport/frmImport.h"

#include <QProcess>
#include <QTableWidget>

namespace zpp::test {
namespace {

// A file of a query's rows under the given captions, as a new company fills its templates.
QString WriteCsv(const QString& path, const QString& captions, const store::Store& db, const QString& sql) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QString text = captions + u'\n';
    for (const QString& row : RowTexts(db, sql))
        text += QString(row).replace(u'|', u',').replace(QStringLiteral("NULL"), QString()) + u'\n';
    f.write(text.toUtf8());
    return path;
}

// The list exported in English goes into an empty store as plans, after the master data it names:
// entry by entry, what the list showed is what the new store holds.
TEST_P(AppListTest, TheExportedListImportsIntoAnEmptyStore) {
    const bool ok = StartDemo(QStringLiteral("en"));
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString exported = out.filePath("plan.xlsx");
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* file = d.findChild<QLineEdit*>("txtFile")) {
            file->setText(exported);
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    });
    Hands{*list}.Tool("Export");
    ASSERT_TRUE(QFileInfo::exists(exported));
    QStringList shown; // plan and entry of every row
    const controls::SpreadGrid& g = list->vsProc();
    for (int r = 1; r <= g.MaxRows(); ++r)
        shown << g.Text(col::InterID, r) + u'/' + g.Text(col::EntryID, r);

    ASSERT_GT(shown.size(), 20);
    const QString target = NewStoreLocation(GetParam());
    auto db2 = store::Store::Open(target);
    auto session = std::make_shared<store::Session>(store::LogIn(db2, "admin"));
    services::DataImport import(session);
    auto run = [&](services::ImportKind kind, const QString& path) {
        const auto r = import.Run(kind, path, {});
        EXPECT_TRUE(r.Written) << services::ProblemText(r.Problems.value(0)).toStdString();
    };
    run(services::ImportKind::Units, WriteCsv(out.filePath("u.csv"), "单位", *db, "SELECT name FROM units"));
    run(services::ImportKind::Items,
        WriteCsv(out.filePath("i.csv"), "物料代码,物料名称,规格型号,单位,数量精度位数", *db,
                 "SELECT i.code, i.name, i.model, u.name, i.qty_decimals FROM items i JOIN units u ON u.id = "
                 "i.unit_id"));
    run(services::ImportKind::Suppliers, WriteCsv(out.filePath("s.csv"), "供应商代码,供应商名称,税率(%)", *db,
                                                  "SELECT code, name, tax_rate FROM suppliers"));
    const auto plans = import.Run(services::ImportKind::Plans, exported, {});
    ASSERT_TRUE(plans.Written) << services::ProblemText(plans.Problems.value(0)).toStdString();
    EXPECT_EQ(plans.Added, shown.size());

    const QString entries =
        "SELECT p.bill_no, e.entry_date, i.code, COALESCE(a.name, ''), COALESCE(s.code, ''), e.qty, e.price,"
        " e.discount_rate, e.tax_rate, COALESCE(e.finish_date, ''), e.memo, e.source_no"
        " FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id JOIN items i ON i.id = e.item_id"
        " LEFT JOIN aux_props a ON a.id = e.aux_prop_id LEFT JOIN suppliers s ON s.id = e.supplier_id";
    QStringList expected;
    for (const QString& key : shown)
        expected << RowTexts(*db, entries + QStringLiteral(" WHERE e.plan_id = %1 AND e.entry_id = %2")
                                                .arg(key.section(u'/', 0, 0), key.section(u'/', 1, 1)));
    QStringList imported = RowTexts(*db2, entries + " ORDER BY p.bill_no, e.entry_id");
    expected.sort();
    imported.sort();
    EXPECT_EQ(imported, expected);
}

// 文件 → 导入 on the store the list came from: every plan exists, so 检查 and 导入 both list the
// problems and nothing is written; the template is saved with the log-in language's captions.
TEST_P(AppListTest, TheImportWindowListsProblemsAndWritesNothing) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString exported = out.filePath("plan.csv");
    const int entries = db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt();
    QStringList problems;
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* file = d.findChild<QLineEdit*>("txtFile"); file && d.objectName() != "frmImport") {
            d.findChild<QComboBox*>("cboFormat")->setCurrentIndex(1);
            file->setText(exported);
            return int(QDialog::Accepted);
        }
        if (auto* files = qobject_cast<QFileDialog*>(&d)) {
            files->selectFile(out.filePath("plans-template.csv"));
            return int(QDialog::Accepted);
        }
        if (d.objectName() != "frmImport")
            return int(QDialog::Rejected);
        auto* window = static_cast<services::frmImport*>(&d);
        d.show();
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
        return d.result();
    });
    Hands{*list}.Tool("Export");
    list->Tool("mnuFile", "iImport")->trigger();
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems[0].startsWith("2|采购建议号|采购建议号“")) << problems[0].toStdString();
    EXPECT_TRUE(problems.filter("已存在").size() == problems.size());
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM plan_entries").toInt(), entries);
    QFile templ(out.filePath("plans-template.csv"));
    ASSERT_TRUE(templ.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(templ.readAll()).remove(QChar(0xFEFF)).trimmed(),
              "采购建议号,日期,物料代码,辅助属性,供应商代码,数量,含税单价,折扣率(%),税率(%),建议交货日期,"
              "起始日期,备注,源单单号");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
}

// Buyer has no import right: the command says so and opens nothing.
TEST_P(AppListTest, ImportingIsRefusedWithoutItsRight) {
    const bool ok = StartDemo({}, "buyer");
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    bool opened = false;
    ui::SetModalHandler([&](QDialog& d) {
        opened = opened || d.objectName() == "frmImport";
        return int(QDialog::Rejected);
    });
    list->Tool("mnuFile", "iImport")->trigger();
    EXPECT_FALSE(opened);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
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

} // namespace
} // namespace zpp::test
