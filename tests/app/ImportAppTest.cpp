#include "AppFixture.h"
#include "services/dataimport/DataImport.h"
#include "services/dataimport/frmImport.h"

#include <QProcess>

namespace zpp::test {

// The exported list goes through 文件 → 导入 on its own store: every plan exists, so 检查 and 导入
// both list the problems and nothing is written. Into a store without plans it goes entry by entry
// as the list showed it. The template is offered under the kind's name.
TEST_P(AppTest, TheExportedListImportsIntoAStoreWithoutPlansAndNotTwice) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    QTemporaryDir out;
    const QString exported = out.filePath("plan.csv");
    WriteFiles(out.path());
    Hands{*list}.Tool("Export");
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
    // A store with the same master data and no plans takes every entry the list showed.
    auto db2 = store::GenerateStore(NewStoreLocation(GetParam()), 0);
    const auto plans = services::DataImport(std::make_shared<store::Session>(store::LogIn(db2, "admin")))
                           .Run(services::ImportKind::Plans, exported, {});
    ASSERT_TRUE(plans.Written) << services::ProblemText(plans.Problems.value(0)).toStdString();
    // Every column the list writes comes back, the empty ones too.
    const QString sql =
        "SELECT entry_date, item_id, COALESCE(aux_prop_id, 0), COALESCE(supplier_id, 0), qty, price,"
        " discount_rate, tax_rate, COALESCE(finish_date, ''), memo, source_no FROM plan_entries";
    EXPECT_EQ(Rows(*db2, sql + " ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11"),
              Rows(*db, sql + " WHERE entry_date = '" + QDate::currentDate().toString("yyyy-MM-dd") +
                            "' AND close_mark = '' ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11"));
}

// The command line as a script runs it: a dry run, or an import, lists its problems on standard
// error with exit status 1 and writes nothing.
TEST(ImportCommandLine, ProblemsGoToStandardErrorAndNothingIsWritten) {
    QTemporaryDir dir;
    const QString store = dir.filePath("new.db");
    QFile units(dir.filePath("u.csv"));
    ASSERT_TRUE(units.open(QIODevice::WriteOnly) && units.write("单位\n个\n箱\n个\n") > 0);
    units.close();
    QString err;
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(ZPP_APP_PATH), QStringList{"--store", store, "--import"} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    EXPECT_EQ(run({"units", units.fileName(), "--dry-run"}), 1);
    EXPECT_EQ(err.trimmed(), "第 4 行，单位：“个”在文件中出现了两次");
    EXPECT_EQ(run({"units", units.fileName()}), 1);
    EXPECT_EQ(store::Store::Open(store)->Scalar("SELECT COUNT(*) FROM units").toInt(), 0);
}

} // namespace zpp::test
