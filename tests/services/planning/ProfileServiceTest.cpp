#include "services/profile/ProfileService.h"
#include "PlanFixture.h"
#include "services/store/StoredText.h"

using namespace zpp;
using namespace zpp::test;

using ProfileServiceTest = PlanStoreTest;

namespace {
// The eight records the filter dialog sends for one scheme.
RecordListPtr Scheme(const QString& name, const QString& bItem, const QString& nextChoose) {
    auto list = RecordList::Create();
    const QList<std::pair<QString, QString>> values = {
        {"BDate", "2024-05-01"}, {"EDate", "2024-05-31"}, {"BItem", bItem},   {"EItem", ""},
        {"BBillNo", ""},         {"EBillNo", ""},         {"chkClosed", "1"}, {"chkNextChoose", nextChoose}};
    for (const auto& [key, value] : values) {
        auto r = KeyedRecord::Create();
        r->Set("RptID", 126);
        r->Set("Plan", name);
        r->Set("Key", key);
        r->Set("Value", value);
        list->Add(r);
    }
    return list;
}

QStringList Plans(services::ProfileService& p, QStringList* marked = nullptr) {
    qint32 report = 126;
    RecordSetPtr set = p.GetPlanList({}, report);
    QStringList names;
    for (set->MoveFirst(); !set->Eof(); set->MoveNext()) {
        names << set->Text("FPlan");
        if (marked && set->Value("FStatus").toInt() == 1)
            *marked << set->Text("FPlan");
    }
    return names;
}

QString Value(services::ProfileService& p, QString scheme, const QString& key) {
    qint32 report = 126;
    RecordSetPtr set = p.GetPlanValue({}, report, scheme);
    set->SetFilter("FKey='" + key + "'");
    return set->Eof() ? QStringLiteral("<none>") : set->Text("FValue", "<null>");
}
} // namespace

TEST_P(ProfileServiceTest, SchemesRoundTripAndResavesReplaceTheirValues) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    services::ProfileService p(admin), other(buyer);
    // As long as a name may be, ending in an apostrophe: kept whole.
    const QString longName = QString(store::limits::SchemeName.Chars - 1, u'方') + "'";
    for (const QString& name : {QStringLiteral("默认方案"), QStringLiteral("O''Neil的方案"), longName}) {
        RecordListPtr list = Scheme(name, "1.01''%_", "0");
        p.SaveProfile({}, list);
    }
    EXPECT_EQ(Plans(p), QStringList({"默认方案", "O''Neil的方案", longName}));
    EXPECT_TRUE(Plans(other).isEmpty());
    EXPECT_EQ(Value(p, longName, "BItem"), "1.01''%_");
    EXPECT_EQ(Value(p, "O''Neil的方案", "EDate"), "2024-05-31");
    EXPECT_EQ(Value(p, "O'Neil的方案", "EDate"), "<none>"); // names match exactly

    // A resave sends a new set of values: the old ones go.
    auto resave = KeyedRecord::Create();
    resave->Set("RptID", 126);
    resave->Set("Plan", longName);
    resave->Set("Key", "BItem"); // and no value at all
    RecordListPtr list = RecordList::Create();
    list->Add(resave);
    p.SaveProfile({}, list);
    EXPECT_EQ(Value(p, longName, "BItem"), "<null>");
    EXPECT_EQ(Value(p, longName, "EDate"), "<none>");
    EXPECT_EQ(Plans(p).size(), 3);

    qint32 report = 126;
    QString name = "O''Neil的方案";
    p.DelPlan({}, report, name);
    EXPECT_EQ(Plans(p), QStringList({"默认方案", longName}));
    EXPECT_EQ(Value(p, name, "EDate"), "<none>");
}

TEST_P(ProfileServiceTest, TheMarkedSchemeSavedLastHasStatusOne) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    services::ProfileService p(admin);
    auto save = [&](const QString& name, const QString& next) {
        p.UpdateNextChooseValue({}, 126);
        RecordListPtr list = Scheme(name, "", next);
        p.SaveProfile({}, list);
    };
    auto marked = [&] {
        QStringList names;
        Plans(p, &names);
        return names;
    };
    save("甲", "1");
    save("乙", "1");
    EXPECT_EQ(marked(), QStringList{"乙"});
    EXPECT_EQ(Value(p, "甲", "chkNextChoose"), "0"); // cleared before the later save
    save("甲", "1");
    EXPECT_EQ(marked(), QStringList{"甲"});
    save("默认方案", "0");
    EXPECT_TRUE(marked().isEmpty());

    // Without the clearing call, the later save still wins.
    RecordListPtr a = Scheme("丙", "", "1"), b = Scheme("丁", "", "1");
    p.SaveProfile({}, a);
    p.SaveProfile({}, b);
    EXPECT_EQ(marked(), QStringList{"丁"});
}

// A scheme record without its name is refused, and the records before it are not written.
// Report formats are each user's, and a save replaces the format.
TEST_P(ProfileServiceTest, IncompleteSchemesAreRefusedAndReportFormatsArePerUser) {
    ZPP_REQUIRE_STORE(QString(Open() ? "x" : ""));
    services::ProfileService p(admin), b(buyer);
    RecordListPtr list = Scheme("好", "", "0");
    auto bad = KeyedRecord::Create();
    bad->Set("RptID", 126);
    bad->Set("Key", "BDate");
    list->Add(bad);
    EXPECT_THROW(p.SaveProfile({}, list), Error);
    bad->Set("Plan", "  ");
    EXPECT_THROW(p.SaveProfile({}, list), Error);
    EXPECT_TRUE(Plans(p).isEmpty());

    QString first = "FItemModel=1|FMemo=1|", second = "FMemo=1|it''s|";
    p.SaveRptFormat({}, 126, "sPlanRpt", first);
    p.SaveRptFormat({}, 126, "sPlanRpt", second);
    EXPECT_EQ(p.LoadRptFormat({}, 126, "sPlanRpt") + "#" + p.LoadRptFormat({}, 127, "sPlanRpt") + "#" +
                  b.LoadRptFormat({}, 126, "sPlanRpt"),
              second + "##");
}

INSTANTIATE_TEST_SUITE_P(Stores, ProfileServiceTest,
                         ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL), StoreKindName);
