#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "services/dataimport/DataImport.h"
#include "support/TestStores.h"

#include <QFile>
#include <QTemporaryDir>

namespace zpp::test {
namespace {

using services::DataImport;
using services::ImportKind;
using services::ImportOptions;
using services::ImportResult;

class ImportTest : public ::testing::TestWithParam<StoreKind> {
protected:
    store::StorePtr db;
    store::SessionPtr session;
    QTemporaryDir dir;

    bool Open() {
        const QString location = NewStoreLocation(GetParam());
        if (location.isEmpty())
            return false;
        db = store::Store::Open(location);
        session = std::make_shared<store::Session>(store::LogIn(db, "admin"));
        return true;
    }

    QString File(const QString& name, const QByteArray& text) const {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    ImportResult Import(ImportKind kind, const QString& path, ImportOptions options = {}) const {
        return DataImport(session).Run(kind, path, options);
    }

    // Each problem as "row column", the way a user finds it in the file.
    static QStringList Where(const ImportResult& r) {
        QStringList out;
        for (const auto& p : r.Problems)
            out << QStringLiteral("%1 %2").arg(p.Row).arg(p.Column);
        return out;
    }

    // Units, items and suppliers as a new company fills them in: English captions (one left in
    // Chinese), semicolons, a byte order mark, a quoted field holding the delimiter.
    void ImportMasterData() {
        ASSERT_TRUE(Import(ImportKind::Units, File("u.csv", "\xEF\xBB\xBFUnit\r\n个\r\n箱\r\n")).Written);
        const ImportResult items =
            Import(ImportKind::Items, File("i.csv", "Item code;Item name;规格型号;Unit;Qty decimals\n"
                                                    "A01;\"螺栓; 镀锌\";M8x20;个;2\n"
                                                    "A02;螺母;;箱;0\n"));
        ASSERT_TRUE(items.Written) << Where(items).join(u';').toStdString();
        ASSERT_TRUE(
            Import(ImportKind::Suppliers, File("s.csv", "供应商代码,供应商名称,税率(%),信用额度,信用控制\n"
                                                        "S01,宏达五金,13,,\n"
                                                        "S02,恒信电子,6,5000,3\n"))
                .Written);
        db->Exec("DELETE FROM operation_log");
    }
};

TEST_P(ImportTest, ChecksEveryRowFirstAndWritesAllOrNothing) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    EXPECT_EQ(Rows(*db, "SELECT code, name, model, qty_decimals FROM items ORDER BY code"),
              "A01|螺栓; 镀锌|M8x20|2,A02|螺母||0");
    EXPECT_EQ(Rows(*db, "SELECT code, tax_rate, credit_line, credit_control FROM suppliers ORDER BY code"),
              "S01|13|NULL|,S02|6|5000|3");

    db->Exec("INSERT INTO purchase_plans (id, bill_no, bill_date) VALUES (7, 'OLD', '2026-01-01')");
    const QByteArray head =
        "采购建议号,日期,物料代码,辅助属性,供应商代码,数量,含税单价,折扣率(%),税率(%),建议交货日期,备注\n";
    const QByteArray good = "P1,2026-01-05,A01,红色,S01,10,2.5,,,2026-01-20,\"'-急件\"\n";
    const QString bad = File("bad.csv", head + good +
                                            "P1,2026-01-05,ZZZ,,S01,10,,,,,\n"
                                            "P1,2026-01-05,A01,,S99,10,,,,,\n"
                                            "P1,2026-01-05,A01,,S01,abc,,,,,\n"
                                            "P1,2026-13-45,A01,,S77,1,,,,,\n"
                                            "P1,2026-01-05,A01,,S01,-3,,,,,\n"
                                            "P1,2026-01-05,A01,,S01,1,,150,,,\n"
                                            "OLD,2026-01-05,A01,,S01,1,,,,,\n"
                                            ",,,,,,,,,,\n"
                                            "P1,2026-01-05,A02,,,4,,,,,\n");
    // Row 6 has a bad date and an unknown supplier: both are listed.
    const QStringList expected{"3 物料代码",   "4 供应商代码", "5 数量",      "6 日期",
                               "6 供应商代码", "7 数量",       "8 折扣率(%)", "9 采购建议号"};
    for (bool dryRun : {true, false}) {
        const ImportResult r = Import(ImportKind::Plans, bad, {dryRun, false});
        EXPECT_EQ(Where(r), expected) << "dry run " << dryRun;
        EXPECT_TRUE(!r.Written && r.Added == 0 && r.Rows == 9)
            << "dry run " << dryRun; // the empty row is no row
    }
    EXPECT_EQ(Rows(*db, "SELECT (SELECT COUNT(*) FROM plan_entries) + (SELECT COUNT(*) FROM operation_log)"),
              "0");

    const ImportResult r =
        Import(ImportKind::Plans, File("good.csv", head + good +
                                                       "P1,2026-01-05,A02,,,4,,,,,\n"
                                                       "P2,2026-01-06,A02,红色,S02,8,,5,,,\n"));
    ASSERT_TRUE(r.Written) << Where(r).join(u';').toStdString();
    EXPECT_EQ(r.Added, 3);
    // Tax rates default to the supplier's; the note comes back without the export's formula guard.
    EXPECT_EQ(Rows(*db,
                   "SELECT p.bill_no, e.entry_id, e.entry_date, a.name, e.qty, e.unordered_qty, e.push_qty,"
                   " e.price, e.discount_rate, e.tax_rate, e.finish_date, e.memo FROM plan_entries e"
                   " JOIN purchase_plans p ON p.id = e.plan_id LEFT JOIN aux_props a ON a.id = e.aux_prop_id"
                   " ORDER BY p.bill_no, e.entry_id"),
              "P1|1|2026-01-05|红色|10|10|10|2.5|0|13|2026-01-20|-急件,"
              "P1|2|2026-01-05|NULL|4|4|4|0|0|0|NULL|,"
              "P2|1|2026-01-06|红色|8|8|8|0|5|6|NULL|");
    EXPECT_EQ(Rows(*db, "SELECT user_name, object_code, operation_name FROM operation_log"),
              "admin|CGPlan009|数据导入（plans：good.csv，3 行）");
    // The same plans again: a plan is never merged into one that exists.
    EXPECT_EQ(Where(Import(ImportKind::Plans, dir.filePath("good.csv"), {false, true})),
              (QStringList{"2 采购建议号", "4 采购建议号"}));

    // A cancelled import writes nothing either.
    QByteArray text = "采购建议号,日期,物料代码,数量\n";
    for (int i = 0; i < 20000; ++i)
        text += "Q" + QByteArray::number(i / 500) + ",2026-02-01,A01," + QByteArray::number(i + 1) + "\n";
    const QString big = File("big.csv", text);
    const char* counts = "SELECT (SELECT COUNT(*) FROM purchase_plans), (SELECT COUNT(*) FROM operation_log)";
    const QString before = Rows(*db, counts);
    int asked = 0;
    EXPECT_THROW(DataImport(session).Run(ImportKind::Plans, big, {},
                                         [&](double done) { return ++asked < 20 && done < 1; }),
                 Cancelled);
    EXPECT_EQ(asked, 20);
    EXPECT_EQ(Rows(*db, counts), before);
    EXPECT_EQ(Import(ImportKind::Plans, big).Added, 20000);
}

TEST_P(ImportTest, ExistingCodesAreRefusedUnlessTheUserChoosesToUpdateAndWorkbooksAreRead) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    const QString again =
        File("s2.csv", "供应商代码,供应商名称,税率(%)\nS02,恒信电子科技,9\nS03,新厂,\nS03,新厂,\n");
    EXPECT_EQ(Where(Import(ImportKind::Suppliers, again)), (QStringList{"2 供应商代码", "4 供应商代码"}));
    const QString fixed = File("s3.csv", "供应商代码,供应商名称,税率(%)\nS02,恒信电子科技,9\nS03,新厂,\n");
    const ImportResult r = Import(ImportKind::Suppliers, fixed, {false, true});
    EXPECT_TRUE(r.Added == 1 && r.Updated == 1);
    // An update changes the columns the file has and keeps the credit line it left out.
    EXPECT_EQ(
        Rows(*db, "SELECT code, name, tax_rate, credit_line, credit_control FROM suppliers ORDER BY code"),
        "S01|宏达五金|13|NULL|,S02|恒信电子科技|9|5000|3,S03|新厂|13|NULL|");

    // prices.xlsx is a workbook as a spreadsheet program saves it: shared strings (one of them rich
    // text with a phonetic reading), a date as a day number, a column left empty and an empty row
    // in between, a character reference and a CDATA section. Row 4's price is no number; the dry
    // run names it by the sheet's own row number.
    const ImportResult book =
        Import(ImportKind::Prices, qEnvironmentVariable("ZPP_TEST_DATA") + "/prices.xlsx", {true, false});
    EXPECT_EQ(Where(book), QStringList{"4 含税单价"});
    EXPECT_EQ(book.Rows, 2);
    EXPECT_THROW(Import(ImportKind::Prices, File("x.xlsx", "not a zip")), Error);
    EXPECT_THROW(Import(ImportKind::Prices, File("gbk.csv", "\xB9\xA9\xD3\xA6\xC9\xCC\n")), Error);
    const QByteArray head = "供应商代码,物料代码,含税单价,生效日期\n";
    EXPECT_TRUE(Import(ImportKind::Prices, File("p.csv", head + "S01,A01,2.5,2026-01-01\n")).Written);
    Import(ImportKind::Prices, File("p2.csv", head + "S01,A01,2.75,2026/1/1\n"), {false, true});
    EXPECT_EQ(Rows(*db, "SELECT supplier_id, item_id, unit_id, price, valid_from FROM supplier_prices"),
              "1|1|1|2.75|2026-01-01");
}

TEST_P(ImportTest, ImportingNeedsItsOwnRight) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    // Buyer held every right but price and delete before importing existed, and gets none of it.
    auto buyer = std::make_shared<store::Session>(store::LogIn(db, "buyer"));
    const QString units = File("u2.csv", "单位\n公斤\n");
    EXPECT_THROW(DataImport(buyer).Run(ImportKind::Units, units, {}), Error);

    // Straight into the table: roles are the server's, and this test leaves them to the role tests.
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask | ? WHERE user_id = 2", {rights::Import});
    EXPECT_TRUE(DataImport(buyer).Run(ImportKind::Units, units, {}).Written);
    EXPECT_THROW(DataImport(buyer).Run(ImportKind::Prices, units, {}), Error);
    const QString rightsFile = File("r.csv", "用户名,供应商代码,允许使用\nbuyer,S01,否\n");
    EXPECT_THROW(DataImport(buyer).Run(ImportKind::SupplierRights, rightsFile, {}), Error);
    // A user's right to a supplier twice in one file is named at the supplier.
    EXPECT_EQ(
        Where(Import(ImportKind::SupplierRights, File("r2.csv", "用户名,供应商代码,允许使用\nbuyer,S01,否\n"
                                                                "buyer,S01,是\n"))),
        QStringList{"3 供应商代码"});
    EXPECT_TRUE(Import(ImportKind::SupplierRights, rightsFile).Written);
    // Without the price right a plan's prices are not the buyer's to set, nor a supplier it may not use.
    const ImportResult r = DataImport(buyer).Run(
        ImportKind::Plans,
        File("p.csv", "采购建议号,日期,物料代码,供应商代码,数量,含税单价\nP9,2026-03-01,A01,S01,1,\n"
                      "P9,2026-03-01,A01,S02,1,9.5\n"),
        {});
    EXPECT_EQ(Where(r), (QStringList{"2 供应商代码", "3 含税单价"}));
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM purchase_plans"), "0");
}

INSTANTIATE_TEST_SUITE_P(Stores, ImportTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

} // namespace
} // namespace zpp::test
