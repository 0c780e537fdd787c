#pragma once

// What the store records of each change to a plan entry, so that every open list learns what
// other users changed while it shows the rows: the record (written by the store's own triggers in
// the writer's transaction, so a change that is undone is never announced) and the feed that reads
// it as other connections commit.

#include "services/store/Store.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <memory>

namespace zpp::store {

struct EntryChange {
    qint32 PlanId = 0;
    qint32 EntryId = 0;
    QString Change; // edited, closed, reopened, ordered, deleted, added
    QString User;   // the user who wrote it (a log-in name)
    QDateTime At;   // UTC
};

// The record's table and, on PostgreSQL, the triggers that fill it and announce each transaction.
QStringList EntryChangeSchema();

// SQLite has no session of its own to name the writer: this connection's writes are recorded by
// triggers of its own (made when the store opens), which name the user logged in on it.
void RecordEntryChanges(const Store& db);
void NameEntryChangeWriter(const Store& db, const QString& user);

// Watches a store for entry changes that other connections commit, from what is committed when it
// starts. On PostgreSQL it listens on a connection of its own (the server announces each
// transaction that changed entries; nothing is polled); on SQLite it looks at the file's change
// counter every quarter of a second and reads only rows it has not seen. Changes written by the
// watched store's own connection are left out. Lives on the thread of the store it watches.
class EntryChangeFeed : public QObject {
    Q_OBJECT
public:
    explicit EntryChangeFeed(std::shared_ptr<const Store> own, QObject* parent = nullptr);
    ~EntryChangeFeed() override;

    // Reads what has been committed since the last look, now.
    void Poll();
    // False while the feed has no connection to the server (notices may be missed meanwhile).
    bool Connected() const;
    // How often the record was read since the feed started: a flood of notices is read in few.
    int Reads() const;

Q_SIGNALS:
    void Changed(const QVector<zpp::store::EntryChange>& changes);
    // Changes may have been missed: the connection to the server dropped (reason says so). The feed
    // connects again by itself and goes on from then.
    void MayHaveMissed(const QString& reason);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zpp::store
