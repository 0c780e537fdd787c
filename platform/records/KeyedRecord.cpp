#include "KeyedRecord.h"

#include "Error.h"

namespace zpp {

QString DescribeException(const std::exception& e) {
    if (auto* err = dynamic_cast<const Error*>(&e))
        return err->Description();
    return QString::fromUtf8(e.what());
}

int KeySet::IndexOf(const QString& key) const {
    // Most lookups use a spelling the set was built with: found without folding a copy of the key.
    if (const auto it = m_exact.constFind(key); it != m_exact.cend())
        return *it;
    return m_index.value(Fold(key), -1);
}

int KeySet::Append(const QString& key) {
    const int i = Count();
    m_keys.push_back(key);
    const QString folded = Fold(key);
    const bool again = m_index.contains(folded);
    m_index.insert(folded, i);
    if (again) {
        // Another spelling of a key already here now names the new place: every spelling must.
        m_exact.clear();
        for (const QString& k : m_keys)
            m_exact.insert(k, m_index.value(Fold(k)));
    } else {
        m_exact.insert(key, i);
    }
    return i;
}

namespace {
const std::shared_ptr<const KeySet>& EmptyKeys() {
    static const auto empty = std::make_shared<const KeySet>();
    return empty;
}
} // namespace

KeyedRecord::KeyedRecord() : m_keys(EmptyKeys()) {}

KeyedRecord::KeyedRecord(std::shared_ptr<const KeySet> keys) : m_keys(std::move(keys)) {
    m_values.resize(m_keys->Count());
}

KeyedRecord::KeyedRecord(std::shared_ptr<const KeySet> keys, QVector<QVariant> values)
    : m_keys(std::move(keys)), m_values(std::move(values)) {
    m_values.resize(m_keys->Count());
}

QVariant KeyedRecord::Get(const QString& key) const {
    const int i = m_keys->IndexOf(key);
    if (i < 0 || !IsLive(i))
        throw Error(QStringLiteral("记录中没有关键字 \"%1\"").arg(key));
    return m_values[i];
}

QVariant KeyedRecord::Get(const QString& key, const QVariant& defaultValue) const {
    const int i = m_keys->IndexOf(key);
    return (i < 0 || !IsLive(i)) ? defaultValue : m_values[i];
}

void KeyedRecord::Set(const QString& key, const QVariant& value) {
    int i = m_keys->IndexOf(key);
    if (i < 0) {
        // Adding a key: copy the key set if others share it.
        auto own = std::make_shared<KeySet>(*m_keys);
        i = own->Append(key);
        m_keys = std::move(own);
    }
    if (m_values.size() <= i)
        m_values.resize(i + 1);
    // An invalid QVariant marks a removed slot, so a stored null becomes empty text.
    m_values[i] = value.isValid() ? value : QVariant(QString());
}

void KeyedRecord::SetObject(const QString& key, const RecordListPtr& list) {
    Set(key, QVariant::fromValue(list));
}

RecordListPtr KeyedRecord::Object(const QString& key) const {
    const QVariant v = Get(key, QVariant());
    return v.canConvert<RecordListPtr>() ? v.value<RecordListPtr>() : nullptr;
}

void KeyedRecord::Remove(const QString& key) {
    const int i = m_keys->IndexOf(key);
    if (i >= 0 && i < m_values.size())
        m_values[i] = QVariant();
}

int KeyedRecord::Count() const {
    int n = 0;
    for (int i = 0; i < m_values.size(); ++i)
        n += IsLive(i) ? 1 : 0;
    return n;
}

QStringList KeyedRecord::Keys() const {
    QStringList keys;
    for (int i = 0; i < m_values.size(); ++i)
        if (IsLive(i))
            keys << m_keys->At(i);
    return keys;
}

RecordPtr KeyedRecord::Clone() const {
    return std::make_shared<KeyedRecord>(*this);
}

RecordListPtr RecordList::Over(RowSourcePtr source) {
    auto list = Create();
    list->m_sourceRows = source ? source->Rows() : 0;
    list->m_items.resize(list->m_sourceRows);
    list->m_sourceFields = source ? source->Keys()->Count() : 0;
    list->m_source = std::move(source);
    return list;
}

const RecordPtr& RecordList::Item(int position) const {
    if (position < 1 || position > Count())
        throw Error(QStringLiteral("列表位置 %1 超出范围（1 到 %2）").arg(position).arg(Count()));
    RecordPtr& slot = m_items[position - 1];
    if (!slot && position <= m_sourceRows)
        slot = SourceRecord(position - 1);
    return slot;
}

RecordPtr RecordList::Peek(int position) const {
    if (position < 1 || position > Count())
        throw Error(QStringLiteral("列表位置 %1 超出范围（1 到 %2）").arg(position).arg(Count()));
    return InSource(position - 1) ? SourceRecord(position - 1) : m_items[position - 1];
}

RecordPtr RecordList::SourceRecord(int index) const {
    const auto& keys = m_source->Keys();
    QVector<QVariant> values;
    values.reserve(keys->Count());
    for (int f = 0; f < keys->Count(); ++f)
        values.push_back(m_source->Value(index, f));
    return std::make_shared<KeyedRecord>(keys, std::move(values));
}

const KeySet& RecordList::KeysAt(int position) const {
    static const KeySet none;
    if (position < 1 || position > Count())
        return none;
    if (InSource(position - 1))
        return *m_source->Keys();
    const RecordPtr& r = m_items[position - 1];
    return r ? *r->SharedKeys() : none;
}

QVariant RecordList::RecordValueAt(int position, int field) const {
    if (position < 1 || position > Count() || field < 0)
        return {};
    if (InSource(position - 1))
        return QVariant(); // a field the source does not have
    const RecordPtr& r = m_items[position - 1];
    return r ? r->ValueOrInvalid(field) : QVariant();
}

QVariant RecordList::ValueOf(int position, const QString& key, const QVariant& defaultValue) const {
    const QVariant v = ValueAt(position, KeysAt(position).IndexOf(key));
    return v.isValid() ? v : defaultValue;
}

void RecordList::Detach() {
    for (int i = 0; i < m_sourceRows; ++i)
        Item(i + 1);
    m_source.reset();
    m_sourceRows = 0;
    m_sourceFields = 0;
}

void RecordList::Insert(RecordPtr record, int beforePosition) {
    if (beforePosition < 1 || beforePosition > Count() + 1)
        throw Error(QStringLiteral("列表位置 %1 超出范围（1 到 %2）").arg(beforePosition).arg(Count() + 1));
    if (beforePosition <= m_sourceRows)
        Detach();
    m_items.insert(beforePosition - 1, std::move(record));
}

void RecordList::Remove(int position) {
    Item(position);
    if (position <= m_sourceRows)
        Detach();
    m_items.remove(position - 1);
}

RecordListPtr RecordList::Clone() const {
    auto copy = Create();
    copy->m_source = m_source;
    copy->m_sourceRows = m_sourceRows;
    copy->m_sourceFields = m_sourceFields;
    copy->m_items.reserve(Count());
    for (const auto& r : m_items)
        copy->m_items.push_back(r ? r->Clone() : nullptr);
    return copy;
}

} // namespace zpp
