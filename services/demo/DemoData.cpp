#include "DemoData.h"

#include <QFileInfo>

namespace zpp::store {

StorePtr GenerateStore(const QString& location, qlonglong planEntries) {
    const bool isUrl = location.contains(QStringLiteral("://"));
    if (!isUrl && QFileInfo::exists(location))
        throw Error(
            QStringLiteral("\"%1\" 已存在；生成演示数据只会创建新的数据库，不会覆盖已有文件").arg(location));
    StorePtr db = Store::Open(location);
    if (!db->WasCreated())
        throw Error(
            QStringLiteral("%1 中已有采购计划数据库；生成演示数据只会创建新的数据库").arg(db->DisplayName()));
    Q_UNUSED(planEntries);
    return db;
}

} // namespace zpp::store
