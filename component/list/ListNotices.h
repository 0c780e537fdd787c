#pragma once

// What other users change in the entries a list shows, as they commit: their rows are tinted with
// who did what and when, a bar above the grid counts them and offers 刷新 and a way through them.
// Nothing in the grid's values changes under the user; the user decides when to read again.

#include "component/host/contracts/EntryWatch.h"
#include "platform/records/KeyedRecord.h"

#include <QHash>
#include <QObject>
#include <QVector>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace zpp {

namespace controls {
class SpreadGrid;
}
class ClsPurchasePlanUI;

class ListNotices : public QObject {
    Q_OBJECT
public:
    // refresh runs the list's 刷新 as its tool would.
    ListNotices(controls::SpreadGrid& grid, ClsPurchasePlanUI& list, std::function<void()> refresh,
                QWidget* barParent);
    ~ListNotices() override;

    // The bar, hidden while there is nothing to say.
    QFrame* Bar() const { return m_bar; }
    // Starts listening (a host without the service leaves the list as it always was).
    void Start();
    // The list was read again: what it shows is the store's now.
    void Reset();
    // Marks the changes as a notice would (the host's notices arrive here too).
    void Take(const QVector<WatchedChange>& changes);
    // Grid rows (from 1) other users changed since the list read them, ascending.
    QVector<int> MarkedRows() const;
    // Among rows, those marked, as lines for a question ("第3行：buyer 在 14:05 下推了此分录").
    QStringList Describe(const QVector<int>& rows, int atMost) const;
    // Moves the active cell to the next marked row after it (wrapping); false when there is none.
    bool ShowNext();
    // Before a save (edited rows) or a push (ticked rows): when some of them were changed by
    // others, asks whether to go on (the store refuses those rows whatever the answer). False: stop.
    bool ConfirmDespiteOthers(bool push);

private:
    struct Seen {
        QString Change, User;
        QDateTime At;
        int Times = 0;
        int Row = 0; // where the entry is shown (0: not shown since the rows changed)
    };
    static quint64 KeyOf(qint32 plan, qint32 entry) {
        return (quint64(quint32(plan)) << 32) | quint32(entry);
    }
    // The grid row of each entry shown (a merged row stands for each of its entries; an entry is
    // shown on one row). Made in slices while the window is idle after the rows changed, so a
    // burst finds it made; one needed sooner is finished at once.
    const QHash<quint64, int>& Rows();
    void MakeRows(int upTo);
    void ForgetRows();
    // Finds the rows of the entries seen again after the rows changed.
    void PlaceSeen();
    void Paint(const QVector<int>& rows);
    void Say();
    void Missed(const QString& reason);

    controls::SpreadGrid& m_grid;
    ClsPurchasePlanUI& m_list;
    std::function<void()> m_refresh;
    std::shared_ptr<void> m_watch;
    QHash<quint64, int> m_rows;
    int m_rowsMade = 0; // grid rows the map holds, from the first
    bool m_rowsKnown = false;
    QTimer* m_making = nullptr;
    QHash<quint64, Seen> m_seen; // shown entries changed by others since the list was read
    bool m_seenPlaced = true;
    int m_added = 0;        // entries others added since the list was read (not shown until 刷新)
    QString m_missed;       // why notices may have been lost, until the next read
    RecordListPtr m_loaded; // the read the marks are about
    QFrame* m_bar = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_next = nullptr;
};

} // namespace zpp
