#include "Access.h"

#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/GLData.h"
#include "component/host/contracts/GLView.h"
#include "platform/ui/Prompt.h"

#include <QDir>

namespace zpp {

QString logs::DeletedName(const QString& billNo) {
    return QStringLiteral("单据[") + billNo + QStringLiteral("]已被删除");
}
QString logs::DeleteFailedName(const QString& billNo) {
    return QStringLiteral("单据[") + billNo + QStringLiteral("]删除失败");
}
QString logs::ExportedPdfName(const QString& file) {
    return QString::fromUtf8(Export.Name) + QStringLiteral("（PDF：") + QDir::toNativeSeparators(file) +
           QStringLiteral("）");
}

QString logs::OrderPrintedName(const QString& billNo) {
    return QStringLiteral("采购订单[") + billNo + QStringLiteral("]打印");
}
QString logs::OrderExportedName(const QString& billNo, const QString& file) {
    return QStringLiteral("采购订单[") + billNo + QStringLiteral("]引出（") + file + QStringLiteral("）");
}
QString logs::ImportedName(const QString& kind, const QString& file, qint64 rows) {
    return QStringLiteral("数据导入（%1：%2，%3 行）").arg(kind, file).arg(rows);
}

std::shared_ptr<GLData> GetGLData() {
    auto& shared = State().SharedGLData;
    if (!shared)
        shared = CreateObject<GLData>(QString::fromLatin1(progid::GLData));
    return shared;
}

std::shared_ptr<GLView> GetGLView() {
    auto& shared = State().SharedGLView;
    if (!shared)
        shared = CreateObject<GLView>(QString::fromLatin1(progid::GLView));
    return shared;
}

void WriteOperationLog(const QString& code, qint32 type, const QString& name) {
    try {
        // A fresh object per record, so a broken shared one never loses the log.
        auto log = CreateObject<GLData>(QString::fromLatin1(progid::GLData));
        QString c = code, n = name;
        qint32 t = type;
        log->WriteLog(c, t, n);
    } catch (...) {
    }
}

void WriteOperationLog(const LogEntry& entry) {
    WriteOperationLog(QString::fromUtf8(entry.Code), entry.Type, QString::fromUtf8(entry.Name));
}

bool HasRight(qint32 mask) {
    return GetGLData()->AccessCheck(rights::Subsystem, rights::Module, mask);
}

void ShowRefusal(const QString& builtInText) {
    ui::MsgBox(GetLangString(builtInText), ui::OkOnly | ui::Information,
               GetLangString(QStringLiteral("信息提示")));
}

bool CheckRight(qint32 mask) {
    if (HasRight(mask))
        return true;
    ShowRefusal(QStringLiteral("对不起，你没有相应的权限！"));
    return false;
}

} // namespace zpp
