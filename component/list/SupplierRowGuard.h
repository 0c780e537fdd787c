#pragma once

// Rows of suppliers the log-in user may not use: locked and greyed as the list is filled, a tip
// saying why, and every attempt to change one answered at once instead of at the save.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

namespace zpp {

class RecordList;
namespace controls {
class SpreadGrid;
}

class SupplierRowGuard : public QObject {
    Q_OBJECT
public:
    // The guard of a grid, made on first use and owned by the grid.
    static SupplierRowGuard& Of(controls::SpreadGrid& grid);

    // Locks the cells a user changes (tick, supplier, quantity to push, price, rates, date, note)
    // in the rows whose supplier the user may not use, and unlocks them in the others. The
    // services are asked once per supplier; rows (what the grid was filled from, row for row)
    // spares reading each row's supplier cell where it shares its values.
    void LockRows(const RecordList* rows = nullptr);
    // Why a row may not be changed; empty when it may.
    QString WhyLocked(int row) const;
    // Says why when the row may not be changed; true when it may not.
    bool Refuse(int row);
    // Puts a refused supplier code back into a row. When the user typed the code over that one,
    // the row gets back the change mark it had before, so a refused code leaves it as it was.
    void PutBack(int row, const QString& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit SupplierRowGuard(controls::SpreadGrid& grid);
    // Whether the user may use the supplier of that code, asked of the services once.
    bool MayUse(const QString& code);
    void SetRowLocked(int row, bool locked);
    // Hooks the views (the frozen one exists only once the columns are set up).
    void WatchViews();

    controls::SpreadGrid& m_grid;
    QHash<QString, bool> m_mayUse; // by supplier code, for one fill
    QSet<QObject*> m_watched;
    struct {
        int Row = 0;
        QString Code;
        bool Marked = false;
    } m_edit; // the supplier cell whose edit began last, as it was then
};

} // namespace zpp
