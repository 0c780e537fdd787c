// What an administrator does to set up desks: a store for the company's own data, and the file that
// points every desk at it.
#include "app/DeskConfig.h"
#include "platform/records/Error.h"
#include "support/TestStores.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::test;

namespace {
void Write(const QString& dir, const QByteArray& text) {
    QDir().mkpath(dir + "/purchase-plan");
    QFile file(dir + "/" + app::kDeskConfigFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class DeskConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldDirs = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_DIRS", m_system.path().toLocal8Bit());
        m_user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QFile::remove(m_user + "/" + app::kDeskConfigFile);
    }
    void TearDown() override {
        QFile::remove(m_user + "/" + app::kDeskConfigFile);
        qputenv("XDG_CONFIG_DIRS", m_oldDirs);
    }
    QTemporaryDir m_system;
    QString m_user;
    QByteArray m_oldDirs;
};
} // namespace

TEST_F(DeskConfigTest, TheUsersFileWinsKeyByKeyOverTheSystemsAndNamesWhereTheStoreCameFrom) {
    EXPECT_TRUE(app::ReadDeskConfig().Store.isEmpty()) << "no file: the demo store";

    Write(m_system.path(), "[Store]\nLocation=postgresql://dbhost:5432/zpp\n[Desk]\nLanguage=en\n");
    app::DeskConfig config = app::ReadDeskConfig();
    EXPECT_EQ(config.Store, "postgresql://dbhost:5432/zpp");
    EXPECT_EQ(config.Language, "en");
    EXPECT_TRUE(config.Source.startsWith(m_system.path())) << config.Source.toStdString();

    Write(m_user, "[Store]\nLocation=/home/clerk/own.db\n");
    config = app::ReadDeskConfig();
    EXPECT_EQ(config.Store, "/home/clerk/own.db");
    EXPECT_EQ(config.Language, "en") << "a key the user's file leaves out still comes from the system's";
    EXPECT_TRUE(config.Source.startsWith(m_user)) << config.Source.toStdString();
}

TEST_F(DeskConfigTest, ABrokenFileIsNamedInsteadOfFallingBackToTheDemoStore) {
    Write(m_system.path(), "[Store\nLocation=/srv/plan.db\n");
    try {
        app::ReadDeskConfig();
        FAIL() << "a broken file was taken";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description().contains("purchase-plan.conf")) << e.Description().toStdString();
    }
}

namespace {
struct Outcome {
    int Code = -1;
    QString Out, Err;
};

Outcome Program(const QStringList& args, const QByteArray& input = {}, const QString& password = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty())
        env.insert("PGPASSWORD", password);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZPP_APP_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class CreateStore : public ::testing::TestWithParam<StoreKind> {};
} // namespace

// A company's store starts empty (no demo items, suppliers or plans) with an administrator who can
// log in; a second run never touches it, and on PostgreSQL a missing password makes nothing.
TEST_P(CreateStore, MakesAnEmptyStoreWithItsAdministratorAndNeverTouchesAnExistingOne) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    const bool pg = GetParam() == StoreKind::PostgreSQL;
    // Roles belong to the whole server: the administrator's name is this run's own.
    const QString admin = pg ? QStringLiteral("chief_%1").arg(QCoreApplication::applicationPid()) : "chief";
    if (pg) {
        const Outcome refused = Program({"--store", location, "--create-store", "--user", admin});
        EXPECT_EQ(refused.Code, 2);
        EXPECT_TRUE(refused.Err.contains(admin)) << refused.Err.toStdString();
        // A role the server has already (here the superuser's own) is nobody's to hand over.
        const Outcome taken = Program({"--store", location, "--create-store", "--user", "zpp"}, "pw\n");
        EXPECT_EQ(taken.Code, 2);
        EXPECT_TRUE(taken.Err.contains("已有角色")) << taken.Err.toStdString();
    }
    const Outcome made = Program({"--store", location, "--create-store", "--user", admin}, "Adm1n-secret\n");
    ASSERT_EQ(made.Code, 0) << made.Err.toStdString();
    EXPECT_EQ(Rows(*store::Store::Open(location),
                   "SELECT (SELECT count(*) FROM items) + (SELECT count(*) FROM suppliers) + "
                   "(SELECT count(*) FROM purchase_plans)"),
              "0");

    const Outcome again = Program({"--store", location, "--create-store"}, "other\n");
    EXPECT_EQ(again.Code, 2);
    EXPECT_TRUE(again.Err.contains(pg ? "已有采购计划数据库" : "已存在")) << again.Err.toStdString();

    // The administrator logs in as itself (on PostgreSQL with the password given at creation) and
    // holds every right.
    QString url = location;
    if (pg)
        url.replace(QRegularExpression("://[^@]+@"), "://" + admin + "@");
    const Outcome users =
        Program(QStringList{"--store", url, "--users"} + (pg ? QStringList() : QStringList{"--user", admin}),
                {}, pg ? "Adm1n-secret" : QString());
    ASSERT_EQ(users.Code, 0) << users.Err.toStdString();
    EXPECT_TRUE(
        users.Out.startsWith("1\t" + admin + "\t\tquery,save,close,delete,push,export,print,price,import"))
        << users.Out.toStdString();
    if (pg) {
        EXPECT_NE(Program({"--store", url, "--users"}, {}, "other").Code, 0) << "the second run's password";
        // The server's superuser, no user of the store, keeps its roles (after an upgrade or a restore).
        const Outcome sync = Program({"--store", location, "--sync-roles"});
        EXPECT_EQ(sync.Code, 0) << sync.Err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, CreateStore, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
