#include "RecordSet.h"

#include "Error.h"

#include <algorithm>

namespace zpp {

void RecordSet::AddRow(QVector<QVariant> values) {
    values.resize(m_fields.size());
    m_rows.push_back(std::move(values));
    if (m_filter.isEmpty())
        m_visible.push_back(static_cast<int>(m_rows.size()) - 1);
}

int RecordSet::FieldIndex(const QString& field) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    throw Error(QStringLiteral("记录集中没有字段 \"%1\"").arg(field));
}

void RecordSet::ResetVisible() {
    m_visible.clear();
    for (int i = 0; i < m_rows.size(); ++i)
        m_visible.push_back(i);
}

void RecordSet::SetFilter(const QString& filter) {
    const QString f = filter.trimmed();
    m_pos = 0;
    if (f.isEmpty()) {
        m_filter.clear();
        ResetVisible();
        return;
    }
    const int eq = f.indexOf(u'=');
    if (eq <= 0 || f.size() < eq + 3 || f[eq + 1] != u'\'' || !f.endsWith(u'\''))
        throw Error(QStringLiteral("无法识别的记录集筛选条件：%1").arg(f));
    const int col = FieldIndex(f.left(eq).trimmed());
    const QString wanted =
        f.mid(eq + 2, f.size() - eq - 3).replace(QStringLiteral("''"), QStringLiteral("'"));
    m_filter = f;
    m_visible.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        const QVariant& v = m_rows[i][col];
        if (!v.isNull() && v.toString() == wanted)
            m_visible.push_back(i);
    }
}

bool RecordSet::Find(const QString& criterion) {
    const int eq = criterion.indexOf(u'=');
    if (eq <= 0)
        throw Error(QStringLiteral("无法识别的记录集查找条件：%1").arg(criterion));
    const int col = FieldIndex(criterion.left(eq).trimmed());
    QString wanted = criterion.mid(eq + 1).trimmed();
    if (wanted.size() >= 2 && wanted.startsWith(u'\'') && wanted.endsWith(u'\''))
        wanted = wanted.mid(1, wanted.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    for (int pos = std::max(m_pos, 0); pos < RecordCount(); ++pos) {
        const QVariant& v = m_rows[m_visible[pos]][col];
        if (!v.isNull() && v.toString() == wanted) {
            m_pos = pos;
            return true;
        }
    }
    m_pos = RecordCount();
    return false;
}

QVariant RecordSet::Value(const QString& field) const {
    const int col = FieldIndex(field);
    if (m_pos < 0 || m_pos >= RecordCount())
        throw Error(QStringLiteral("记录集已到末尾，没有当前记录"));
    return m_rows[m_visible[m_pos]][col];
}

bool RecordSet::IsNull(const QString& field) const {
    const QVariant v = Value(field);
    return !v.isValid() || v.isNull();
}

QString RecordSet::Text(const QString& field, const QString& ifNull) const {
    const QVariant v = Value(field);
    return (!v.isValid() || v.isNull()) ? ifNull : v.toString();
}

} // namespace zpp
