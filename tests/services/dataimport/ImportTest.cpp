#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "services/access/Rights.h"
#include "services/dataimport/DataImport.h"
#include "services/store/DatabaseRoles.h"
#include "support/TestStores.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

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
    QString location;

    bool Open() {
        location = NewStoreLocation(GetParam());
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

    // A user as the program logs them in: on PostgreSQL connected as their own role, which the
    // server holds to its rights (roles made as the demo makes them, the name as the password).
    store::SessionPtr OwnSession(const QString& user) const { return OwnRoleSession(db, location, user); }

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

// An empty price is the supplier's list price of the entry's date in the item's unit, for a user
// who may not see prices as for one who may; on PostgreSQL the server writes it, into a column the
// user's role cannot read.
TEST_P(ImportTest, AnEmptyPriceIsTheListPriceForUsersWhoMayNotSeePricesToo) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    ASSERT_TRUE(Import(ImportKind::Prices, File("p.csv", "供应商代码,物料代码,含税单价,生效日期\n"
                                                         "S01,A01,2.5,2026-01-01\nS01,A01,3.25,2026-03-01\n"
                                                         "S02,A01,8,2026-01-01\n"))
                    .Written);
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask | ? WHERE user_id = 2", {rights::Import});
    const store::SessionPtr buyer = OwnSession("buyer");
    ASSERT_FALSE(services::Holds(*buyer, rights::Price));
    const QByteArray plans = "采购建议号,日期,物料代码,供应商代码,数量,含税单价\n"
                             "B1,2026-02-15,A01,S01,4,\n" // the list of 1 January
                             "B2,2026-03-05,A01,S01,4,\n" // of 1 March
                             "B3,2026-03-05,A01,,4,\n"    // no supplier, no price
                             "B4,2025-12-01,A01,S01,4,\n" // before the list: none
                             "B5,2026-03-05,A01,S02,4,\n";
    const ImportResult r = DataImport(buyer).Run(ImportKind::Plans, File("b.csv", plans), {});
    ASSERT_TRUE(r.Written) << Where(r).join(u';').toStdString();
    // The same file by a user who sees prices, and a price given in it.
    QByteArray mine = plans;
    mine.replace('B', 'A');
    mine += "A6,2026-03-05,A01,S01,4,7.5\n";
    ASSERT_TRUE(Import(ImportKind::Plans, File("a.csv", mine)).Written);
    EXPECT_EQ(Rows(*db,
                   "SELECT p.bill_no, e.price FROM plan_entries e JOIN purchase_plans p ON p.id = e.plan_id"
                   " ORDER BY 1"),
              "A1|2.5,A2|3.25,A3|0,A4|0,A5|8,A6|7.5,B1|2.5,B2|3.25,B3|0,B4|0,B5|8");
}

// What an import stores is what the list would: quantities and prices at the item's decimals,
// rounded as the grid rounds what is typed (halves away from zero). A quantity not above 0, before
// or after that, and a date before 2000 (a spreadsheet's day 1 is 1899-12-31) are refused; a file
// of captions alone imports nothing and leaves no log record.
TEST_P(ImportTest, ValuesAreStoredAtTheItemsDecimalsAndImplausibleOnesAreRefused) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData(); // quantity decimals: A01 2, A02 0
    db->Exec("UPDATE items SET price_decimals = 2 WHERE code = 'A02'");
    const QByteArray prices = "供应商代码,物料代码,含税单价,生效日期\n";
    ASSERT_TRUE(Import(ImportKind::Prices, File("p.csv", prices + "S01,A02,9.999,2026-01-01\n")).Written);
    EXPECT_EQ(Rows(*db, "SELECT price FROM supplier_prices"), "10");

    const QByteArray head = "采购建议号,日期,物料代码,供应商代码,数量,含税单价,建议交货日期\n";
    const ImportResult r =
        Import(ImportKind::Plans, File("ok.csv", head + "P1,2026-02-01,A02,S01,1.5,12.345,\n"
                                                        "P1,2026-02-01,A01,S01,0.125,2.5,\n"
                                                        "P1,2026-02-01,A02,S01,7,,\n"));
    ASSERT_TRUE(r.Written) << Where(r).join(u';').toStdString();
    EXPECT_EQ(Rows(*db, "SELECT entry_id, qty, unordered_qty, push_qty, price FROM plan_entries ORDER BY 1"),
              "1|2|2|2|12.35,2|0.13|0.13|0.13|2.5,3|7|7|7|10");

    const ImportResult bad =
        Import(ImportKind::Plans, File("bad.csv", head + "P2,2026-02-01,A01,,0,,\n"
                                                         "P2,2026-02-01,A02,,0.4,,\n"
                                                         "P2,1,A01,,1,,\n"
                                                         "P2,1999-12-31,A01,,1,,\n"
                                                         "P2,2026-02-01,A01,,1,,1999-12-31\n"
                                                         "P2,2000-01-01,A01,,1,,2000-01-01\n"));
    EXPECT_EQ(Where(bad), (QStringList{"2 数量", "3 数量", "4 日期", "5 日期", "6 建议交货日期"}));
    EXPECT_EQ(bad.Problems.value(2).Text, "日期 1899-12-31 早于 2000-01-01");

    const QString logs = Rows(*db, "SELECT COUNT(*) FROM operation_log");
    for (bool dryRun : {true, false}) {
        const ImportResult none = Import(ImportKind::Plans, File("head.csv", head), {dryRun, false});
        EXPECT_TRUE(!none.Written && none.Rows == 0);
        EXPECT_EQ(Where(none), QStringList{"1 "});
        EXPECT_EQ(services::ResultText(none), "0 行，1 个问题，未写入任何数据");
    }
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM operation_log"), logs);
}

// An update needs only the key and changes only the columns its file has: a file of supplier codes
// and tax rates keeps names and credit lines. A code it adds needs what a new record needs. An
// item keeps its unit while it has plan entries (their quantities are in it); one without entries
// may take another.
TEST_P(ImportTest, AnUpdateNeedsOnlyTheKeyAndChangesOnlyWhatItsFileHas) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    const QString rates = File("rates.csv", "供应商代码,税率(%)\nS02,9\n");
    EXPECT_EQ(Where(Import(ImportKind::Suppliers, rates)), QStringList{"1 供应商名称"});
    EXPECT_EQ(Where(Import(ImportKind::Suppliers, File("r2.csv", "供应商代码,税率(%)\nS02,9\nS09,6\n"),
                           {false, true})),
              QStringList{"3 供应商名称"});
    const ImportResult r = Import(ImportKind::Suppliers, rates, {false, true});
    EXPECT_TRUE(r.Written && r.Updated == 1);
    EXPECT_EQ(
        Rows(*db, "SELECT code, name, tax_rate, credit_line, credit_control FROM suppliers ORDER BY code"),
        "S01|宏达五金|13|NULL|,S02|恒信电子|9|5000|3");

    ASSERT_TRUE(
        Import(ImportKind::Plans, File("p.csv", "采购建议号,日期,物料代码,数量\nP1,2026-01-05,A01,3\n"))
            .Written);
    const QString items =
        "SELECT i.code, i.name, u.name FROM items i JOIN units u ON u.id = i.unit_id ORDER BY 1";
    const QString before = Rows(*db, items);
    EXPECT_EQ(
        Where(Import(ImportKind::Items, File("u.csv", "物料代码,单位\nA01,箱\nA02,个\n"), {false, true})),
        QStringList{"2 单位"});
    EXPECT_EQ(Rows(*db, items), before);
    for (const QByteArray& text :
         {QByteArray("物料代码,单位\nA01,个\nA02,个\n"), QByteArray("物料代码\nA01\n"),
          QByteArray("Item code,Item name\nA01,螺栓（镀锌）\n")}) {
        const ImportResult u = Import(ImportKind::Items, File("i.csv", text), {false, true});
        EXPECT_TRUE(u.Written) << Where(u).join(u';').toStdString();
    }
    EXPECT_EQ(Rows(*db, items), "A01|螺栓（镀锌）|个,A02|螺母|个");
    EXPECT_EQ(Rows(*db, "SELECT qty_decimals FROM items ORDER BY code"), "2,0");

    // A user's right to a supplier changes only with 允许使用; without it, a new pair is refused.
    EXPECT_EQ(Where(Import(ImportKind::SupplierRights, File("sr.csv", "用户名,供应商代码\nbuyer,S01\n"),
                           {false, true})),
              QStringList{"2 允许使用"});
}

// Captions are read whatever the width of their brackets and spaces and the case of their letters.
// One the import does not know but that looks like a column the file lacks is named before
// anything is written, and the import goes on only when the user says so; columns that merely
// share words with known ones (an exported list's) are left alone.
TEST_P(ImportTest, CaptionsAreReadLooselyAndLookalikesAreNamedBeforeWriting) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    ImportMasterData();
    EXPECT_TRUE(
        Import(ImportKind::Suppliers,
               File("w.csv", "供应商代码,\xE3\x80\x80供应商名称  ,税率\xEF\xBC\x88\xEF\xBC\x85\xEF\xBC\x89\n"
                             "S03,新厂,6\n"))
            .Written);
    EXPECT_TRUE(
        Import(ImportKind::Suppliers, File("e.csv", "SUPPLIER CODE,supplier  name,Tax rate(%)\nS04,Four,9\n"))
            .Written);
    EXPECT_EQ(Rows(*db, "SELECT code, tax_rate FROM suppliers WHERE code IN ('S03', 'S04') ORDER BY 1"),
              "S03|6,S04|9");

    const QString like = File("l.csv", "供应商代码,供应商名称,税率%,Credit contrl,备注\nS05,五厂,6,3,x\n");
    const ImportResult dry = Import(ImportKind::Suppliers, like, {true, false});
    EXPECT_TRUE(dry.Problems.isEmpty());
    QStringList notices;
    for (const auto& n : dry.Notices)
        notices << services::ProblemText(n);
    EXPECT_EQ(notices,
              (QStringList{"第 1 行，税率%：不是已知的列标题，该列不会导入；是否应为“税率(%)”？",
                           "第 1 行，Credit contrl：不是已知的列标题，该列不会导入；是否应为“信用控制”？"}));
    QVector<services::ImportNotices> asked;
    ImportOptions options{false, false};
    options.GoOnDespite = [&](const services::ImportNotices& n) {
        asked << n;
        return false;
    };
    EXPECT_THROW(Import(ImportKind::Suppliers, like, options), Cancelled);
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM suppliers WHERE code = 'S05'"), "0");
    options.GoOnDespite = [&](const services::ImportNotices& n) {
        asked << n;
        return true;
    };
    const ImportResult r = Import(ImportKind::Suppliers, like, options);
    EXPECT_TRUE(r.Written && r.Notices.size() == 2);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0].size(), 2);

    // An exported list's columns beside the plan's own.
    const ImportResult list = Import(
        ImportKind::Plans,
        File("x.csv", "选择,日期,关闭标识,物料代码,物料名称,规格型号,供应商代码,供应商名称,基本单位,数量,"
                      "已下达采购订单数量,下推数量,含税单价,采购建议号\n,2026-01-05,,A01,螺栓,,S01,宏达五金,"
                      "个,3,0,3,2,X1\n"),
        {true, false});
    EXPECT_TRUE(list.Problems.isEmpty() && list.Notices.isEmpty())
        << services::ResultText(list).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Stores, ImportTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

} // namespace
} // namespace zpp::test
