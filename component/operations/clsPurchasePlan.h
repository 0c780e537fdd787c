#pragma once

#include "platform/records/KeyedRecord.h"

#include <QDate>
#include <QString>
#include <functional>

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp {

class LoadedVersions;
class PushRows;

// The plan operations of one list window: save, close, reopen and delete. Each works on
// the grid handed in through SetSpread and sends its request list to the planning update
// service, which may replace the list it is given.
class clsPurchasePlan {
public:
    // The plan grid; set by the list controller before any operation.
    void SetSpread(controls::SpreadGrid* grid) { Spread = grid; }
    // The rows as the list last loaded them: a save sends, with each entry, the version it was
    // loaded at and whether this list changed it, so another user's changes are never overwritten;
    // a push sends the versions too, so it never orders an entry as it was before such a change.
    void SetLoadedRows(std::function<RecordListPtr()> loaded) { LoadedRows = std::move(loaded); }

    // Sends every grid row, as entry records, to the planning service. True when the service
    // accepted the call; false on any failure, with nothing shown and nothing logged. A failure
    // that may have saved all the same (Error::OutcomeUnknown) propagates.
    bool Save();

    // Close or reopen the ticked entries. Nothing ticked shows a message; service errors
    // propagate to the caller.
    void ClosePurchasePlan();
    void UnClosePurchasePlan();

    // Deletes every plan with a ticked row after the user's confirmation. True when the
    // delete was sent, whatever its outcome; false when nothing was ticked or the user
    // declined. Service errors propagate.
    bool DeletePurChasePlan();

    // Turns the ticked rows into purchase orders: logs, checks the rows (CheckPushRows), sends
    // the push list and shows the created orders. True when the push was sent; false when a
    // check stopped it. Service errors propagate.
    bool PushBill();
    // Validates the ticked rows against the new-bill date, builds the push list, and lets the
    // bills service warn about high prices and the planning service check credit lines.
    bool CheckPushRows();
    // At the first row of a pass over the list and every 1,024 after: raises Cancelled once the
    // user asked to stop.
    static void StopIfAsked(int row);
    // A grid row asking to push more than its entry has left to order; and why, naming the row as
    // the grid shows it, then plan and entry (empty when the row may push what it asks).
    static bool PushesMoreThanLeft(const controls::SpreadGrid& grid, int row);
    static QString PushQtyRefusal(const controls::SpreadGrid& grid, int row);
    // Opens the linked-bill lookup for the first ticked row: 0 upstream, 1 downstream.
    void ViewBillUp(qint32 direction);

    enum ResultKind { CloseResult = 1, UnCloseResult = 2, DeleteResult = 3 };
    // One line per result record that names a grid row, in a modal result list window.
    void ShowResultList(int kind, const RecordListPtr& results);

    // The lists as last handed to (and left by) the planning service.
    const RecordListPtr& SaveVct() const { return m_saveVct; }
    // Why the last Save failed, for the message the caller shows.
    const QString& SaveError() const { return m_saveError; }
    const RecordListPtr& CloseVct() const { return m_closeVct; }
    const RecordListPtr& DeleteVct() const { return m_deleteVct; }
    const RecordListPtr& PushVct() const { return m_pushVct; }
    const QString& OrderIds() const { return m_orderIds; }
    // The validation text of the last push check, empty when the rows passed.
    const QString& PushProblems() const { return m_pushProblems; }

private:
    void CloseOrUnClose(bool close);
    void CollectTickedRows();
    // Fills the delete requests and returns the plan numbers for the confirmation.
    QString CollectTickedPlans();
    bool Ticked(int row) const;
    static QDate NewBillDate();
    RecordListPtr CollectOpenTickedRows();
    // One line per row whose entries to push differ in price, rates, date or note, naming the
    // columns and the entries; empty when every merged row orders what it shows.
    QString DescribeOwnValues(const RecordList& entries);
    // Adds the ticked open rows of the plain view to a push; returns how many.
    int AddOpenTickedRows(PushRows& rows, const LoadedVersions& versions);
    QString Cell(int col, int row) const;
    controls::SpreadGrid& Grid() const;

    controls::SpreadGrid* Spread = nullptr;
    std::function<RecordListPtr()> LoadedRows;
    RecordListPtr m_saveVct;
    QString m_saveError;
    RecordListPtr m_closeVct;
    RecordListPtr m_deleteVct;
    RecordListPtr m_pushVct;
    QString m_orderIds;
    QString m_pushProblems;
    int m_skipped = 0; // ticked rows the last push check left out for having nothing left
};

} // namespace zpp
