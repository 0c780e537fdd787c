#include "app/DeskConfig.h"
#include "app/LogIn.h"
#include "app/Wiring.h"
#include "component/ClsPurchasePlanMain.h"
#include "component/host/ProgIds.h"
#include "platform/ini/IniFile.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Timing.h"
#include "services/access/CompanySettings.h"
#include "services/access/UserAdministration.h"
#include "services/dataimport/DataImport.h"
#include "services/demo/DemoData.h"
#include "services/platform/HelpService.h"
#include "services/platform/PlatformServices.h"
#include "services/store/DatabaseRoles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>
#include <QWidget>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace zpp;

namespace {
int Fail(const QString& message, bool showBox) {
    QTextStream(stderr) << "purchase-plan: " << message << Qt::endl;
    if (showBox)
        ui::MsgBox(message, ui::OkOnly | ui::Critical, QStringLiteral("信息提示"));
    return 2;
}

// --import and --template: problems one a line on standard error, what was done on standard output.
int RunDataCommand(const store::SessionPtr& session, const QString& kindKey, const QString& file, bool templ,
                   const services::ImportOptions& options) {
    try {
        const services::ImportKindInfo& kind = services::ImportKindByKey(kindKey);
        services::DataImport import(session);
        if (templ) {
            import.WriteTemplate(kind.Kind, file);
            return 0;
        }
        const services::ImportResult r = import.Run(kind.Kind, file, options);
        // Notices do not stop a script, but are said where its problems would be.
        QTextStream err(stderr);
        for (const services::ImportProblem& p : r.Problems)
            err << services::ProblemText(p) << Qt::endl;
        for (const services::ImportProblem& n : r.Notices)
            err << ui::Tr("注意：%1").arg(services::ProblemText(n)) << Qt::endl;
        QTextStream(stdout) << services::ResultText(r) << Qt::endl;
        return r.Problems.isEmpty() ? 0 : 1;
    } catch (const std::exception& e) {
        return Fail(DescribeException(e), false);
    }
}
// A path below the home directory as ~/…: the help reads the same for every user, and the manual
// page made from it names no build machine's home.
QString Tilde(const QString& path) {
    const QString home = QDir::homePath();
    return path.startsWith(home + u'/') ? u'~' + path.mid(home.size()) : path;
}
} // namespace

int main(int argc, char** argv) {
    timing::Mark("main");
    // Generating a store and printing help need no screen.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        static const QByteArrayList headless{"--sync-roles",     "--users",
                                             "--add-user",       "--grant",
                                             "--revoke",         "--deny-supplier",
                                             "--allow-supplier", "--set-password",
                                             "--help",           "-h",
                                             "--import",         "--template",
                                             "--user-name",      "--disable-user",
                                             "--enable-user",    "--delete-user",
                                             "--version",        "-v",
                                             "--guide",          "--create-store"};
        if ((arg.startsWith("--generate") || arg.startsWith("--company-") ||
             headless.contains(arg.split('=').first())) &&
            qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A headless start has no runtime directory; give it a private one instead of Qt's warning.
    if (qgetenv("XDG_RUNTIME_DIR").isEmpty()) {
        const QByteArray runtime = "/tmp/purchase-plan-runtime-" + QByteArray::number(getuid());
        if (mkdir(runtime.constData(), 0700) == 0 || errno == EEXIST) {
            struct stat info {};
            if (stat(runtime.constData(), &info) == 0 && info.st_uid == getuid() && (info.st_mode & 077) == 0)
                qputenv("XDG_RUNTIME_DIR", runtime);
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("purchase-plan"));
    QApplication::setOrganizationName(QStringLiteral("ZelPurchasePlan"));
    QApplication::setApplicationVersion(QStringLiteral(ZPP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The purchase plan list: work through the plan an MRP run produced and push it into purchase "
        "orders.\n\n"
        "Windows-style file names used by the component (a drive letter such as C:\\RptTest.Ini, or a path "
        "below\n"
        "\"Program Files\") are resolved below the root directory (--root, or $ZPP_ROOT). The component's "
        "own\n"
        "ZAZSystem.INI lives in the configuration directory (--config-dir, or $ZPP_CONFIG_DIR)."));
    const QCommandLineOption helpOpt = parser.addHelpOption();
    const QCommandLineOption versionOpt = parser.addVersionOption();
    const QString demoStore = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/demo.db";
    QCommandLineOption storeOpt(
        "store",
        QStringLiteral(
            "The store: an SQLite file (created on first use) or postgresql://user@host:port/dbname. "
            "Default: Store/Location of purchase-plan/purchase-plan.conf in the user's or the system's "
            "configuration directory (~/.config, /etc/xdg), else the demo store %1, created and "
            "filled on first use.")
            .arg(Tilde(demoStore)),
        "PATH|URL");
    QCommandLineOption userOpt(
        "user",
        "The log-in user, by name or numeric ID. Default: admin. On PostgreSQL the user "
        "is the database role of the URL, and --user must name that role.",
        "NAME|ID");
    QCommandLineOption langOpt("lang",
                               "The language code put into the log-in properties (for example en). "
                               "Default: Desk/Language of purchase-plan.conf, else the system's "
                               "language.",
                               "CODE");
    QCommandLineOption billOpt(
        "bill", "Open the entries of this plan bill number instead of the filter dialog.", "NUMBER");
    QCommandLineOption generateOpt("generate",
                                   "Create the store given by --store with demo data and N plan entries, "
                                   "then exit. An existing store is never overwritten.",
                                   "N");
    QCommandLineOption rootOpt(
        "root", "Root directory for Windows-style paths. Default: $ZPP_ROOT or " + Tilde(ini::PathRoot()),
        "DIR");
    QCommandLineOption configOpt(
        "config-dir", "Directory of the component's ZAZSystem.INI. Default: " + Tilde(ini::ConfigDir()),
        "DIR");
    QCommandLineOption syncRolesOpt(
        "sync-roles",
        "PostgreSQL: make the database's roles and privileges what the store's users and rights "
        "tables say, as the logged-in administrator, then exit.");
    // User administration for scripts, through the same service as the window under 文件.
    const QCommandLineOption usersOpt("users", "List the users with their rights, then exit.");
    const QCommandLineOption addUserOpt("add-user", "Add a user without rights, then exit.", "NAME");
    const QCommandLineOption grantOpt(
        "grant", "Grant rights (query, save, close, delete, push, export, print, price, import, all).",
        "NAME=RIGHTS");
    const QCommandLineOption revokeOpt("revoke", "Take rights away.", "NAME=RIGHTS");
    const QCommandLineOption denyOpt("deny-supplier", "Forbid a user a supplier.", "NAME=CODE");
    const QCommandLineOption allowOpt("allow-supplier", "Allow a user a supplier again.", "NAME=CODE");
    const QCommandLineOption passwordOpt(
        "set-password", "PostgreSQL: set a user's password, read from the first line of standard input.",
        "NAME");
    const QCommandLineOption fullNameOpt("user-name", "Set a user's full name (empty: none).",
                                         "NAME=FULL NAME");
    const QCommandLineOption disableOpt("disable-user", "Disable a user: no log-in, rights kept.", "NAME");
    const QCommandLineOption enableOpt("enable-user", "Enable a disabled user again.", "NAME");
    const QCommandLineOption deleteOpt(
        "delete-user", "Delete a user: no log-in, no rights; what the user wrote keeps the name.", "NAME");
    const QList<QCommandLineOption> adminOpts{usersOpt,   addUserOpt, grantOpt,    revokeOpt,
                                              denyOpt,    allowOpt,   passwordOpt, fullNameOpt,
                                              disableOpt, enableOpt,  deleteOpt};
    // The company that heads the purchase orders, one option a setting.
    QList<std::pair<QString, QCommandLineOption>> companyOpts;
    for (const services::CompanyField& f : services::CompanyFields())
        companyOpts.push_back(
            {QLatin1String(f.Key),
             QCommandLineOption(
                 QLatin1String(f.Option),
                 QStringLiteral("Set the company's %1 shown on its purchase orders (an administrator).")
                     .arg(QString::fromLatin1(f.Words)),
                 "TEXT")});
    // A company's own data in, through the same service as 文件 → 导入.
    const QCommandLineOption importOpt(
        "import",
        "Import FILE (XLSX or CSV, first row the captions) as KIND: units, items, suppliers, prices, "
        "supplier-rights or plans. Every row is checked first; problems go to standard error with their "
        "row and column and nothing is written. Exits 1 when there were problems.",
        "KIND");
    const QCommandLineOption dryRunOpt("dry-run", "With --import: check the file and write nothing.");
    const QCommandLineOption updateOpt("update",
                                       "With --import: rows whose code exists already change that record "
                                       "instead of being refused (plans are never merged).");
    const QCommandLineOption templateOpt(
        "template", "Write the empty template of KIND to FILE (.xlsx or .csv), captions in --lang.", "KIND");
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The file of --import or --template."),
                                 QStringLiteral("[FILE]"));
    const QCommandLineOption createOpt(
        "create-store",
        "Create an empty store for your own data at --store (no demo data), then exit; an existing store "
        "is never touched. Its administrator is --user (default admin). PostgreSQL: run it as the server's "
        "superuser; it also makes the administrator's login role, with the password read from the first "
        "line of standard input (a role of that name on the server already is refused).");
    const QCommandLineOption guideOpt(
        "guide", "Print the in-program guide (帮助目录) as text, in the --lang language, then exit.");
    parser.addOptions({storeOpt, userOpt, langOpt, billOpt, generateOpt, syncRolesOpt, rootOpt, configOpt});
    parser.addOptions({guideOpt, createOpt});
    parser.addOptions(adminOpts);
    for (const auto& [key, option] : companyOpts)
        parser.addOption(option);
    parser.addOptions({importOpt, dryRunOpt, updateOpt, templateOpt});
    if (!parser.parse(QApplication::arguments()))
        return Fail(parser.errorText(), false);
    if (parser.isSet(helpOpt)) {
        QString help = parser.helpText();
        if (!help.endsWith(u'\n'))
            help += u'\n';
        QTextStream(stdout) << help;
        return 0;
    }
    if (parser.isSet(guideOpt)) {
        const QString lang = parser.isSet(langOpt) ? parser.value(langOpt) : QLocale::system().name();
        QTextStream(stdout) << services::HelpService::GuideText(lang) << Qt::endl;
        return 0;
    }
    if (parser.isSet(versionOpt)) {
        QTextStream(stdout) << QApplication::applicationName() << ' ' << QApplication::applicationVersion()
                            << Qt::endl;
        return 0;
    }

    if (parser.isSet(rootOpt))
        ini::SetPathRoot(parser.value(rootOpt));
    if (parser.isSet(configOpt))
        ini::SetConfigDir(parser.value(configOpt));

    if (parser.isSet(createOpt)) {
        if (!parser.isSet(storeOpt))
            return Fail(QStringLiteral("--create-store needs --store: the store to create"), false);
        const QString location = parser.value(storeOpt);
        try {
            const QString password =
                location.contains(QStringLiteral("://")) ? QTextStream(stdin).readLine() : QString();
            store::CreateEmptyStore(location, parser.value(userOpt), password);
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
        QTextStream(stdout) << ui::Tr("已创建数据库：%1").arg(location) << Qt::endl;
        return 0;
    }
    if (parser.isSet(generateOpt)) {
        if (!parser.isSet(storeOpt))
            return Fail(QStringLiteral("--generate needs --store: the store to create"), false);
        bool ok = false;
        const qlonglong n = parser.value(generateOpt).toLongLong(&ok);
        if (!ok || n < 0 || n > 10'000'000)
            return Fail(QStringLiteral("--generate takes a number of plan entries from 0 to 10000000"),
                        false);
        try {
            store::GenerateStore(parser.value(storeOpt), n);
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
        return 0;
    }

    // A desk's store and language, unless the command line names them.
    app::DeskConfig desk;
    try {
        desk = app::ReadDeskConfig();
    } catch (const Error& e) {
        // A box only where there is a screen to show it on.
        return Fail(e.Description(), QGuiApplication::platformName() != QLatin1String("offscreen"));
    }
    const QString language = parser.isSet(langOpt) ? parser.value(langOpt) : desk.Language;
    // The log-in window speaks the log-in language before the component takes over the texts.
    if (!language.isEmpty()) {
        auto catalogue = std::make_shared<services::ResLoaderService>();
        catalogue->SetResFileBaseName(QStringLiteral("DeZodirorazez"));
        catalogue->SetLanguageID(language);
        ui::SetTranslator([catalogue](const QString& text) { return catalogue->LoadString(text); });
    }
    const bool ownStore = parser.isSet(storeOpt) || !desk.Store.isEmpty();
    const QString location =
        parser.isSet(storeOpt) ? parser.value(storeOpt) : (desk.Store.isEmpty() ? demoStore : desk.Store);
    // User administration and the role sync run without a screen, and so without anyone to ask.
    bool adminCommand = false;
    for (const QCommandLineOption& o : adminOpts)
        adminCommand = adminCommand || parser.isSet(o);
    QHash<QString, QString> company;
    for (const auto& [key, option] : companyOpts)
        if (parser.isSet(option))
            company.insert(key, parser.value(option));
    const bool dataCommand = parser.isSet(importOpt) || parser.isSet(templateOpt);
    if (dataCommand && parser.positionalArguments().size() != 1)
        return Fail(QStringLiteral("--import and --template take KIND and one FILE"), false);
    const bool headless = adminCommand || !company.isEmpty() || dataCommand || parser.isSet(syncRolesOpt);
    // The server's superuser (or the database's owner holding CREATEROLE) upgrades a store and keeps
    // its roles without being one of its users: after a new version or a restore, before anyone
    // logs in.
    if (parser.isSet(syncRolesOpt) && location.contains(QStringLiteral("://"))) {
        try {
            const store::StorePtr db = store::Store::Open(location);
            if (!db->Scalar(QStringLiteral("SELECT 1 FROM users WHERE name = current_user")).isValid() &&
                db->Scalar(QStringLiteral("SELECT rolsuper OR rolcreaterole FROM pg_catalog.pg_roles"
                                          " WHERE rolname = current_user"))
                    .toBool()) {
                store::SyncDatabaseRoles(*db);
                QTextStream(stdout) << "purchase-plan: roles and privileges of " << db->DisplayName()
                                    << " follow the rights tables" << Qt::endl;
                return 0;
            }
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
    }
    auto session = std::make_shared<store::Session>();
    try {
        const QString user = parser.isSet(userOpt) ? parser.value(userOpt) : QString();
        if (!ownStore && !QFileInfo::exists(demoStore))
            *session =
                store::LogInAsConnected(store::GenerateStore(demoStore, store::kDefaultDemoEntries), user);
        else if (const auto loggedIn =
                     app::OpenAndLogIn(location, user, headless ? app::PasswordPrompt() : app::AskPassword))
            *session = *loggedIn;
        else
            return Fail(ui::Tr("已取消登录"), false);
    } catch (const Error& e) {
        return Fail(e.Description(), !headless);
    }
    timing::Mark("store-open");
    if (!company.isEmpty()) {
        try {
            services::CompanySettings settings(session);
            settings.Write(company);
            // What was stored, as the purchase orders will show it.
            const QHash<QString, QString> stored = settings.Values();
            QTextStream out(stdout);
            out << ui::Tr("公司设置已保存：") << Qt::endl;
            for (const services::CompanyField& f : services::CompanyFields())
                if (company.contains(QLatin1String(f.Key)))
                    out << ui::Tr(f.Caption) << '\t' << stored.value(QLatin1String(f.Key)) << Qt::endl;
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
        if (!adminCommand)
            return 0;
    }
    if (adminCommand) {
        try {
            services::UserAdministration admin(session);
            auto pair = [&](const QCommandLineOption& o) {
                const QString v = parser.value(o);
                if (!v.contains(u'='))
                    throw Error(QStringLiteral("--%1 takes NAME=VALUE").arg(o.names().first()));
                return std::pair{v.section(u'=', 0, 0), v.section(u'=', 1)};
            };
            if (parser.isSet(addUserOpt))
                admin.AddUser(parser.value(addUserOpt), {});
            if (parser.isSet(grantOpt)) {
                const auto [name, list] = pair(grantOpt);
                admin.Grant(name, services::ParseRights(list));
            }
            if (parser.isSet(revokeOpt)) {
                const auto [name, list] = pair(revokeOpt);
                admin.Revoke(name, services::ParseRights(list));
            }
            if (parser.isSet(denyOpt)) {
                const auto [name, code] = pair(denyOpt);
                admin.SetSupplierRight(name, code, false);
            }
            if (parser.isSet(allowOpt)) {
                const auto [name, code] = pair(allowOpt);
                admin.SetSupplierRight(name, code, true);
            }
            if (parser.isSet(passwordOpt))
                admin.SetPassword(parser.value(passwordOpt), QTextStream(stdin).readLine());
            if (parser.isSet(fullNameOpt)) {
                const auto [name, fullName] = pair(fullNameOpt);
                admin.SetFullName(name, fullName);
            }
            if (parser.isSet(disableOpt))
                admin.SetDisabled(parser.value(disableOpt), true);
            if (parser.isSet(enableOpt))
                admin.SetDisabled(parser.value(enableOpt), false);
            if (parser.isSet(deleteOpt))
                admin.DeleteUser(parser.value(deleteOpt));
            QTextStream out(stdout);
            for (const services::UserEntry& u : admin.Users())
                out << u.Id << '\t' << u.Name << '\t' << u.FullName << '\t' << services::RightsText(u.Mask)
                    << '\t' << u.ForbiddenSuppliers.join(u',') << '\t' << (u.Disabled ? "disabled" : "active")
                    << Qt::endl;
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
        return 0;
    }
    if (dataCommand)
        return RunDataCommand(session,
                              parser.isSet(importOpt) ? parser.value(importOpt) : parser.value(templateOpt),
                              parser.positionalArguments().first(), parser.isSet(templateOpt),
                              {parser.isSet(dryRunOpt), parser.isSet(updateOpt)});
    if (parser.isSet(syncRolesOpt)) {
        if (session->Db->IsSQLite())
            return Fail(QStringLiteral("--sync-roles: an SQLite store has no database roles"), false);
        try {
            store::SyncDatabaseRoles(*session->Db);
        } catch (const Error& e) {
            return Fail(e.Description(), false);
        }
        QTextStream(stdout) << "purchase-plan: roles and privileges of " << session->Db->DisplayName()
                            << " follow the rights tables" << Qt::endl;
        return 0;
    }
    session->Language = language;
    app::Wire(session);
    app::UseQtLanguage(*session);

    try {
        QString bill = parser.value(billOpt);
        // Created by its identifier, as any host creates the component.
        CreateObject<ClsPurchasePlanMain>(QString::fromLatin1(progid::PurchasePlanMain))->Show(bill);
    } catch (const std::exception& e) {
        return Fail(DescribeException(e), true);
    }
    if (QApplication::topLevelWidgets().isEmpty())
        return 0;
    bool anyVisible = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        anyVisible = anyVisible || w->isVisible();
    return anyVisible ? app.exec() : 0;
}
