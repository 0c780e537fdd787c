#include "EntryChanges.h"

#include "PgRules.h"
#include "StoreInternal.h"
#include "platform/ui/Prompt.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <libpq-fe.h>

namespace zpp::store {

namespace {
const char* const kChannel = "zpp_entry_changes";
// Reads of the record follow each other no closer than this, and name at most so many transactions:
// fifty lists open while many users commit cost the server a few reads a second each.
constexpr qint64 kLeastReadGapMs = 250;
constexpr int kTxPerRead = 5000;
// A change of these columns is a change a list shows; row_version alone (a row locked before a
// delete) is not.
const char* const kShownColumns[] = {"supplier_id", "price",       "push_qty",   "discount_rate",
                                     "tax_rate",    "finish_date", "memo",       "close_mark",
                                     "ordered_qty", "qty",         "entry_date", "item_id"};

QString ShownColumnsDiffer(const QString& distinct) {
    QStringList parts;
    for (const char* c : kShownColumns)
        parts << distinct.arg(QLatin1String(c));
    return parts.join(QStringLiteral(" OR "));
}

// What kind of change a row's new and old values (named n and o) make.
QString ChangeKind(const QString& n, const QString& o) {
    return QStringLiteral("CASE WHEN %1.close_mark <> %2.close_mark THEN"
                          " CASE WHEN %1.close_mark <> '' THEN 'closed' ELSE 'reopened' END"
                          " WHEN %1.ordered_qty <> %2.ordered_qty THEN 'ordered' ELSE 'edited' END")
        .arg(n, o);
}
} // namespace

QStringList EntryChangeSchema() {
    QStringList s;
    // txid: the PostgreSQL transaction, which its notice names. Rows are kept a day. Every
    // statement may run again on a store taken back below this step.
    s << QStringLiteral("CREATE TABLE IF NOT EXISTS entry_changes ("
                        " seq {{autoid}},"
                        " plan_id INTEGER NOT NULL,"
                        " entry_id INTEGER NOT NULL,"
                        " change TEXT NOT NULL,"
                        " user_name TEXT NOT NULL DEFAULT '',"
                        " writer TEXT NOT NULL DEFAULT '',"
                        " txid BIGINT NOT NULL DEFAULT 0,"
                        " changed_at TEXT NOT NULL)");
    s << QStringLiteral("{{pg}}CREATE INDEX IF NOT EXISTS entry_changes_txid ON entry_changes (txid)");
    s << QStringLiteral("CREATE INDEX IF NOT EXISTS entry_changes_at ON entry_changes (changed_at)");
    // One statement's rows in one insert, and one notice per transaction (the server folds equal
    // notices of a transaction into one): a push of 100,000 entries is one notice, and the list
    // reads its rows by the transaction it names. Written as the store's owner, by a trigger
    // nobody can call, from the writer's own session: nobody can write the record by hand.
    const QString row = QStringLiteral(
        " INSERT INTO entry_changes (plan_id, entry_id, change, user_name, writer, txid, changed_at)");
    const QString who = QStringLiteral(", session_user, pg_catalog.pg_backend_pid()::text, v_tx, v_at");
    s << QStringLiteral("{{pg}}DROP FUNCTION IF EXISTS zpp_note_entry_changes() CASCADE");
    s << pg::kDefiner.arg(
        QStringLiteral("zpp_note_entry_changes() RETURNS trigger"),
        QStringLiteral("DECLARE v_tx bigint := pg_catalog.txid_current(); v_at text :="
                       " pg_catalog.to_char(pg_catalog.clock_timestamp() AT TIME ZONE 'UTC',"
                       " 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'); BEGIN"
                       " IF TG_OP = 'INSERT' THEN") +
            row + QStringLiteral(" SELECT n.plan_id, n.entry_id, 'added'") + who +
            QStringLiteral(" FROM zpp_new n; ELSIF TG_OP = 'DELETE' THEN") + row +
            QStringLiteral(" SELECT o.plan_id, o.entry_id, 'deleted'") + who +
            QStringLiteral(" FROM zpp_old o; ELSE") + row +
            QStringLiteral(" SELECT n.plan_id, n.entry_id, ") +
            ChangeKind(QStringLiteral("n"), QStringLiteral("o")) + who +
            QStringLiteral(
                " FROM zpp_new n JOIN zpp_old o ON o.plan_id = n.plan_id AND o.entry_id = n.entry_id"
                " WHERE ") +
            ShownColumnsDiffer(QStringLiteral("n.%1 IS DISTINCT FROM o.%1")) +
            QStringLiteral(
                "; END IF;"
                " IF FOUND THEN PERFORM pg_catalog.pg_notify('zpp_entry_changes', v_tx::text); END IF;"
                " IF pg_catalog.random() < 0.001 THEN DELETE FROM entry_changes WHERE changed_at <"
                "  pg_catalog.to_char((pg_catalog.clock_timestamp() - interval '1 day') AT TIME ZONE"
                "  'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'); END IF;"
                " RETURN NULL; END"));
    s << QStringLiteral("{{pg}}REVOKE ALL ON FUNCTION zpp_note_entry_changes() FROM PUBLIC");
    s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_entries_added AFTER INSERT ON plan_entries"
                        " REFERENCING NEW TABLE AS zpp_new FOR EACH STATEMENT EXECUTE FUNCTION"
                        " zpp_note_entry_changes()");
    s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_entries_changed AFTER UPDATE ON plan_entries"
                        " REFERENCING OLD TABLE AS zpp_old NEW TABLE AS zpp_new FOR EACH STATEMENT"
                        " EXECUTE FUNCTION zpp_note_entry_changes()");
    s << QStringLiteral("{{pg}}CREATE TRIGGER zpp_entries_deleted AFTER DELETE ON plan_entries"
                        " REFERENCING OLD TABLE AS zpp_old FOR EACH STATEMENT EXECUTE FUNCTION"
                        " zpp_note_entry_changes()");
    // Owned as the tables are.
    s << pg::HandToOwner({QStringLiteral("TABLE public.entry_changes"),
                          QStringLiteral("FUNCTION public.zpp_note_entry_changes()")});
    return s;
}

namespace {
// This connection's triggers, naming user (empty until someone logs in on it) and the connection's
// token. The user is written into them rather than looked up for each row: a bulk statement pays
// for every row's look-up.
void MakeSQLiteTriggers(const Store& db, const QString& user) {
    // Temporary triggers belong to this connection alone, so another program (or the sqlite3
    // shell) writing the file is never refused for want of them. Names inside them are unqualified
    // (SQLite wants it): entry_changes is main's.
    QString quoted = user;
    quoted.replace(u'\'', QStringLiteral("''"));
    const QString insert = QStringLiteral(
        "INSERT INTO entry_changes (plan_id, entry_id, change, user_name, writer, changed_at) SELECT ");
    const QString who = QStringLiteral(", '") + quoted + QStringLiteral("', '") + db.WriterId() +
                        QStringLiteral("', strftime('%Y-%m-%dT%H:%M:%fZ', 'now')");
    const QString kind = ChangeKind(QStringLiteral("NEW"), QStringLiteral("OLD"));
    // Only this connection's temporary schema changes: the file itself is not written.
    for (const char* name : {"zpp_entries_added", "zpp_entries_deleted", "zpp_entries_changed"})
        db.Exec(QStringLiteral("DROP TRIGGER IF EXISTS temp.") + QLatin1String(name));
    db.Exec(QStringLiteral("CREATE TEMP TRIGGER zpp_entries_added AFTER INSERT ON main.plan_entries BEGIN ") +
            insert + QStringLiteral("NEW.plan_id, NEW.entry_id, 'added'") + who + QStringLiteral("; END"));
    db.Exec(
        QStringLiteral("CREATE TEMP TRIGGER zpp_entries_deleted AFTER DELETE ON main.plan_entries BEGIN ") +
        insert + QStringLiteral("OLD.plan_id, OLD.entry_id, 'deleted'") + who + QStringLiteral("; END"));
    db.Exec(
        QStringLiteral("CREATE TEMP TRIGGER zpp_entries_changed AFTER UPDATE ON main.plan_entries WHEN ") +
        ShownColumnsDiffer(QStringLiteral("NEW.%1 IS NOT OLD.%1")) + QStringLiteral(" BEGIN ") + insert +
        QStringLiteral("NEW.plan_id, NEW.entry_id, ") + kind + who + QStringLiteral("; END"));
}
} // namespace

void RecordEntryChanges(const Store& db) {
    if (!db.IsSQLite() || db.SchemaVersion() < 18)
        return;
    MakeSQLiteTriggers(db, {});
    // A file has no server to drop what is a day old; each program opening it does, through the
    // index on the time. A busy file leaves it to the next one.
    try {
        db.Exec(QStringLiteral("DELETE FROM entry_changes WHERE changed_at <"
                               " strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-1 day')"));
    } catch (const StoreError&) {
    }
}

void NameEntryChangeWriter(const Store& db, const QString& user) {
    if (db.IsSQLite() && db.SchemaVersion() >= 18)
        MakeSQLiteTriggers(db, user);
}

QString Store::WriterId() const {
    if (IsSQLite()) {
        if (m_writerToken.isEmpty())
            const_cast<Store*>(this)->m_writerToken = QUuid::createUuid().toString(QUuid::WithoutBraces);
        return m_writerToken;
    }
    PGconn* conn = PgConnection();
    return conn ? QString::number(PQbackendPID(conn)) : QString();
}

struct EntryChangeFeed::Impl {
    std::shared_ptr<const Store> Own;
    QSet<QString> OwnWriters; // every identity the watched connection wrote under
    // SQLite: a read-only connection of the feed's own, the file's change counter, the last row seen.
    QString Connection;
    qint64 DataVersion = -1;
    qint64 LastSeq = 0;
    QTimer Timer;
    // PostgreSQL: the listening connection.
    PGconn* Pg = nullptr;
    std::unique_ptr<QSocketNotifier> Notifier;
    int RetryMs = 1000;
    // Transactions announced and not yet read. Any role may send on the channel, so a flood of
    // notices is read at most four times a second, and a payload that names no transaction is
    // dropped rather than failing the read.
    QSet<qint64> Pending;
    QTimer Coalesce;
    QElapsedTimer LastRead;
    int Reads = 0;

    bool IsOwn(const QString& writer) {
        OwnWriters.insert(Own->WriterId());
        return OwnWriters.contains(writer);
    }
};

namespace {
EntryChange ChangeOf(qint32 plan, qint32 entry, const QString& change, const QString& user,
                     const QString& at) {
    EntryChange c;
    c.PlanId = plan;
    c.EntryId = entry;
    c.Change = change;
    c.User = user;
    c.At = QDateTime::fromString(at, Qt::ISODateWithMs).toUTC();
    return c;
}
} // namespace

EntryChangeFeed::EntryChangeFeed(std::shared_ptr<const Store> own, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->Own = std::move(own);
    d->OwnWriters.insert(d->Own->WriterId());
    if (d->Own->IsSQLite()) {
        static std::atomic<int> serial{0};
        d->Connection = QStringLiteral("zpp-feed-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->Connection);
        db.setDatabaseName(d->Own->Location());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=200"));
        db.open();
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM entry_changes")) && q.next())
            d->LastSeq = q.value(0).toLongLong();
        if (q.exec(QStringLiteral("PRAGMA data_version")) && q.next())
            d->DataVersion = q.value(0).toLongLong();
        connect(&d->Timer, &QTimer::timeout, this, &EntryChangeFeed::Poll);
        d->Timer.start(250);
        return;
    }
    // Connecting again after a loss (said when it was noticed), backing off while the server stays away.
    d->Timer.setSingleShot(true);
    d->Coalesce.setSingleShot(true);
    connect(&d->Coalesce, &QTimer::timeout, this, &EntryChangeFeed::Poll);
    connect(&d->Timer, &QTimer::timeout, this, &EntryChangeFeed::Poll);
    Poll();
}

EntryChangeFeed::~EntryChangeFeed() {
    d->Notifier.reset();
    if (d->Pg)
        PQfinish(d->Pg);
    if (!d->Connection.isEmpty()) {
        QSqlDatabase::database(d->Connection, false).close();
        QSqlDatabase::removeDatabase(d->Connection);
    }
}

bool EntryChangeFeed::Connected() const {
    return d->Own->IsSQLite() || (d->Pg && PQstatus(d->Pg) == CONNECTION_OK);
}

int EntryChangeFeed::Reads() const {
    return d->Reads;
}

void EntryChangeFeed::Poll() {
    QVector<EntryChange> changes;
    if (d->Own->IsSQLite()) {
        QSqlDatabase db = QSqlDatabase::database(d->Connection, false);
        QSqlQuery q(db);
        // Bumped by every commit of another connection; reading it costs no file access worth
        // the name, so a quarter of a second is cheap.
        if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
            return;
        const qint64 version = q.value(0).toLongLong();
        if (version == d->DataVersion)
            return;
        d->DataVersion = version;
        ++d->Reads;
        q.prepare(QStringLiteral("SELECT seq, plan_id, entry_id, change, user_name, writer, changed_at"
                                 " FROM entry_changes WHERE seq > ? ORDER BY seq"));
        q.addBindValue(d->LastSeq);
        if (!q.exec())
            return;
        while (q.next()) {
            d->LastSeq = q.value(0).toLongLong();
            if (!d->IsOwn(q.value(5).toString()))
                changes << ChangeOf(q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString(),
                                    q.value(4).toString(), q.value(6).toString());
        }
    } else {
        if (!d->Pg || PQstatus(d->Pg) != CONNECTION_OK) {
            d->Notifier.reset();
            if (d->Pg)
                PQfinish(d->Pg);
            d->Pg = ConnectLibpq(d->Own->Location(), true);
            PGresult* r = PQstatus(d->Pg) == CONNECTION_OK
                              ? PQexec(d->Pg, QByteArray(QByteArrayLiteral("LISTEN ") + kChannel).constData())
                              : nullptr;
            const bool listening = r && PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
            if (!listening) {
                d->Timer.start(d->RetryMs);
                d->RetryMs = std::min(d->RetryMs * 2, 30000);
                return;
            }
            d->RetryMs = 1000;
            d->Notifier = std::make_unique<QSocketNotifier>(PQsocket(d->Pg), QSocketNotifier::Read);
            connect(d->Notifier.get(), &QSocketNotifier::activated, this, &EntryChangeFeed::Poll);
            return;
        }
        if (!PQconsumeInput(d->Pg)) {
            const QString reason = QString::fromUtf8(PQerrorMessage(d->Pg)).trimmed();
            d->Notifier.reset();
            PQfinish(d->Pg);
            d->Pg = nullptr;
            d->Timer.start(d->RetryMs);
            Q_EMIT MayHaveMissed(reason);
            return;
        }
        // A notice that arrives while the rows of the last ones are read is taken into libpq's
        // buffer with the answer and never makes the socket readable again: look until none is left.
        for (;;) {
            while (PGnotify* n = PQnotifies(d->Pg)) {
                bool ok = false;
                const qint64 tx = QByteArray(n->extra).toLongLong(&ok);
                if (ok && tx > 0)
                    d->Pending.insert(tx);
                PQfreemem(n);
            }
            if (d->Pending.isEmpty())
                break;
            if (d->LastRead.isValid() && d->LastRead.elapsed() < kLeastReadGapMs) {
                if (!d->Coalesce.isActive())
                    d->Coalesce.start(int(kLeastReadGapMs - d->LastRead.elapsed()));
                break;
            }
            d->LastRead.start();
            ++d->Reads;
            QStringList txids;
            for (auto it = d->Pending.begin(); it != d->Pending.end() && txids.size() < kTxPerRead;) {
                txids << QString::number(*it);
                it = d->Pending.erase(it);
            }
            const QByteArray list = (u'{' + txids.join(u',') + u'}').toLatin1();
            const char* params[] = {list.constData()};
            PGresult* r = PQexecParams(d->Pg,
                                       "SELECT plan_id, entry_id, change, user_name, writer, changed_at"
                                       " FROM entry_changes WHERE txid = ANY($1::bigint[]) ORDER BY seq",
                                       1, nullptr, params, nullptr, nullptr, 0);
            if (PQresultStatus(r) == PGRES_TUPLES_OK) {
                const int rows = PQntuples(r);
                changes.reserve(changes.size() + rows);
                for (int i = 0; i < rows; ++i)
                    if (!d->IsOwn(QString::fromLatin1(PQgetvalue(r, i, 4))))
                        changes << ChangeOf(std::atoi(PQgetvalue(r, i, 0)), std::atoi(PQgetvalue(r, i, 1)),
                                            QString::fromUtf8(PQgetvalue(r, i, 2)),
                                            QString::fromUtf8(PQgetvalue(r, i, 3)),
                                            QString::fromLatin1(PQgetvalue(r, i, 5)));
                PQclear(r);
            } else {
                const QString why = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
                PQclear(r);
                Q_EMIT MayHaveMissed(why);
                break;
            }
        }
    }
    if (!changes.isEmpty())
        Q_EMIT Changed(changes);
}

} // namespace zpp::store
