#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <iterator>
#include <memory>
#include <utility>

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
    QHash<QString, int> m_index; // by folded key
    QHash<QString, int> m_exact; // by each spelling appended
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

// Rows that a list reads on demand instead of holding them as records: a large query result
// kept in a compact form of its own costs a fraction of a record per row.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual int Rows() const = 0;
    virtual const std::shared_ptr<const KeySet>& Keys() const = 0;
    // The value of a field (a position in Keys()) of a row (from 0); invalid when the row lacks it.
    virtual QVariant Value(int row, int field) const = 0;
    // For a source that keeps recurring values once: a number from 0 up that every row whose
    // field holds the same kept value shares, so a reader converts each such value once; -1 for
    // a value of the row's own.
    virtual int SharedValueId(int /*row*/, int /*field*/) const { return -1; }
};
using RowSourcePtr = std::shared_ptr<const RowSource>;

// An ordered list of records with 1-based positions.
class RecordList {
public:
    static RecordListPtr Create() { return std::make_shared<RecordList>(); }
    // A list over a row source. A row becomes a record the first time it is asked for as one,
    // and stays that record, so changes made to it hold; ValueAt reads without making one.
    static RecordListPtr Over(RowSourcePtr source);

    int Count() const { return static_cast<int>(m_items.size()); }
    // Position 1 to Count; anything else fails with an Error.
    const RecordPtr& Item(int position) const;
    // The row at a position for reading. A source row not yet made a record is built for this
    // call alone and kept nowhere, so a pass over a big source list holds one row at a time;
    // changes made to it are lost.
    RecordPtr Peek(int position) const;
    // The keys of the row at a position and one of its values by key position (invalid when
    // the row lacks it), without turning a source row into a record.
    const KeySet& KeysAt(int position) const;
    QVariant ValueAt(int position, int field) const {
        const int i = position - 1;
        if (i >= 0 && i < m_sourceRows && field >= 0 && field < m_sourceFields && !std::as_const(m_items)[i])
            return m_source->Value(i, field);
        return RecordValueAt(position, field);
    }
    // The source's SharedValueId of a value ValueAt reads from the source, else -1.
    int SharedIdAt(int position, int field) const {
        const int i = position - 1;
        if (i >= 0 && i < m_sourceRows && field >= 0 && field < m_sourceFields && !std::as_const(m_items)[i])
            return m_source->SharedValueId(i, field);
        return -1;
    }
    // The value of a key of the row at a position, or the default when the row lacks it.
    QVariant ValueOf(int position, const QString& key, const QVariant& defaultValue) const;
    void Add(RecordPtr record) { m_items.push_back(std::move(record)); }
    // Inserts before the given position; Count + 1 appends.
    void Insert(RecordPtr record, int beforePosition);
    void Remove(int position);
    void Clear() {
        m_items.clear();
        m_source.reset();
        m_sourceRows = 0;
        m_sourceFields = 0;
    }
    void Reserve(int n) { m_items.reserve(n); }
    // A new list of clones of the records (object values inside them are shared). Rows still
    // in the source stay there: the clone makes its own records from them when asked.
    RecordListPtr Clone() const;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = RecordPtr;
        using difference_type = std::ptrdiff_t;
        using pointer = const RecordPtr*;
        using reference = const RecordPtr&;
        const_iterator(const RecordList* list, int index) : m_list(list), m_index(index) {}
        reference operator*() const { return m_list->Item(m_index + 1); }
        pointer operator->() const { return &m_list->Item(m_index + 1); }
        const_iterator& operator++() {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int) {
            auto old = *this;
            ++m_index;
            return old;
        }
        bool operator==(const const_iterator& o) const { return m_index == o.m_index; }
        bool operator!=(const const_iterator& o) const { return m_index != o.m_index; }

    private:
        const RecordList* m_list;
        int m_index;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, Count()}; }

private:
    bool InSource(int index) const { return index < m_sourceRows && !std::as_const(m_items)[index]; }
    QVariant RecordValueAt(int position, int field) const;
    RecordPtr SourceRecord(int index) const;
    // Turns every remaining source row into a record, before positions shift.
    void Detach();

    // Null slots below m_sourceRows are rows of the source not asked for yet.
    mutable QVector<RecordPtr> m_items;
    RowSourcePtr m_source;
    int m_sourceRows = 0;
    int m_sourceFields = 0;
};

} // namespace zpp

Q_DECLARE_METATYPE(zpp::RecordListPtr)
