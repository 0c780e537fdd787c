#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace zpp {

class KeyedRecord;
class RecordList;
using RecordPtr = std::shared_ptr<KeyedRecord>;
using RecordListPtr = std::shared_ptr<RecordList>;

// The ordered key set of a record. Records built from the same source (rows of one
// query, clones) share one key set, so a 100,000-row list holds its 35 keys once.
class KeySet {
public:
    int IndexOf(const QString& key) const;
    int Count() const { return static_cast<int>(m_keys.size()); }
    const QString& At(int i) const { return m_keys[i]; }
    int Append(const QString& key);
    static QString Fold(const QString& key) { return key.toCaseFolded(); }

private:
    QVector<QString> m_keys;
    QHash<QString, int> m_index;
};

// A map from text key to value. Keys compare without regard to letter case and keep
// the spelling they were first set with; iteration follows insertion order.
class KeyedRecord {
public:
    KeyedRecord();
    explicit KeyedRecord(std::shared_ptr<const KeySet> keys);
    // A record over a shared key set with one value per key, in key order.
    KeyedRecord(std::shared_ptr<const KeySet> keys, QVector<QVariant> values);
    static RecordPtr Create() { return std::make_shared<KeyedRecord>(); }

    bool Exists(const QString& key) const {
        const int i = m_keys->IndexOf(key);
        return i >= 0 && IsLive(i);
    }
    QVariant Get(const QString& key) const;
    QVariant Get(const QString& key, const QVariant& defaultValue) const;
    // The value as text; an absent key gives empty text.
    QString Text(const QString& key) const { return Get(key, QString()).toString(); }
    void Set(const QString& key, const QVariant& value);
    void SetObject(const QString& key, const RecordListPtr& list);
    RecordListPtr Object(const QString& key) const;
    void Remove(const QString& key);

    int Count() const;
    QStringList Keys() const;
    // Key and value by 0-based position, for fast whole-record loops.
    const QString& KeyAt(int i) const { return m_keys->At(i); }
    const QVariant& ValueAt(int i) const { return m_values[i]; }
    // The value at a key-set position, or an invalid QVariant when the record lacks it.
    QVariant ValueOrInvalid(int i) const {
        return (i >= 0 && i < m_values.size()) ? m_values[i] : QVariant();
    }
    void SetValueAt(int i, const QVariant& value) { m_values[i] = value; }
    const std::shared_ptr<const KeySet>& SharedKeys() const { return m_keys; }

    // A new record with the same keys and values; object values are shared.
    RecordPtr Clone() const;

private:
    std::shared_ptr<const KeySet> m_keys;
    QVector<QVariant> m_values;
    // Removed keys stay in the shared key set; their slots are marked invalid.
    bool IsLive(int i) const { return i < m_values.size() && m_values[i].isValid(); }
};

// An ordered list of records with 1-based positions.
class RecordList {
public:
    static RecordListPtr Create() { return std::make_shared<RecordList>(); }

    int Count() const { return static_cast<int>(m_items.size()); }
    // Position 1 to Count; anything else fails with an Error.
    const RecordPtr& Item(int position) const;
    void Add(RecordPtr record) { m_items.push_back(std::move(record)); }
    // Inserts before the given position; Count + 1 appends.
    void Insert(RecordPtr record, int beforePosition);
    void Remove(int position);
    void Clear() { m_items.clear(); }
    void Reserve(int n) { m_items.reserve(n); }
    // A new list of clones of the records (object values inside them are shared).
    RecordListPtr Clone() const;

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    QVector<RecordPtr> m_items;
};

} // namespace zpp

Q_DECLARE_METATYPE(zpp::RecordListPtr)
