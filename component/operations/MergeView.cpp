// The list's merge and unmerge of the rows it shows: each row's place and unsaved-edit mark kept
// through the merge, so the unmerge gives the entries back in that order with their marks.
#include "EntryData.h"
#include "MergeRows.h"
#include "RowFields.h"
#include "component/host/ComponentState.h"
#include "platform/records/Values.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <vector>

namespace zpp {

namespace {

// Each row with its place in the list and whether it carries unsaved edits, so an unmerge can
// give the entries back in that order with their marks. Rows sharing a key set share the
// extended one.
void AddPlaces(RecordList& rows, const QVector<int>& marked) {
    std::vector<bool> isMarked(rows.Count() + 1, false);
    for (int r : marked)
        if (r >= 1 && r <= rows.Count())
            isMarked[r] = true;
    std::shared_ptr<const KeySet> plain, extended;
    for (int p = 1; p <= rows.Count(); ++p) {
        KeyedRecord& r = *rows.Item(p);
        if (r.SharedKeys() != plain) {
            plain = r.SharedKeys();
            auto keys = std::make_shared<KeySet>(*plain);
            for (const QString& f : {fld::Row, fld::Marked})
                if (keys->IndexOf(f) < 0)
                    keys->Append(f);
            extended = std::move(keys);
        }
        QVector<QVariant> values;
        values.reserve(extended->Count());
        for (int i = 0; i < plain->Count(); ++i)
            values.append(r.ValueOrInvalid(i));
        values.resize(extended->Count());
        values[extended->IndexOf(fld::Row)] = p;
        values[extended->IndexOf(fld::Marked)] = isMarked[p] ? 1 : 0;
        r = KeyedRecord(extended, std::move(values));
    }
}

} // namespace

RecordListPtr MergeView(const RecordListPtr& gridRows, QVector<int>* marked) {
    RecordListPtr entries = gridRows ? gridRows->Clone() : RecordList::Create();
    AddPlaces(*entries, marked ? *marked : QVector<int>());
    RecordListPtr merged = MergePlanRows(entries);
    State().EntryRowVct = entries;
    State().MergedRowVct = merged;
    if (marked) {
        // A merged row carries a mark when any of its entries did, so a save reads it.
        marked->clear();
        for (int p = 1; p <= merged->Count(); ++p)
            if (const RecordListPtr members = merged->Item(p)->Object(fld::EntryDataVct))
                for (const auto& e : *members)
                    if (values::Val(e->Get(fld::Marked, 0)) == 1) {
                        *marked << p;
                        break;
                    }
    }
    return merged;
}

RecordListPtr UnMergeView(const RecordListPtr& gridRows, QVector<int>* marked) {
    QVector<EntryOrigin> origins;
    RecordListPtr entries = BuildEntryData(gridRows, &origins);
    // Each entry's place and mark from before the merge.
    struct Before {
        int Place;
        bool Marked;
    };
    QHash<QString, Before> before;
    if (const RecordListPtr& merged = State().MergedRowVct)
        for (const auto& m : *merged)
            if (const RecordListPtr members = m ? m->Object(fld::EntryDataVct) : nullptr)
                for (const auto& e : *members) {
                    bool ok = false;
                    const int place = e->Get(fld::Row, QVariant()).toInt(&ok);
                    if (ok)
                        before.insert(e->Text(fld::Key), {place, values::Val(e->Get(fld::Marked, 0)) == 1});
                }
    QSet<int> markedNow;
    if (marked)
        markedNow = QSet<int>(marked->begin(), marked->end());

    struct Placed {
        int Place;
        int Index;
        bool Marked;
    };
    std::vector<Placed> placed;
    placed.reserve(entries->Count());
    for (int i = 0; i < entries->Count(); ++i) {
        const auto it = before.constFind(entries->Item(i + 1)->Text(fld::Key));
        const EntryOrigin& from = origins[i];
        // A merged row's own mark may only stand for a member marked before the merge: its
        // entries are marked when it was edited since, or when they were marked before.
        const bool ownRow = values::Val(gridRows->Item(from.Row)->Get(fld::IsMerge, 0)) != 1;
        const bool isMarked = from.Edited || (it != before.constEnd() && it->Marked) ||
                              (ownRow && markedNow.contains(from.Row));
        // An entry the merge did not see goes after those it did, in the order built.
        placed.push_back(
            {it != before.constEnd() ? it->Place : std::numeric_limits<int>::max(), i, isMarked});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.Place < b.Place; });
    auto ordered = RecordList::Create();
    ordered->Reserve(entries->Count());
    if (marked)
        marked->clear();
    for (const Placed& p : placed) {
        ordered->Add(entries->Item(p.Index + 1));
        if (marked && p.Marked)
            *marked << ordered->Count();
    }
    State().EntryRowVct = ordered;
    return ordered;
}

} // namespace zpp
