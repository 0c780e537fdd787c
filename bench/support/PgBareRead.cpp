#include "PgBareRead.h"

#include "platform/records/Error.h"

#include <charconv>

namespace zpp::bench {

namespace {

// How a consumer reads a column of the given server type.
Kind KindOf(Oid type) {
    switch (type) {
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return Kind::Int;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return Kind::Real;
    default:
        return Kind::Text;
    }
}

} // namespace

Sums BarePgRead(PGconn* conn, const QString& sql, const QVariantList& binds, std::vector<Kind>& kinds) {
    QByteArray statement;
    int marks = 0;
    for (const QChar ch : sql) // the plan statement has no '?' inside a literal
        statement += ch == u'?' ? "$" + QByteArray::number(++marks) : QString(ch).toUtf8();
    std::vector<QByteArray> texts;
    std::vector<const char*> values;
    for (const QVariant& b : binds)
        texts.push_back(b.toString().toUtf8());
    for (const QByteArray& t : texts)
        values.push_back(t.constData());
    if (!PQsendQueryParams(conn, statement.constData(), int(values.size()), nullptr, values.data(), nullptr,
                           nullptr, 0) ||
        !PQsetSingleRowMode(conn))
        throw Error(QStringLiteral("bare read: ") + QString::fromUtf8(PQerrorMessage(conn)));
    Sums s;
    while (PGresult* r = PQgetResult(conn)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
            const int columns = PQnfields(r);
            if (kinds.empty())
                for (int c = 0; c < columns; ++c)
                    kinds.push_back(KindOf(PQftype(r, c)));
            ++s.Rows;
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(r, 0, c)) {
                    ++s.Nulls;
                    continue;
                }
                const char* v = PQgetvalue(r, 0, c);
                const int n = PQgetlength(r, 0, c);
                if (kinds[c] == Kind::Int) {
                    qint64 i = 0;
                    std::from_chars(v, v + n, i);
                    s.Ints += i;
                } else if (kinds[c] == Kind::Real) {
                    double d = 0;
                    std::from_chars(v, v + n, d);
                    s.Reals += d;
                } else {
                    s.TextBytes += n;
                }
            }
        } else if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            const QString message = QString::fromUtf8(PQresultErrorMessage(r));
            PQclear(r);
            while (PGresult* rest = PQgetResult(conn))
                PQclear(rest);
            throw Error(QStringLiteral("bare read: ") + message);
        }
        PQclear(r);
    }
    return s;
}

} // namespace zpp::bench
