#include "LookupFixture.h"

#include "services/lookup/BaseDataModel.h"

#include <QAbstractItemModelTester>
#include <algorithm>

using namespace zpp;
using namespace zpp::test;
using services::BaseDataModel;

using LookupModel = LookupTest;

TEST_P(LookupModel, PagesFollowInCodeOrderWithoutGapsOrRepeats) {
    ZPP_OPEN_OR_SKIP();
    // A database made with a language locale sorts "_" before letters; the list must not.
    if (!db->IsSQLite())
        db->Exec("ALTER TABLE items ALTER COLUMN code TYPE TEXT COLLATE \"en-US-x-icu\"");
    BaseDataModel model(db, services::kBaseDataItem);
    // Fatal: a broken model contract aborts the program, which fails the test run.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // The tester's own fetchMore runs inside the modelReset signal, before it has noted the reset as
    // finished, and then takes the next page's insertion for a nested change. The pages are fetched
    // below instead, and the tester checks every insertion.
    tester.setUseFetchMore(false);
    model.SetSearch("批量");
    EXPECT_EQ(model.rowCount(), services::kLookupPageSize);
    EXPECT_TRUE(model.canFetchMore({}));

    const QStringList codes = AllCodes(model);
    ASSERT_EQ(codes.size(), kBulkItems);
    EXPECT_FALSE(model.canFetchMore({}));
    for (int i = 0; i < codes.size(); ++i)
        EXPECT_EQ(codes[i], QString("03.%1").arg(i, 4, 10, QChar('0')));

    // A new search starts again at its first page; a blank one lists everything, in byte order
    // of the code in both stores ("XA1" before "X_1").
    model.SetSearch("  ");
    EXPECT_EQ(model.Search(), "");
    const QStringList all = AllCodes(model);
    EXPECT_EQ(all.size(), kBulkItems + 10);
    QStringList sorted = all;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    EXPECT_EQ(all, sorted);
    EXPECT_LT(all.indexOf("XA1"), all.indexOf("X_1"));
}

TEST_P(LookupModel, MatchesCodeOrNameAnywhereWithTheUsersWildcardsTakenLiterally) {
    ZPP_OPEN_OR_SKIP();
    BaseDataModel model(db, services::kBaseDataItem);
    const struct {
        const char* Search;
        QStringList Codes;
    } cases[] = {
        {"螺", {"01.001", "01.002"}},    // name
        {"01.00", {"01.001", "01.002"}}, // code
        {"  六角螺栓 ", {"01.001"}},     // blanks around the text do not count
        {"widGET", {"A-100"}},           // ASCII letters fold in both stores
        {"äpfel", {}},                   // other letters do not, in either store
        {"50%", {"P50%折扣件"}},         // % is a character, not "anything"
        {"X_1", {"X_1"}},                // _ is a character, not "one character"
        {"!标", {"Z!1"}},                // the escape character itself
        {"%", {"P50%折扣件"}},
        {"没有这个", {}},
    };
    for (const auto& c : cases) {
        model.SetSearch(QString::fromUtf8(c.Search));
        EXPECT_EQ(AllCodes(model), c.Codes) << c.Search;
    }
}

TEST_P(LookupModel, SuppliersShowTheirTaxRateAndOtherTypesAreRefused) {
    ZPP_OPEN_OR_SKIP();
    BaseDataModel model(db, services::kBaseDataSupplier);
    model.SetSearch("有限公司");
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows << QString("%1 %2 %3 %4")
                    .arg(model.At(r).Id)
                    .arg(model.data(model.index(r, 0)).toString(), model.data(model.index(r, 1)).toString(),
                         model.data(model.index(r, 2)).toString());
    EXPECT_EQ(rows, QStringList({"1 01.001 上海宏达五金有限公司 13", "2 01.002 苏州恒信电子科技有限公司 9"}));
    EXPECT_EQ(model.columnCount(), 3);

    for (qint32 type : {0, 5, 16}) {
        try {
            BaseDataModel other(db, type);
            ADD_FAILURE() << "type " << type << " was accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(e.Description().contains(QString::number(type))) << e.Description().toStdString();
            EXPECT_TRUE(e.Description().contains("物料")) << e.Description().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, LookupModel, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
