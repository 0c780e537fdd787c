#include "DeskConfig.h"

#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zpp::app {

DeskConfig ReadDeskConfig() {
    DeskConfig config;
    const QStringList files = QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation,
                                                        QString::fromLatin1(kDeskConfigFile));
    // locateAll lists the user's own file first: the first file that sets a key wins.
    for (const QString& file : files) {
        if (!QFileInfo(file).isReadable())
            throw Error(ui::Tr("无法读取配置文件“%1”").arg(file));
        const QSettings settings(file, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            throw Error(ui::Tr("配置文件“%1”格式错误").arg(file));
        const QString store = settings.value(QStringLiteral("Store/Location")).toString().trimmed();
        if (config.Store.isEmpty() && !store.isEmpty()) {
            config.Store = store;
            config.Source = file;
        }
        const QString lang = settings.value(QStringLiteral("Desk/Language")).toString().trimmed();
        if (config.Language.isEmpty() && !lang.isEmpty())
            config.Language = lang;
    }
    return config;
}

} // namespace zpp::app
