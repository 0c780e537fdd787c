#pragma once

#include "services/store/Store.h"

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QVector>
#include <array>
#include <optional>

namespace zpp::services {

// Base-data types the lookup window lists.
inline constexpr qint32 kBaseDataItem = 4;
inline constexpr qint32 kBaseDataSupplier = 8;
// Rows read per query; more are read as the user scrolls.
inline constexpr int kLookupPageSize = 100;

namespace lookup {
// A LIKE pattern (escape character '!') that finds the text anywhere; the user's %, _ and !
// are taken literally.
QString ContainsPattern(const QString& text);
// The statement of one page of matches in code order: kLookupPageSize rows and one more that
// tells whether another page follows. Binds, in order: the last code already shown (when after), then the
// pattern twice (when filtered), then the user (forUser: suppliers that user may not use are left
// out). Fails with an Error for a type other than items or suppliers.
QString PageSql(const store::Store& store, qint32 type, bool after, bool filtered, bool forUser = false);
// The window title of a base-data type, untranslated; empty for an unknown type.
QString TypeCaption(qint32 type);
} // namespace lookup

// Items or suppliers whose code or name contains the search text, in code order, read a page at
// a time (keyset on the code) so that a large table is never read whole.
class BaseDataModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        qint32 Id = 0;
        QString Code, Name;
        std::array<QVariant, 2> More; // model and unit of an item; tax rate of a supplier
    };

    // Fails with an Error for a type other than items or suppliers. Lists nothing until the
    // first SetSearch. With a user, suppliers that user may not use are left out.
    BaseDataModel(store::StorePtr db, qint32 type, QObject* parent = nullptr, qint32 userId = 0);
    ~BaseDataModel() override;

    qint32 Type() const { return m_type; }
    // Replaces the rows by the first page of matches (every row for a blank text). Failures of
    // the store propagate and leave the list empty.
    void SetSearch(const QString& text);
    const QString& Search() const { return m_search; }
    const Row& At(int row) const { return m_rows[row]; }
    bool HasMore() const { return m_more; }
    // The row of a code, reading further pages until it is listed (rows come in code order); -1
    // when it is not among the matches.
    int RowOf(const QString& code);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // A further page could not be read (views call fetchMore where nothing may throw); the rows
    // read so far stay.
    void FetchFailed(const QString& description);

private:
    // Up to kLookupPageSize + 1 rows; afterCode continues after the last row shown.
    QVector<Row> ReadPage(const QString& pattern, const QString* afterCode);

    store::StorePtr m_db;
    qint32 m_type;
    qint32 m_userId;
    QString m_search, m_pattern;
    QStringList m_captions;
    QVector<Row> m_rows;
    bool m_more = false;
    // Prepared once per shape of the statement (after a code or not, filtered or not): a user
    // types many searches in one window.
    std::array<std::optional<QSqlQuery>, 4> m_queries;
};

} // namespace zpp::services
