#include "Wiring.h"

#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "services/access/AccessService.h"
#include "services/platform/PlatformServices.h"

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
    HostObjectFactory::Instance().Register(QString::fromLatin1(progid::GLData), [session] {
        return std::make_shared<services::AccessService>(session);
    });
}

} // namespace zpp::app
