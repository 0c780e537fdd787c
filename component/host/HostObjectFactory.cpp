#include "HostObjectFactory.h"

namespace zpp {

HostObjectFactory& HostObjectFactory::Instance() {
    static HostObjectFactory factory;
    return factory;
}

void HostObjectFactory::Register(const QString& progId, Creator creator) {
    m_creators.insert(progId.toLower(), std::move(creator));
}

void HostObjectFactory::Unregister(const QString& progId) {
    m_creators.remove(progId.toLower());
}

bool HostObjectFactory::IsRegistered(const QString& progId) const {
    return m_creators.contains(progId.toLower());
}

void HostObjectFactory::Clear() {
    m_creators.clear();
}

std::shared_ptr<ServiceObject> HostObjectFactory::Create(const QString& progId) const {
    const auto it = m_creators.find(progId.toLower());
    if (it == m_creators.end())
        throw Error(QStringLiteral("无法创建对象 \"%1\"：没有注册该标识的服务").arg(progId));
    auto object = it.value()();
    if (!object)
        throw Error(QStringLiteral("无法创建对象 \"%1\"").arg(progId));
    return object;
}

} // namespace zpp
