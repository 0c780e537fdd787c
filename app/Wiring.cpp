#include "Wiring.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "services/access/AccessService.h"
#include "services/access/frmUsers.h"
#include "services/bills/BillsService.h"
#include "services/bills/OrderPrintService.h"
#include "services/dataimport/frmImport.h"
#include "services/lookup/LookupViewService.h"
#include "services/planning/EntryWatchService.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PriceService.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/platform/HelpService.h"
#include "services/platform/PlatformServices.h"
#include "services/profile/ProfileService.h"
#include "services/profile/UserProfileService.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zpp::app {

QString BuildPropsString(const store::Session& session) {
    QString props =
        QStringLiteral("UserID=%1;UserName=%2;").arg(session.UserId).arg(QuotePropValue(session.UserName));
    if (!session.Language.isEmpty())
        props += QStringLiteral("Language=%1;").arg(QuotePropValue(session.Language));
    props += QStringLiteral("Store=%1;").arg(QuotePropValue(session.Db->DisplayName()));
    return props;
}

QString UseQtLanguage(const store::Session& session) {
    const QString language =
        session.Language.isEmpty() ? services::LangInfoService().CurrentLanguage() : session.Language;
    const bool chinese = language.startsWith(QStringLiteral("zh"), Qt::CaseInsensitive);
    QLocale::setDefault(chinese ? QLocale(QLocale::Chinese, QLocale::China) : QLocale(language));
    // One catalogue for the process, installed once and kept to the end.
    static QTranslator* qtTexts = nullptr;
    if (chinese && !qtTexts) {
        auto* texts = new QTranslator(QCoreApplication::instance());
        if (texts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(texts);
            qtTexts = texts;
        } else {
            delete texts;
        }
    } else if (!chinese && qtTexts) {
        QCoreApplication::removeTranslator(qtTexts);
        delete qtTexts;
        qtTexts = nullptr;
    }
    return language;
}

void Wire(const store::SessionPtr& session) {
    services::RegisterPlatformServices();
    services::SharePropsService::SetProperty(QCoreApplication::applicationPid(),
                                             QStringLiteral("PropsString"), BuildPropsString(*session));
    RegisterService<services::AccessService>(progid::GLData, session);
    RegisterService<services::LookupViewService>(progid::GLView, session);
    RegisterService<services::PurchasePlanInfoService>(progid::PurchasePlanInfo, session);
    RegisterService<services::MrpDataService>(progid::MrpDataServer, session);
    RegisterService<services::PriceService>(progid::BillDataAccess, session);
    RegisterService<services::PurchasePlanUpdateService>(progid::PurchasePlanUpdate, session);
    RegisterService<services::ProfileService>(progid::Profile, session);
    RegisterService<services::ProfileService>(progid::ProfileRead, session);
    RegisterService<services::UserProfileService>(progid::UserProfileInfo, session);
    RegisterService<services::HelpService>(progid::ChmHelp, session->Language);
    RegisterService<services::BillsService>(progid::Bills, session);
    RegisterService<services::OldDataSrvService>(progid::OldDataSrv, session);
    RegisterService<services::BillLookUpService>(progid::BillLookUp, session);
    RegisterService<services::OrderPrintService>(progid::OrderPrint, session);
    RegisterService<services::UserAdminService>(progid::UserAdmin, session);
    RegisterService<services::DataImporterService>(progid::DataImporter, session);
    RegisterService<services::EntryWatchService>(progid::EntryWatch, session);
    RegisterPurchasePlanComponent();
}

} // namespace zpp::app
