#include "Reliability.h"
#include "support/TestStores.h"

using namespace zpp;
using namespace zpp::reliability;
using namespace zpp::test;

namespace {

class BadValues : public ::testing::TestWithParam<StoreKind> {};

} // namespace

// Bad numbers, dates and ids in the records the update service saves and pushes: each is refused
// with a message naming the field, never a store error, and the store keeps what it had (no NaN,
// infinite, negative or 40-digit amount is stored or ordered).
TEST_P(BadValues, AreRefusedNamingTheField) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    auto session = AdminSession(location);
    SeedMasterData(*session->Db);
    SeedPlan(*session->Db, 100, 1, 10, 1);
    services::PurchasePlanUpdateService service(session);
    const QString before = Snapshot(*session->Db);
    const QStringList numbers = {"abc", "1e309", "NaN",
                                 "-1",  "1,5",   "1234567890123456789012345678901234567890"};
    const QStringList dates = {"2024-02-30", "0000-01-01", "9999-12-32", "昨天"};
    const std::pair<const char*, const char*> fields[] = {
        {"FPushQty", "下推数量"}, {"FPrice", "含税单价"},          {"FDiscountRate", "折扣率"},
        {"FTaxRate", "税率"},     {"FFinishDate", "建议交货日期"}, {"FInterID", "采购建议内码"},
        {"FEntryID", "分录号"}};
    int refused = 0;
    QStringList faults;
    for (const auto& [key, caption] : fields) {
        for (const QString& value : QByteArray(key) == "FFinishDate" ? dates : numbers) {
            for (const bool push : {false, true}) {
                RecordListPtr list = RecordList::Create();
                list->Add(PushLine(1, {{100, 1, 1}}));
                list->Item(1)->Set(QString::fromLatin1(key), value);
                const QString error =
                    push ? Push(service, list) : Failure([&] { service.UpdatePurchasePlanEntry({}, list); });
                if (error.contains(QString::fromUtf8(caption)) && !error.contains(QStringLiteral("数据库")))
                    ++refused;
                else
                    faults << QStringLiteral("%1 %2 “%3”: ").arg(push ? "push" : "save", key, value) +
                                  (error.isEmpty() ? QStringLiteral("accepted") : error);
            }
        }
    }
    const QString store = StoreName(*session->Db);
    Figure(store, "bad values", "refused naming the field", refused);
    Figure(store, "bad values", "accepted, refused without naming the field, or store errors", faults.size());
    EXPECT_EQ(faults.join("\n"), "");
    EXPECT_EQ(Snapshot(*session->Db), before);
}

INSTANTIATE_TEST_SUITE_P(Stores, BadValues, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
