#include "component/ClsPurchasePlanMain.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "component/host/Props.h"
#include "platform/ini/IniFile.h"
#include "support/Fakes.h"

#include <QTemporaryDir>

using namespace zpp;
using namespace zpp::test;

using Props = HostFixture;

TEST_F(Props, BracedValuesStrayTextMissingFinalSemicolonAndBadInput) {
    ASSERT_TRUE(ParsePropsString(" UserID = 7 ; Conn = {a;b=c} x ; Language=en"));
    EXPECT_EQ(GetPropItem("userid"), "7");
    EXPECT_EQ(GetPropItem("CONN"), "a;b=c");
    EXPECT_EQ(GetPropItem("Language"), "en");
    EXPECT_EQ(State().PropsCollection->Count(), 3);
    EXPECT_EQ(GetUserID(), 7);

    // Text after the last entry.
    ParsePropsString("A=1;   ");
    EXPECT_EQ(State().PropsCollection->Count(), 1);
    ParsePropsString("A=1;junk");
    EXPECT_EQ(State().PropsCollection->Count(), 2);
    EXPECT_EQ(GetPropItem("junk"), "");
    ParsePropsString("");
    EXPECT_EQ(State().PropsCollection->Count(), 0);
    EXPECT_THROW(GetPropItem("UserID"), Error);

    EXPECT_THROW(ParsePropsString("UserID=1;userid=2;"), Error); // keys differing in case
    ParsePropsString("UserID=40000;");                           // outside sixteen bits
    try {
        GetUserID();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains("40000"));
    }
    ParsePropsString("UserID=abc;");
    EXPECT_THROW(GetUserID(), Error);
}

TEST_F(Props, ValuesReadFromTheSharedStringAndQuotedValuesReadBack) {
    World().PropsString = "UserID=3;Store={/a;b};Language=en;";
    EXPECT_EQ(GetPropsValue("store"), "/a;b");
    EXPECT_EQ(GetPropsValue("Missing"), "");
    EXPECT_EQ(GetPropsString(), World().PropsString);
    // What the host writes reads back unchanged.
    QString quoted = "x=" + QuotePropValue("p;q=r ") + ";";
    ReadPropKey(quoted);
    EXPECT_EQ(ReadPropValue(quoted), "p;q=r");
}

TEST_F(Props, UnknownIdentifierNamesIt) {
    try {
        HostObjectFactory::Instance().Create("No.Such");
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains("No.Such"));
    }
    // Shared properties never fail, even without the service.
    HostObjectFactory::Instance().Unregister(progid::ShareProps);
    EXPECT_EQ(GetPropsString(), "");
}

using Lang = HostFixture;

TEST_F(Lang, WithoutLanguageTheBuiltInTextIsShown) {
    EXPECT_EQ(GetLangString("信息提示"), "信息提示");
    World().English["信息提示"] = "Information";
    HostObjectFactory::Instance().Unregister(progid::ResLoader);
    ResetState();
    World().PropsString = "Language=en;";
    EXPECT_EQ(GetLangString("信息提示"), "信息提示"); // no loader
}

TEST_F(Lang, LanguageComesFromPropertiesThenTheSystemAndSticks) {
    World().English["信息提示"] = "Information";
    World().SystemLanguage = "en";
    EXPECT_EQ(GetLangString("信息提示"), "Information");
    World().SystemLanguage = "zh";
    EXPECT_EQ(GetLangString("信息提示"), "Information"); // read once per process
    ResetState();
    World().PropsString = "Language=zh;";
    World().SystemLanguage = "en";
    EXPECT_EQ(GetLangString("信息提示"), "信息提示");
}

TEST_F(Lang, BlanksAroundTheCoreAndSpacingModes) {
    World().PropsString = "Language=en;";
    World().English["数量"] = "Quantity";
    EXPECT_EQ(GetLangString("  数量 "), "  Quantity ");
    EXPECT_EQ(GetLangString("数量", LeadingBlank), " Quantity");
    EXPECT_EQ(GetLangString("数量", TrailingBlank), "Quantity ");
    EXPECT_EQ(GetLangString("数量", BothBlanks), " Quantity ");
    EXPECT_EQ(GetLangString("  数量", BothBlanks), "  Quantity ");
    EXPECT_EQ(World().Looked.last(), "数量");
    ResetState();
    World().PropsString = "Language=zh;";
    EXPECT_EQ(GetLangString("数量", BothBlanks), "数量"); // spacing only in English
}

TEST_F(Lang, CompoundTextsTranslateMarkedPiecesOnly) {
    World().PropsString = "Language=en;";
    World().English["单据["] = "Bill [";
    World().English["]已被删除"] = "] has been deleted";
    const QString compound =
        LangPiece("单据[") + kLangSeparator + "CG~$~001" + kLangSeparator + LangPiece("]已被删除");
    EXPECT_EQ(GetLangString(compound), "Bill [CG~$~001] has been deleted");
    EXPECT_FALSE(World().Looked.contains(compound));
    EXPECT_FALSE(World().Looked.contains("CG~$~001"));
}

TEST_F(Lang, DebugSwitchReadsTheDeveloperIniAndRestoresTheService) {
    QTemporaryDir root;
    ini::SetPathRoot(root.path());
    ini::Service().SetFileName("/some/app.ini");
    EXPECT_EQ(IsDebugMode(), 0);
    ASSERT_TRUE(ini::Write("C:\\RptTest.Ini", "Para", "Debug", "1.2abc"));
    EXPECT_EQ(IsDebugMode(), 1);
    EXPECT_EQ(ini::Service().FileName(), "/some/app.ini");
    ini::SetPathRoot({});
}

using AccessAndLog = HostFixture;

TEST_F(AccessAndLog, RefusalShowsTheLocalisedMessage) {
    World().PropsString = "UserID=1;Language=en;";
    World().English["对不起，你没有相应的权限！"] = "Sorry!";
    World().English["信息提示"] = "Information";
    World().GrantedMask = 0;
    EXPECT_FALSE(CheckRight(rights::Export));
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "Sorry!");
    EXPECT_EQ(prompts->Log[0].Title, "Information");
    EXPECT_EQ(prompts->Log[0].Style, ui::OkOnly | ui::Information);
    EXPECT_EQ(World().AccessAsked, QVector<qint32>({16}));
}

TEST_F(AccessAndLog, FailingLogServiceIsNeverNoticed) {
    World().LogFails = true;
    EXPECT_NO_THROW(WriteOperationLog(logs::Save));
    HostObjectFactory::Instance().Unregister(progid::GLData);
    EXPECT_NO_THROW(WriteOperationLog(logs::Save));
    // The access check itself is an error of the caller.
    EXPECT_THROW(HasRight(rights::Save), Error);
}

TEST_F(AccessAndLog, ShowIsRefusedWithoutALogRecordOrLogsTheQueryFirst) {
    World().GrantedMask = 0x7fffffff & ~rights::Query;
    ClsPurchasePlanMain().Show();
    EXPECT_TRUE(World().Log.isEmpty());
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "对不起，你没有相应的权限！");
    EXPECT_EQ(prompts->Log[0].Title, "信息提示");

    World().GrantedMask = rights::Query;
    QString bill;
    ClsPurchasePlanMain().Show(bill);
    ASSERT_EQ(World().Log.size(), 1);
    EXPECT_EQ(World().Log[0].Code, "CGPlan001");
    EXPECT_EQ(World().Log[0].Type, 3);
    EXPECT_EQ(World().Log[0].Name, "采购计划单查询");

    // A failing access service is the caller's error.
    World().Log.clear();
    World().AccessFails = true;
    EXPECT_THROW(ClsPurchasePlanMain().Show(), Error);
    EXPECT_TRUE(World().Log.isEmpty());
}
