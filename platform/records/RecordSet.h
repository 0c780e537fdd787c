#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace zpp {

// A forward-and-back cursor over rows that services return (scheme lists, scheme
// values, order lists). Values may be null (an invalid or null QVariant).
class RecordSet {
public:
    RecordSet() = default;
    explicit RecordSet(QStringList fields) : m_fields(std::move(fields)) {}

    void AddRow(QVector<QVariant> values);
    const QStringList& Fields() const { return m_fields; }

    // Restricts the visible rows. Accepts "" (no filter) or Field='value' with '' for a
    // quote inside the value; the comparison is exact. Moves to the first visible row.
    void SetFilter(const QString& filter);
    const QString& Filter() const { return m_filter; }

    // Moves forward from the current row to the first row where "Field = value" holds (the
    // value bare or in quotes, compared as text); without one the set ends up at end of file.
    bool Find(const QString& criterion);

    int RecordCount() const { return static_cast<int>(m_visible.size()); }
    bool Eof() const { return m_pos >= RecordCount(); }
    bool Bof() const { return m_pos < 0 || RecordCount() == 0; }
    void MoveFirst() { m_pos = 0; }
    void MoveNext() { ++m_pos; }
    void MoveLast() { m_pos = RecordCount() - 1; }

    // The value of a field of the current row; fails at end of file or for an unknown field.
    QVariant Value(const QString& field) const;
    bool IsNull(const QString& field) const;
    // Text of the field, or the given text when the value is null.
    QString Text(const QString& field, const QString& ifNull = QString()) const;

private:
    int FieldIndex(const QString& field) const;
    void ResetVisible();

    QStringList m_fields;
    QVector<QVector<QVariant>> m_rows;
    QVector<int> m_visible;
    QString m_filter;
    int m_pos = 0;
};

using RecordSetPtr = std::shared_ptr<RecordSet>;

} // namespace zpp
