#include "AppFixture.h"
#include "services/dataimport/DataImport.h"
#include "services/dataimport/frmImport.h"

#include <QProcess>
#include <QRegularExpression>

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

// In English the import window, its problems and its summary speak English. A caption that looks
// like a known one is asked about before the import writes anything, and No writes nothing.
TEST_P(AppTest, TheImportWindowSpeaksTheLogInLanguageAndAsksAboutLookalikeCaptions) {
    frmPurchasePlan* list = OpenList("admin", "en");
    ASSERT_TRUE(list);
    QTemporaryDir out;
    auto write = [&](const char* name, const QByteArray& text) {
        QFile f(out.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        return f.fileName();
    };
    const QString prices =
        write("prices.csv", "Supplier code,Item code,Unit,Unit price incl. tax,Valid from\n"
                            "S05,M-9999,公斤,1,2026-01-01\n");
    const QString suppliers = write("suppliers.csv", "供应商代码,供应商名称,税率%\nS77,新厂,6\n");
    QString button, summary;
    QStringList problems, afterNo;
    prompts->QueueAnswer(ui::No);
    Answer([&](QDialog& d) {
        auto* window = qobject_cast<services::frmImport*>(&d);
        if (!window)
            return;
        button = d.findChild<QPushButton*>("cmdImport")->text();
        auto* kind = d.findChild<QComboBox*>("cboKind");
        auto* file = d.findChild<QLineEdit*>("txtFile");
        kind->setCurrentIndex(kind->findData("prices"));
        file->setText(prices);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdCheck"), Qt::LeftButton);
        problems = window->ProblemRows();
        summary = d.findChild<QLabel*>("lblSummary")->text();
        kind->setCurrentIndex(kind->findData("suppliers"));
        file->setText(suppliers);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdImport"), Qt::LeftButton);
        afterNo = window->ProblemRows();
        QTest::mouseClick(d.findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
    });
    list->Tool("mnuFile", "iImport")->trigger();
    EXPECT_EQ(button, "&Import");
    EXPECT_EQ(problems,
              (QStringList{"2|Supplier code|There is no supplier \"S05\"",
                           "2|Item code|There is no item \"M-9999\"", "2|Unit|There is no unit \"公斤\""}));
    EXPECT_EQ(summary, "1 row, 3 problems; nothing was written. Correct the file and import it again.");
    ASSERT_EQ(Said().size(), 1) << Said().join('\n').toStdString();
    EXPECT_EQ(Said()[0],
              "The file has captions the import does not know; their columns will not be imported:\n"
              "Row 1, 税率%: Not a known caption, so its column is not imported; did you mean \"Tax rate "
              "(%)\"?\n\nImport anyway?");
    EXPECT_EQ(afterNo,
              QStringList{"1|税率%|Note: Not a known caption, so its column is not imported; did you mean "
                          "\"Tax rate (%)\"?"});
    EXPECT_EQ(Count("SELECT COUNT(*) FROM suppliers WHERE code = 'S77'"), 0);
}

// The command line counts rows and problems as the log-in language does, names a lookalike caption
// on standard error without stopping the import, and its template leaves a date room.
TEST(ImportCommandLine, SpeaksTheLogInLanguageNamesLookalikesAndLeavesRoomForDates) {
    QTemporaryDir dir;
    const QString store = dir.filePath("new.db");
    auto write = [&](const char* name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        return f.fileName();
    };
    QString out, err;
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(ZPP_APP_PATH), QStringList{"--store", store, "--lang", "en"} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return p.exitCode();
    };
    EXPECT_EQ(run({"--import", "units", write("u.csv", "Unit\n个\n箱\n个\n"), "--dry-run"}), 1);
    EXPECT_EQ(out, "3 rows, 1 problem; nothing was written");
    EXPECT_EQ(
        run({"--import", "suppliers", write("s.csv", "Supplier code,Supplier name,Tax rate %\nS01,One,6\n")}),
        0);
    EXPECT_EQ(out, "1 row imported: 1 added, 0 updated; 1 notice");
    EXPECT_EQ(err,
              "Note: Row 1, Tax rate %: Not a known caption, so its column is not imported; did you mean "
              "\"Tax rate (%)\"?");
    EXPECT_EQ(run({"--import", "units", write("h.csv", "Unit\n")}), 1);
    EXPECT_EQ(out, "0 rows, 1 problem; nothing was written");
    EXPECT_EQ(err, "Row 1: Nothing to import: the file has captions only");

    const QString templ = dir.filePath("plans.xlsx");
    ASSERT_EQ(run({"--template", "plans", templ}), 0);
    QProcess unzip;
    unzip.start("unzip", {"-p", templ, "xl/worksheets/sheet1.xml"});
    ASSERT_TRUE(unzip.waitForFinished(10000));
    const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
    // 日期 is the second column; a date is ten characters.
    const QRegularExpressionMatch date =
        QRegularExpression(R"re(<col min="2" max="2" width="([0-9.]+)")re").match(sheet);
    ASSERT_TRUE(date.hasMatch()) << sheet.toStdString();
    EXPECT_GE(date.captured(1).toDouble(), 10.5);
}

} // namespace zpp::test
