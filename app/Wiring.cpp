#include "Wiring.h"

#include "component/ClsPurchasePlanMain.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "services/access/AccessService.h"
#include "services/bills/BillsService.h"
#include "services/lookup/LookupViewService.h"
#include "services/planning/MrpDataService.h"
#include "services/planning/PriceService.h"
#include "services/planning/PurchasePlanInfoService.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/platform/HelpService.h"
#include "services/platform/PlatformServices.h"
#include "services/profile/ProfileService.h"
#include "services/profile/UserProfileService.h"

#include <QCoreApplication>

namespace zpp::app {

QString BuildPropsString(const store::Session& session) {
    QString props =
        QStringLiteral("UserID=%1;UserName=%2;").arg(session.UserId).arg(QuotePropValue(session.UserName));
    if (!session.Language.isEmpty())
        props += QStringLiteral("Language=%1;").arg(QuotePropValue(session.Language));
    props += QStringLiteral("Store=%1;").arg(QuotePropValue(session.Db->DisplayName()));
    return props;
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
    RegisterPurchasePlanComponent();
}

} // namespace zpp::app
