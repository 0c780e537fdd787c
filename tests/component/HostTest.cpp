#include "component/ClsPurchasePlanMain.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "component/host/Props.h"
#include "support/Fakes.h"

using namespace zpp;
using namespace zpp::test;

using Host = HostFixture;

namespace {
// The description of the error f throws, or "none".
template <class F> QString ErrorOf(F f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Description();
    }
    return "none";
}
} // namespace

TEST_F(Host, PropertyStringsParseBracedValuesStrayTextAndRefuseBadInput) {
    ASSERT_TRUE(ParsePropsString(" UserID = 7 ; Conn = {a;b=c} x ; Language=en"));
    EXPECT_EQ(GetPropItem("userid") + "|" + GetPropItem("CONN") + "|" + GetPropItem("Language"),
              "7|a;b=c|en");
    EXPECT_EQ(GetUserID(), 7);
    const std::pair<QString, int> counts[] = {{"A=1;   ", 1}, {"A=1;junk", 2}, {"", 0}};
    for (const auto& [text, n] : counts) {
        ParsePropsString(text);
        EXPECT_EQ(State().PropsCollection->Count(), n) << text.toStdString();
    }
    EXPECT_NE(ErrorOf([] { GetPropItem("UserID"); }), "none");
    EXPECT_NE(ErrorOf([] { ParsePropsString("UserID=1;userid=2;"); }), "none"); // keys differing in case
    ParsePropsString("UserID=40000;");                                          // outside sixteen bits
    EXPECT_TRUE(ErrorOf([] { GetUserID(); }).contains("40000"));
    ParsePropsString("UserID=abc;");
    EXPECT_NE(ErrorOf([] { GetUserID(); }), "none");

    World().PropsString = "UserID=3;Store={/a;b};Language=en;";
    EXPECT_EQ(GetPropsValue("store") + "|" + GetPropsValue("Missing"), "/a;b|");
    QString quoted = "x=" + QuotePropValue("p;q=r ") + ";"; // what the host writes reads back
    ReadPropKey(quoted);
    EXPECT_EQ(ReadPropValue(quoted), "p;q=r");
    // Shared properties never fail, even without the service; unknown services are named.
    HostObjectFactory::Instance().Unregister(progid::ShareProps);
    EXPECT_EQ(GetPropsString(), "");
    EXPECT_TRUE(ErrorOf([] { HostObjectFactory::Instance().Create("No.Such"); }).contains("No.Such"));
}

TEST_F(Host, LanguageComesFromPropertiesThenTheSystemAndSticks) {
    EXPECT_EQ(GetLangString("信息提示"), "信息提示");
    World().English["信息提示"] = "Information";
    World().SystemLanguage = "en";
    ResetState();
    EXPECT_EQ(GetLangString("信息提示"), "Information");
    World().SystemLanguage = "zh";
    EXPECT_EQ(GetLangString("信息提示"), "Information"); // read once per process
    ResetState();
    World().PropsString = "Language=zh;";
    World().SystemLanguage = "en";
    EXPECT_EQ(GetLangString("信息提示"), "信息提示");
    HostObjectFactory::Instance().Unregister(progid::ResLoader);
    ResetState();
    World().PropsString = "Language=en;";
    EXPECT_EQ(GetLangString("信息提示"), "信息提示"); // no loader
}

TEST_F(Host, EnglishKeepsBlanksAddsSpacingAndTranslatesMarkedPiecesOnly) {
    World().PropsString = "Language=en;";
    World().English = {{"数量", "Quantity"}, {"单据[", "Bill ["}, {"]已被删除", "] has been deleted"}};
    const std::pair<QString, int> spaced[] = {{"  数量 ", 0},
                                              {"数量", LeadingBlank},
                                              {"数量", TrailingBlank},
                                              {"数量", BothBlanks},
                                              {"  数量", BothBlanks}};
    QStringList shown;
    for (const auto& [text, mode] : spaced)
        shown << GetLangString(text, mode);
    EXPECT_EQ(shown, QStringList({"  Quantity ", " Quantity", "Quantity ", " Quantity ", "  Quantity "}));
    EXPECT_EQ(World().Looked.last(), "数量");
    const QString compound =
        LangPiece("单据[") + kLangSeparator + "CG~$~001" + kLangSeparator + LangPiece("]已被删除");
    EXPECT_EQ(GetLangString(compound), "Bill [CG~$~001] has been deleted");
    EXPECT_FALSE(World().Looked.contains(compound) || World().Looked.contains("CG~$~001"));
    ResetState();
    World().PropsString = "Language=zh;";
    EXPECT_EQ(GetLangString("数量", BothBlanks), "数量"); // spacing only in English
}

TEST_F(Host, RefusalIsLocalisedAndLogsNothingAndALogFailureIsNeverNoticed) {
    World().PropsString = "UserID=1;Language=en;";
    World().English = {{"对不起，你没有相应的权限！", "Sorry!"}, {"信息提示", "Information"}};
    World().GrantedMask = 0;
    EXPECT_FALSE(CheckRight(rights::Export));
    EXPECT_EQ(World().AccessAsked, QVector<qint32>({16}));
    ClsPurchasePlanMain().Show();
    EXPECT_TRUE(World().Log.isEmpty());
    ASSERT_EQ(Shown(), QStringList({"Sorry!", "Sorry!"}));
    EXPECT_EQ(prompts->Log[1].Title + "|" + QString::number(prompts->Log[1].Style), "Information|64");

    World().GrantedMask = rights::Query;
    QString bill;
    ClsPurchasePlanMain().Show(bill);
    ASSERT_EQ(World().Log.size(), 1);
    EXPECT_EQ(World().Log[0].Code + "|" + QString::number(World().Log[0].Type) + "|" + World().Log[0].Name,
              "CGPlan001|3|采购计划单查询");

    World().LogFails = true;
    EXPECT_NO_THROW(WriteOperationLog(logs::Save));
    // A failing access check is the caller's error.
    World().AccessFails = true;
    EXPECT_THROW(HasRight(rights::Save), Error);
    EXPECT_THROW(ClsPurchasePlanMain().Show(), Error);
    EXPECT_EQ(World().Log.size(), 1);
    HostObjectFactory::Instance().Unregister(progid::GLData);
    EXPECT_NO_THROW(WriteOperationLog(logs::Save));
}
