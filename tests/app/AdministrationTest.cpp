#include "AppFixture.h"
#include "services/access/CompanySettings.h"
#include "services/access/Rights.h"
#include "services/access/UserAdministration.h"
#include "services/access/frmUsers.h"
#include "services/bills/PurchaseOrderStore.h"
#include "services/store/DatabaseRoles.h"

#include <QHeaderView>
#include <QInputMethodEvent>
#include <QMenu>
#include <QProcess>
#include <QTableView>

using namespace zpp;
using namespace zpp::test;

namespace {
using services::frmUsers;

// Typed as a user types it: Latin text key by key, Chinese through the input method's commit.
void Type(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        if (ch.unicode() < 128) {
            QTest::keyClick(w, ch.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(ch));
            QApplication::sendEvent(w, &commit);
        }
    }
}

// The administration windows under 文件, as an administrator and as others use them.
class Administration : public AppTest {
protected:
    // Users of this store alone: roles belong to the server, which other tests share.
    QString clerk, temp;

    void SetUp() override {
        AppTest::SetUp();
        if (!db)
            return;
        const QString base = db->IsSQLite() ? QStringLiteral("s") : store::OwnerRole(*db).chopped(6);
        clerk = base + "_clerk";
        temp = base + "_temp";
    }
    // The session of a user as the program logs it in (on PostgreSQL with its own role).
    store::SessionPtr Session(const QString& user) {
        return std::make_shared<store::Session>(
            db->IsSQLite() ? store::LogIn(db, user)
                           : store::LogInAsConnected(store::Store::Open(As(location, user, user)), user));
    }
    // The File menu opened and its entry clicked, as a user does.
    static void ClickFileMenu(frmPurchasePlan& list, const char* key) {
        auto* file = list.findChild<QMenu*>("mnuFile");
        QAction* entry = list.Tool("mnuFile", QString::fromLatin1(key));
        ASSERT_TRUE(file && entry);
        file->popup(list.mapToGlobal(QPoint(10, 10)));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(file));
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(entry).center());
        QCoreApplication::processEvents();
    }
    static void Click(QDialog& d, const char* button) {
        QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    static void ClickCell(QTableView* view, int row, int column) {
        const QModelIndex at = view->model()->index(row, column);
        view->scrollTo(at);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(at).center());
    }
    static int RowOf(QTableView* view, const QString& name) {
        for (int r = 0; r < view->model()->rowCount(); ++r)
            if (view->model()->index(r, frmUsers::kNameColumn).data().toString() == name)
                return r;
        return -1;
    }
    // The editor F2 opens on a cell of the users window, with its text selected.
    static QLineEdit* Edit(QTableView* view, int row, int column) {
        ClickCell(view, row, column);
        QTest::keyClick(view, Qt::Key_F2);
        for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) {
                e->selectAll();
                return e;
            }
        return nullptr;
    }
    QString Setting(const char* key) {
        return db->Scalar("SELECT value FROM system_settings WHERE section = 'Company' AND key = ?", {key})
            .toString();
    }
    QString Company() {
        return Rows(*db, "SELECT key, value FROM system_settings WHERE section = 'Company' ORDER BY key");
    }
    // An order the user wrote, for what its documents say of its buyer.
    qint64 OrderOf(const QString& user) {
        const qint64 order = db->Scalar("SELECT MIN(id) FROM purchase_orders").toLongLong();
        db->Exec("UPDATE purchase_orders SET created_by = (SELECT id FROM users WHERE name = ?) WHERE id = ?",
                 {user, order});
        return order;
    }
    QString BuyerOf(qint64 order) { return services::PurchaseOrderStore(Session("admin")).Load(order).Buyer; }
};

// 文件 → 公司设置: the administrator types the company's name, currency, delivery address and
// payment terms and saves them (the last three new rows); leaving with a change asks first; a text
// too long or a setting unknown writes nothing of its call. A user who is no administrator is told
// so and sees no window.
TEST_P(Administration, TheAdministratorSetsTheCompanyInItsWindowAndNobodyElseCan) {
    db->Exec("DELETE FROM system_settings WHERE section = 'Company' AND key NOT IN ('Name', 'Address')");
    const QString address = Setting("Address");
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    QStringList shown;
    auto type = [](QDialog& d, const char* key, const QString& text) {
        auto* field = d.findChild<QLineEdit*>(QStringLiteral("txt") + key);
        ASSERT_TRUE(field) << key;
        field->setFocus();
        field->selectAll();
        Type(field, text);
    };
    Answer([&](QDialog& d) {
        shown << d.objectName();
        EXPECT_EQ(d.findChild<QLineEdit*>("txtAddress")->text(), address);
        type(d, "Name", " 星河机电有限公司 ");
        type(d, "Currency", "人民币");
        type(d, "DeliveryAddress", "苏州市星湖街 1 号 3 号仓库");
        type(d, "PaymentTerms", "月结 30 天");
        Click(d, "cmdSave");
    });
    ClickFileMenu(*list, "iCompany");
    const QString saved = "Address|" + address +
                          ",Currency|人民币,DeliveryAddress|苏州市星湖街 1 号 3 号仓库,Name|星河机电有限公司,"
                          "PaymentTerms|月结 30 天";
    EXPECT_EQ(Company(), saved);
    EXPECT_EQ(Said(), QStringList({"保存成功！"}));

    // Esc with a change asks; No leaves the store as it was.
    prompts->QueueAnswer(ui::No);
    Answer([&](QDialog& d) {
        shown << d.objectName();
        type(d, "PaymentTerms", "货到付款");
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
    });
    ClickFileMenu(*list, "iCompany");
    EXPECT_EQ(Said().last(), "公司设置已修改，是否保存？");
    EXPECT_EQ(Company(), saved);

    services::CompanySettings settings(Session("admin"));
    EXPECT_THROW(settings.Write({{"Currency", "EUR"}, {"PaymentTerms", QString(501, u'x')}}), Error);
    EXPECT_THROW(settings.Write({{"Currency", "EUR"}, {"Bank", "x"}}), Error);
    EXPECT_EQ(Company(), saved);

    // buyer holds the rights to open the list, not to administer it.
    list->close();
    prompts->Clear();
    list = OpenList("buyer");
    ASSERT_TRUE(list);
    Answer([&](QDialog& d) { shown << d.objectName(); });
    ClickFileMenu(*list, "iCompany");
    EXPECT_EQ(shown, QStringList({"frmCompany", "frmCompany"}));
    EXPECT_EQ(Said(), QStringList({"只有拥有全部权限的管理员才能修改公司设置"}));
    EXPECT_THROW(services::CompanySettings(Session("buyer")).Write({{"Name", "x"}}), Error);
    EXPECT_EQ(Company(), saved);
}

// 用户与权限: a new user's full name is typed in its row right after it is added, another's changed
// with F2; every log-in shows whole however long. The purchase order names its buyer by full name,
// by log-in when there is none.
TEST_P(Administration, UsersGetFullNamesAndTheOrderNamesItsBuyerByThem) {
    const QString wide = clerk + "_wangxiaoming_purchasing";
    services::UserAdministration admin(Session("admin"));
    admin.AddUser(clerk, {});
    const qint64 order = OrderOf(clerk);
    EXPECT_EQ(BuyerOf(order), clerk);
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Answer([&](QDialog& d) {
        auto* view = d.findChild<QTableView*>("grdUsers");
        prompts->QueueInput(wide);
        Click(d, "cmdAdd");
        const int added = RowOf(view, wide);
        ASSERT_GE(added, 0);
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                editor = e;
        ASSERT_TRUE(editor) << "the new user's full name is asked for in its row";
        EXPECT_EQ(view->currentIndex(), view->model()->index(added, frmUsers::kFullNameColumn));
        Type(editor, "王小明");
        QTest::keyClick(editor, Qt::Key_Return);
        QLineEdit* other = Edit(view, RowOf(view, clerk), frmUsers::kFullNameColumn);
        ASSERT_TRUE(other);
        Type(other, "李采购");
        QTest::keyClick(other, Qt::Key_Return);
        Click(d, "cmdSave");
        EXPECT_GE(view->columnWidth(frmUsers::kNameColumn), view->fontMetrics().horizontalAdvance(wide))
            << "the log-in is cut";
        EXPECT_EQ(view->model()->index(RowOf(view, wide), frmUsers::kFullNameColumn).data().toString(),
                  "王小明");
    });
    list->Tool("mnuFile", "iUsers")->trigger();
    EXPECT_EQ(Said(), QStringList({"新用户的用户名：", "保存成功！"}));
    EXPECT_EQ(
        Rows(*db, QString("SELECT name, full_name FROM users WHERE name LIKE '%1%' ORDER BY id").arg(clerk)),
        clerk + "|李采购," + wide + "|王小明");
    EXPECT_EQ(BuyerOf(order), "李采购");
    admin.SetFullName(clerk, " ");
    EXPECT_EQ(BuyerOf(order), clerk);
    EXPECT_THROW(admin.SetFullName(clerk, QString(81, u'名')), Error);
}

// A user is disabled (no log-in; on PostgreSQL the role loses LOGIN and its privileges), enabled with
// the rights it had, and deleted: no longer listed, no rights, no log-in, its name not to be taken
// again, while its order still names it. Nobody disables themself, and no save leaves the store
// without an administrator.
TEST_P(Administration, AUserIsDisabledEnabledAndDeletedKeepingWhatTheyWrote) {
    const bool pg = !db->IsSQLite();
    services::UserAdministration admin(Session("admin"));
    for (const QString& user : {clerk, temp}) {
        admin.AddUser(user, user == clerk ? "职员" : "");
        admin.Grant(user, rights::Query | rights::Save);
        if (pg)
            admin.SetPassword(user, user);
    }
    const qint64 order = OrderOf(clerk);
    // A session of the user's, open before it is disabled: on PostgreSQL the server refuses it too.
    const store::SessionPtr open = Session(clerk);
    auto holds = [&] {
        try {
            return services::Holds(*open, rights::Query);
        } catch (const Error&) {
            return false;
        }
    };
    auto logsIn = [&](const QString& user) {
        return pg ? AsClient(location, user, "SELECT count(*) FROM plan_entries") == "" : holds();
    };
    ASSERT_TRUE(logsIn(clerk));
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Answer([&](QDialog& d) {
        auto* view = d.findChild<QTableView*>("grdUsers");
        auto* toggle = d.findChild<QPushButton*>("cmdDisable");
        ClickCell(view, RowOf(view, "admin"), frmUsers::kNameColumn);
        Click(d, "cmdDisable");
        ClickCell(view, RowOf(view, clerk), frmUsers::kNameColumn);
        EXPECT_EQ(toggle->text(), "停用(&D)");
        Click(d, "cmdDisable");
        EXPECT_EQ(view->model()->index(RowOf(view, clerk), frmUsers::kStateColumn).data().toString(), "停用");
        EXPECT_EQ(toggle->text(), "启用(&E)");
        EXPECT_EQ(db->Scalar("SELECT status FROM users WHERE name = ?", {clerk}).toString(), "disabled");
        EXPECT_FALSE(holds()) << "a session open already holds nothing from now on";
        EXPECT_FALSE(logsIn(clerk));
        if (pg)
            EXPECT_EQ(
                Rows(*db, QString("SELECT rolcanlogin, has_table_privilege('%1', 'plan_entries', 'SELECT')"
                                  " FROM pg_roles WHERE rolname = '%1'")
                              .arg(clerk)),
                "false|false");
        Click(d, "cmdDisable");
        EXPECT_TRUE(logsIn(clerk)) << "enabled with the rights it had";
        EXPECT_EQ(toggle->text(), "停用(&D)");

        // admin unticks one of its own rights: it would be the store's last administrator no more.
        ClickCell(view, RowOf(view, "admin"), frmUsers::kFirstRight);
        QTest::keyClick(view, Qt::Key_Space);
        Click(d, "cmdSave");
        EXPECT_EQ(Count("SELECT granted_mask & 1 FROM user_rights WHERE user_id = 1"), 1);

        prompts->QueueAnswer(ui::No); // the unticked right is dropped
        prompts->QueueAnswer(ui::Yes);
        ClickCell(view, RowOf(view, temp), frmUsers::kNameColumn);
        Click(d, "cmdDelete");
        prompts->QueueAnswer(ui::Yes);
        ClickCell(view, RowOf(view, clerk), frmUsers::kNameColumn);
        Click(d, "cmdDelete");
        EXPECT_EQ(RowOf(view, clerk), -1);
        EXPECT_EQ(RowOf(view, temp), -1);
        prompts->QueueInput(clerk);
        Click(d, "cmdAdd");
    });
    list->Tool("mnuFile", "iUsers")->trigger();
    EXPECT_EQ(
        Said(),
        QStringList(
            {"不能停用或删除自己（admin）：请由另一位管理员来做",
             "用户“" + clerk + "”已停用：不能再登录，其权限保留到再次启用", "用户“" + clerk + "”已启用",
             "保存失败！\n至少要保留一位拥有全部权限的管理员：本次修改未保存", "用户与权限已修改，是否保存？",
             "删除用户“" + temp + "”？删除后该用户不能登录，也不再列出；其单据和日志仍保留。",
             "用户“" + temp + "”已删除",
             "删除用户“" + clerk + "”？删除后该用户不能登录，也不再列出；其单据和日志仍保留。",
             "用户“" + clerk + "”已删除", "新用户的用户名：",
             "用户名“" + clerk + "”属于一个已删除的用户，其单据和日志仍以此名记录；请另取一个用户名"}));
    EXPECT_EQ(
        Count(
            "SELECT COUNT(*) FROM user_rights r JOIN users u ON u.id = r.user_id WHERE u.status <> 'active'"),
        0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM users WHERE status = 'deleted'"), 2);
    EXPECT_EQ(Count("SELECT granted_mask FROM user_rights WHERE user_id = 1"), 2147483647);
    EXPECT_EQ(BuyerOf(order), "职员");
    EXPECT_FALSE(logsIn(clerk));
    if (pg)
        EXPECT_EQ(Rows(*db, QString("SELECT rolcanlogin, pg_has_role(oid, '%2_users', 'MEMBER') FROM pg_roles"
                                    " WHERE rolname = '%1'")
                                .arg(clerk, store::OwnerRole(*db).chopped(6))),
                  "false|false");
}

// In English the filter dialog names the suggestion number as the list's column and the import do.
TEST_P(Administration, InEnglishTheFilterNamesTheSuggestionNumberAsTheListDoes) {
    if (GetParam() != StoreKind::SQLite)
        GTEST_SKIP() << "the same on both stores";
    LogIn("admin", "en");
    QString label;
    Answer([&](QDialog& d) {
        label = d.findChild<QLabel*>("lblBBillNo")->text();
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    ClsPurchasePlanMain().Show();
    ASSERT_EQ(OpenListWindows().size(), 1);
    const QString column = OpenListWindows()[0]
                               ->vsProc()
                               .View()
                               ->model()
                               ->headerData(col::BillNo - 1, Qt::Horizontal)
                               .toString();
    EXPECT_EQ(column, "Suggestion no.");
    EXPECT_EQ(label, column + ":");
    EXPECT_TRUE(GetLangString("采购建议号“%1”已存在，不能再导入").startsWith(column));
}

INSTANTIATE_TEST_SUITE_P(Stores, Administration, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

// The command line sets each company setting and says what it stored, not the users; only for an
// administrator. The users' options name, disable and list them with their state.
TEST(AdministrationCommandLine, CompanyAndUserOptionsSayWhatTheyDid) {
    QTemporaryDir dir;
    const QString store = dir.filePath("s.db");
    store::GenerateStore(store, 5);
    QString out, err;
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(ZPP_APP_PATH), QStringList{"--store", store} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        out = QString::fromUtf8(p.readAllStandardOutput());
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    EXPECT_EQ(
        run({"--company-payment-terms", "月结 30 天", "--company-name", " 星河机电 ", "--company-currency",
             "人民币", "--company-delivery-address", "3 号仓库", "--company-address", "星湖街 1 号"}),
        0);
    EXPECT_EQ(
        out, "公司设置已保存：\n公司名称\t星河机电\n公司地址\t星湖街 1 号\n币别\t人民币\n交货地址\t3 号仓库\n"
             "付款条件\t月结 30 天\n");
    EXPECT_EQ(run({"--user", "buyer", "--company-name", "x"}), 2);
    EXPECT_EQ(err.trimmed(), "purchase-plan: 只有拥有全部权限的管理员才能修改公司设置");
    EXPECT_EQ(run({"--user-name", "buyer=李 采购", "--disable-user", "guest"}), 0);
    EXPECT_EQ(out.split('\n').mid(1, 2),
              QStringList({"2\tbuyer\t李 采购\tquery,save,close,push,export,print\t"
                           "01.007,01.012,01.019\tactive",
                           "3\tguest\t访客\t\t\tdisabled"}));
    EXPECT_EQ(run({"--delete-user", "guest"}), 0);
    EXPECT_FALSE(out.contains("guest"));
    EXPECT_EQ(Rows(*store::Store::Open(store), "SELECT value FROM system_settings WHERE key = 'Name'"),
              "星河机电");
}

} // namespace
