#pragma once

#include <QString>
#include <QVariantList>
#include <libpq-fe.h>
#include <vector>

namespace zpp::bench {

enum class Kind { Int, Real, Text };

// What every read adds up, so that no read can skip a column unnoticed.
struct Sums {
    qint64 Rows = 0, Ints = 0, TextBytes = 0, Nulls = 0;
    double Reals = 0;
    bool operator==(const Sums&) const = default;
};

// The yardstick of a PostgreSQL read: libpq and nothing else, in single-row mode on the given
// connection, every column of every row read by its server type (kinds is filled on first use).
Sums BarePgRead(PGconn* conn, const QString& sql, const QVariantList& binds, std::vector<Kind>& kinds);

} // namespace zpp::bench
