#include "Access.h"

#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/GLData.h"
#include "component/host/contracts/GLView.h"
#include "platform/ui/Prompt.h"

#include <QDir>
#include <QStringList>

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
QString logs::ChartOutputName(const LogEntry& entry, const QString& file) {
    if (file.isEmpty())
        return QString::fromUtf8(entry.Name) + QStringLiteral("（图表）");
    return QString::fromUtf8(entry.Name) + QStringLiteral("（图表：") + QDir::toNativeSeparators(file) +
           QStringLiteral("）");
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

const QVector<rights::Named>& rights::All() {
    static const QVector<Named> names = {
        {"query", Query, "查询"},   {"save", Save, "保存"},   {"close", Close, "关闭"},
        {"delete", Delete, "删除"}, {"push", Push, "下推"},   {"export", Export, "引出"},
        {"print", Print, "打印"},   {"price", Price, "单价"}, {"import", Import, "导入"}};
    return names;
}

QString RightRefusal(qint32 mask) {
    QStringList captions;
    for (const rights::Named& r : rights::All())
        if (mask & r.Mask)
            captions << GetLangString(QString::fromUtf8(r.Caption));
    const QString refusal = GetLangString(QStringLiteral("对不起，你没有相应的权限！"));
    if (captions.isEmpty())
        return refusal;
    // The right is named as the users window shows it, so the user knows what to ask for.
    return refusal + QStringLiteral("\n") +
           GetLangString(QStringLiteral("所需权限：%1"))
               .arg(captions.join(GetLangString(QStringLiteral("、"))));
}

bool CheckRight(qint32 mask) {
    if (HasRight(mask))
        return true;
    ui::MsgBox(RightRefusal(mask), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
    return false;
}

} // namespace zpp
