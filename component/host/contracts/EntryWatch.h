#pragma once

#include "component/host/HostObjectFactory.h"

#include <QDateTime>
#include <QVector>
#include <functional>
#include <memory>

namespace zpp {

// A plan entry another program changed, as the host learned it when the change committed.
struct WatchedChange {
    qint32 PlanId = 0;
    qint32 EntryId = 0;
    QString Change; // edited, closed, reopened, ordered, deleted, added
    QString User;   // log-in name
    QDateTime At;   // UTC
};

// ZELMMrpCalculate.EntryWatch: tells what other users change in plan entries as they commit.
class EntryWatch : public ServiceObject {
public:
    // Calls onChanges with each batch other programs commit, and onMissed (with the reason) when
    // notices may have been lost, on the caller's thread, for as long as the handle it gives is
    // kept. Changes this program makes are not reported.
    virtual std::shared_ptr<void> Watch(std::function<void(const QVector<WatchedChange>&)> onChanges,
                                        std::function<void(const QString&)> onMissed) = 0;
};

} // namespace zpp
