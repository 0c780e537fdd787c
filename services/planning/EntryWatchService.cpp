#include "EntryWatchService.h"

#include "platform/ui/Prompt.h"
#include "services/store/EntryChanges.h"

#include <QTimer>

namespace zpp::services {

std::shared_ptr<void> EntryWatchService::Watch(std::function<void(const QVector<WatchedChange>&)> onChanges,
                                               std::function<void(const QString&)> onMissed) {
    auto feed = std::make_shared<store::EntryChangeFeed>(m_session->Db);
    QObject::connect(feed.get(), &store::EntryChangeFeed::Changed, feed.get(),
                     [onChanges = std::move(onChanges)](const QVector<store::EntryChange>& changes) {
                         QVector<WatchedChange> out;
                         out.reserve(changes.size());
                         for (const store::EntryChange& c : changes)
                             out.push_back({c.PlanId, c.EntryId, c.Change, c.User, c.At});
                         onChanges(out);
                     });
    QObject::connect(feed.get(), &store::EntryChangeFeed::MayHaveMissed, feed.get(), onMissed);
    // A listener that could not connect at all hears nothing until it does: said at once.
    if (!feed->Connected())
        QTimer::singleShot(0, feed.get(),
                           [onMissed] { onMissed(ui::Tr("无法连接数据库服务器接收其他用户修改的通知")); });
    return feed;
}

} // namespace zpp::services
