#pragma once

#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/SpreadGrid.h"
#include "support/PlanFakes.h"

namespace zpp::test {

// The planning fakes with the plan column set.
class PlanColumnsFixture : public PlanFixture {
protected:
    void SetUp() override;
};

// The operations over a plan grid, and what the windows they open showed.
class GridOpsFixture : public PlanColumnsFixture {
protected:
    struct Row {
        int inter = 1, entry = 0; // entry 0: the grid row
        bool ticked = true;
        QString bill = "PL1", item = "1.01.001", qty = "100", push = "10", supplier = "01.001", price = "2.5",
                close = {}, finish = "2026-12-20";
    };
    void SetUp() override;
    void Fill(const QVector<Row>& rows);
    int Calls(const QString& method) const;

    controls::SpreadGrid grid;
    clsPurchasePlan ops;
    int resultLists = 0; // result lists shown, with the last one's title and lines
    QString title;
    QStringList lines, messages; // messages: "buttons:text" of each message dialog
};

// A row record shaped like the grid's: every plan field, as text, over one shared key set.
RecordPtr MakeRow(const QHash<QString, QString>& values);
// What the grid gives back for merged rows: text cells, no member lists.
RecordListPtr AsGridRows(const RecordListPtr& merged);

} // namespace zpp::test
