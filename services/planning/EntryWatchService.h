#pragma once

#include "component/host/contracts/EntryWatch.h"
#include "services/store/Session.h"

namespace zpp::services {

// EntryWatch over the log-in's store: a feed of the store's record of entry changes per watcher.
class EntryWatchService : public EntryWatch {
public:
    explicit EntryWatchService(store::SessionPtr session) : m_session(std::move(session)) {}
    std::shared_ptr<void> Watch(std::function<void(const QVector<WatchedChange>&)> onChanges,
                                std::function<void(const QString&)> onMissed) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
