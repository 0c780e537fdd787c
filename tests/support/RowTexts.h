#pragma once

#include "services/store/Store.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace zpp::test {

// The rows of a query, each as its cells joined by "|" (a null cell as NULL). Header-only, so
// the reliability worker, which does not link the test support library, shares it too.
inline QStringList RowTexts(const store::Store& db, const QString& sql) {
    QSqlQuery q = db.Exec(sql);
    QStringList rows;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
        rows << cells.join(u'|');
    }
    return rows;
}

// The rows of a query joined by ",", for comparing a table's state in one assertion.
inline QString Rows(const store::Store& db, const QString& sql) {
    return RowTexts(db, sql).join(u',');
}

} // namespace zpp::test
