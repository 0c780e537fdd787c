#include "BaseDataModel.h"

#include "component/host/Lang.h"

namespace zpp::services {

namespace lookup {

QString ContainsPattern(const QString& text) {
    QString pattern;
    pattern.reserve(text.size() + 8);
    pattern += u'%';
    for (const QChar ch : text) {
        if (ch == u'%' || ch == u'_' || ch == u'!')
            pattern += u'!';
        pattern += ch;
    }
    pattern += u'%';
    return pattern;
}

QString PageSql(const store::Store& store, qint32 type, bool after, bool filtered, bool forUser) {
    QString table, columns, joins;
    if (type == kBaseDataItem) {
        table = QStringLiteral("items");
        columns = QStringLiteral("t.model, u.name");
        joins = QStringLiteral(" LEFT JOIN units u ON u.id = t.unit_id");
    } else if (type == kBaseDataSupplier) {
        table = QStringLiteral("suppliers");
        columns = QStringLiteral("t.tax_rate");
    } else {
        throw Error(QStringLiteral("不支持的基础资料类型 %1：只能查询物料（4）或供应商（8）").arg(type));
    }
    // PostgreSQL compares by the database's locale unless told otherwise; the "C" collation is
    // SQLite's byte order, and its ILIKE folds ASCII letters only, as SQLite's LIKE does. So both
    // stores list the same rows in the same order.
    const bool sqlite = store.IsSQLite();
    const QString c = sqlite ? QString() : QStringLiteral(" COLLATE \"C\"");
    const QString like =
        sqlite ? QStringLiteral(" LIKE ? ESCAPE '!'") : QStringLiteral(" ILIKE ? ESCAPE '!'");
    QStringList where;
    if (after)
        where << QStringLiteral("code") + c + QStringLiteral(" > ?");
    if (filtered)
        where << QStringLiteral("(code") + c + like + QStringLiteral(" OR name") + c + like + u')';
    // A supplier the user may not use is not offered: choosing it could only be refused.
    if (forUser && type == kBaseDataSupplier)
        where << QStringLiteral("code NOT IN (SELECT supplier_code FROM user_supplier_rights"
                                " WHERE user_id = ? AND may_use = 0)");
    // The page is chosen from code and name alone, so an index on (code, name) answers it without
    // reading the rows that do not match; only the page's rows are read whole. One row beyond the
    // page tells whether more follow, without a second query.
    QString page = QStringLiteral("SELECT id FROM ") + table;
    if (!where.isEmpty())
        page += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    page += QStringLiteral(" ORDER BY code") + c + QStringLiteral(" LIMIT ") +
            QString::number(kLookupPageSize + 1);
    return QStringLiteral("SELECT t.id, t.code, t.name, ") + columns + QStringLiteral(" FROM (") + page +
           QStringLiteral(") p JOIN ") + table + QStringLiteral(" t ON t.id = p.id") + joins +
           QStringLiteral(" ORDER BY t.code") + c;
}

QString TypeCaption(qint32 type) {
    if (type == kBaseDataItem)
        return QStringLiteral("物料查询");
    if (type == kBaseDataSupplier)
        return QStringLiteral("供应商查询");
    return {};
}

} // namespace lookup

BaseDataModel::BaseDataModel(store::StorePtr db, qint32 type, QObject* parent, qint32 userId)
    : QAbstractTableModel(parent), m_db(std::move(db)), m_type(type), m_userId(userId) {
    lookup::PageSql(*m_db, type, false, false); // refuses an unknown type before any window opens
    QStringList captions{QStringLiteral("代码"), QStringLiteral("名称")};
    if (type == kBaseDataItem)
        captions << QStringLiteral("规格型号") << QStringLiteral("基本单位");
    else
        captions << QStringLiteral("税率(%)");
    for (const QString& caption : captions)
        m_captions << GetLangString(caption);
}

BaseDataModel::~BaseDataModel() = default;

QVector<BaseDataModel::Row> BaseDataModel::ReadPage(const QString& pattern, const QString* afterCode) {
    // The rows come in as they are read: a server that stops sending them is watched as in a statement.
    const store::Store::Call call(*m_db);
    const bool after = afterCode != nullptr, filtered = !pattern.isEmpty();
    std::optional<QSqlQuery>& query = m_queries[(after ? 2 : 0) + (filtered ? 1 : 0)];
    if (!query)
        query = m_db->Prepare(lookup::PageSql(*m_db, m_type, after, filtered, m_userId > 0));
    QVariantList binds;
    if (after)
        binds << *afterCode;
    if (filtered)
        binds << pattern << pattern;
    if (m_userId > 0 && m_type == kBaseDataSupplier)
        binds << m_userId;
    m_db->Run(*query, binds);
    const int more = m_type == kBaseDataItem ? 2 : 1;
    QVector<Row> page;
    page.reserve(kLookupPageSize + 1);
    while (query->next()) {
        Row& row = page.emplace_back();
        row.Id = query->value(0).toInt();
        row.Code = query->value(1).toString();
        row.Name = query->value(2).toString();
        for (int i = 0; i < more; ++i)
            row.More[i] = query->value(3 + i);
    }
    query->finish();
    return page;
}

void BaseDataModel::SetSearch(const QString& text) {
    const QString search = text.trimmed();
    const QString pattern = search.isEmpty() ? QString() : lookup::ContainsPattern(search);
    QVector<Row> page;
    std::exception_ptr failure;
    try {
        page = ReadPage(pattern, nullptr);
    } catch (...) {
        failure = std::current_exception();
    }
    beginResetModel();
    m_search = search;
    m_pattern = pattern;
    m_more = page.size() > kLookupPageSize;
    if (m_more)
        page.removeLast();
    m_rows = std::move(page);
    endResetModel();
    if (failure)
        std::rethrow_exception(failure);
}

int BaseDataModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BaseDataModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant BaseDataModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& row = m_rows[index.row()];
    const int column = index.column();
    const bool taxRate = m_type == kBaseDataSupplier && column == 2;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column == 0)
            return row.Code;
        if (column == 1)
            return row.Name;
        if (taxRate)
            return QString::number(row.More[0].toDouble());
        return row.More[column - 2].toString();
    case Qt::TextAlignmentRole:
        if (taxRate)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant BaseDataModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_captions.size())
        return m_captions[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

int BaseDataModel::RowOf(const QString& code) {
    for (int from = 0;;) {
        for (; from < m_rows.size(); ++from)
            if (m_rows[from].Code == code)
                return from;
        // Pages come in code order: once past the code, it is not among the matches.
        if (!m_more || m_rows.isEmpty() || m_rows.constLast().Code > code)
            return -1;
        fetchMore({});
    }
}

bool BaseDataModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_more;
}

void BaseDataModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !m_more || m_rows.isEmpty())
        return;
    QVector<Row> page;
    try {
        page = ReadPage(m_pattern, &m_rows.constLast().Code);
    } catch (const std::exception& e) {
        m_more = false;
        Q_EMIT FetchFailed(DescribeException(e));
        return;
    }
    m_more = page.size() > kLookupPageSize;
    if (m_more)
        page.removeLast();
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows.append(std::move(page));
    endInsertRows();
}

} // namespace zpp::services
