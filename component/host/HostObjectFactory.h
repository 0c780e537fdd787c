#pragma once

#include "platform/records/Error.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

namespace zpp {

// Base of every object the factory creates.
class ServiceObject {
public:
    virtual ~ServiceObject() = default;
};

// Creates the application's services by programmatic identifier from a registry that the
// host program (or a test) fills. Factory creation and plain creation both resolve here.
class HostObjectFactory {
public:
    using Creator = std::function<std::shared_ptr<ServiceObject>()>;

    static HostObjectFactory& Instance();

    void Register(const QString& progId, Creator creator);
    void Unregister(const QString& progId);
    bool IsRegistered(const QString& progId) const;
    void Clear();

    // Fails with an Error naming the identifier when nothing is registered under it.
    std::shared_ptr<ServiceObject> Create(const QString& progId) const;

    template <class T> std::shared_ptr<T> CreateAs(const QString& progId) const {
        auto object = std::dynamic_pointer_cast<T>(Create(progId));
        if (!object)
            throw Error(QStringLiteral("对象 \"%1\" 不支持所需的接口").arg(progId));
        return object;
    }

private:
    QHash<QString, Creator> m_creators; // keyed by the lower-cased identifier
};

// Plain creation of an object by its identifier.
template <class T> std::shared_ptr<T> CreateObject(const QString& progId) {
    return HostObjectFactory::Instance().CreateAs<T>(progId);
}

// Registers a type as the implementation of an identifier, created fresh per request.
template <class T, class... Args> void RegisterService(const QString& progId, Args... args) {
    HostObjectFactory::Instance().Register(progId, [=] { return std::make_shared<T>(args...); });
}

} // namespace zpp
