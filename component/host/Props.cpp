#include "Props.h"

#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/ShareProps.h"
#include "platform/records/Values.h"

#include <QCoreApplication>

namespace zpp {

QVariant GetShareProperty(const QString& name) {
    try {
        auto service = CreateObject<ShareProps>(QString::fromLatin1(progid::ShareProps));
        return service->GetProperty(QCoreApplication::applicationPid(), name);
    } catch (...) {
        return {};
    }
}

QString GetPropsString() {
    return GetShareProperty(QStringLiteral("PropsString")).toString();
}

QString SplitHead(QString& text, const QString& delimiter) {
    if (text.isEmpty())
        return {};
    const int at = text.indexOf(delimiter, 0, Qt::CaseInsensitive);
    if (at < 0 || delimiter.isEmpty()) {
        QString all;
        all.swap(text);
        return all;
    }
    const QString head = text.left(at);
    text = text.mid(at + delimiter.size());
    return head;
}

QString ReadPropKey(QString& text) {
    return SplitHead(text, QStringLiteral("=")).trimmed();
}

QString ReadPropValue(QString& text) {
    text = text.trimmed();
    QString value;
    if (text.startsWith(u'{')) {
        text.remove(0, 1);
        value = SplitHead(text, QStringLiteral("}"));
        SplitHead(text, QStringLiteral(";"));
    } else {
        value = SplitHead(text, QStringLiteral(";"));
    }
    return value.trimmed();
}

QString QuotePropValue(const QString& value) {
    if (value.contains(u';') || value.contains(u'=') || value.trimmed().startsWith(u'{') ||
        value != value.trimmed())
        return u'{' + value + u'}';
    return value;
}

QString GetPropsValue(const QString& key) {
    try {
        QString rest = GetPropsString();
        for (;;) {
            const QString k = ReadPropKey(rest);
            const QString v = ReadPropValue(rest);
            if (k.isEmpty())
                return {};
            if (k.compare(key, Qt::CaseInsensitive) == 0)
                return v;
        }
    } catch (...) {
        return {};
    }
}

bool ParsePropsString(const QString& props) {
    ComponentState& state = State();
    state.ParsedPropsString = props;
    auto collection = KeyedRecord::Create();
    state.PropsCollection = collection;
    QString rest = props;
    for (;;) {
        const QString key = ReadPropKey(rest);
        if (key.isEmpty())
            break;
        const QString value = ReadPropValue(rest);
        if (collection->Exists(key))
            throw Error(QStringLiteral("登录属性中的关键字 \"%1\" 重复").arg(key));
        collection->Set(key, value);
    }
    return true;
}

QString GetPropItem(const QString& key) {
    const RecordPtr& collection = State().PropsCollection;
    if (!collection || !collection->Exists(key))
        throw Error(QStringLiteral("登录属性中没有关键字 \"%1\"").arg(key));
    return collection->Text(key);
}

qint16 GetUserID() {
    const QString id = GetPropItem(QStringLiteral("UserID"));
    try {
        return values::ToInt16(id);
    } catch (const Error&) {
        throw Error(QStringLiteral("登录属性中的用户 ID \"%1\" 不是 16 位整数").arg(id.left(40)));
    }
}

} // namespace zpp
