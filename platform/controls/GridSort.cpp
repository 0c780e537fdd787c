// The order a column sorts the grid's rows in, and the column headers' sort indicator and menu.
#include "GridSort.h"

#include "GridModel.h"
#include "SpreadGrid.h"
#include "platform/records/Values.h"

#include <QCollator>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>
#include <algorithm>
#include <atomic>
#include <numeric>
#include <system_error>
#include <thread>

namespace zpp::controls {

namespace detail {

namespace {

constexpr int kUnseen = -1;
// From this many distinct texts on, collating them on a second thread pays for the thread.
constexpr std::size_t kTwoThreadTexts = 20000;

// The texts an ordering ranks: a column's stored entries (cells of one entry share its text), or
// for a worked-out column each row's own text. Id 0 is the empty cell.
struct ColumnTexts {
    const CellColumn* Stored = nullptr;
    std::vector<QString> Worked; // by row + 1

    std::size_t Count() const { return Stored ? Stored->EntryCount() : Worked.size(); }
    std::uint32_t IdOf(int r) const {
        if (Stored)
            return Stored->EntryOf(r);
        return Worked[std::size_t(r) + 1].isEmpty() ? 0 : std::uint32_t(r) + 1;
    }
    QStringView Text(std::uint32_t id) const {
        return Stored ? Stored->EntryText(id) : QStringView(Worked[id]);
    }
};

// Gives each text in ids a rank from next on in ascending order (equal texts one rank);
// returns the next free rank. Numbers and dates (by day) come before other texts.
int RankTexts(const ColumnTexts& texts, const std::vector<std::uint32_t>& ids, CellType type,
              const QLocale& locale, std::vector<int>& rank, int next) {
    struct Number {
        double Value;
        std::uint32_t Id;
    };
    std::vector<Number> numbers;
    std::vector<std::uint32_t> words;
    numbers.reserve(ids.size());
    for (std::uint32_t id : ids) {
        const QStringView text = id == 0 ? QStringView(u"0") : texts.Text(id); // an empty check box
        if (type == CellType::Date) {
            if (const auto day = values::ParseDisplayDate(text)) {
                numbers.push_back({double(day->toJulianDay()), id});
                continue;
            }
        }
        if (values::IsNumber(text))
            numbers.push_back({values::Val(text), id});
        else
            words.push_back(id);
    }
    std::sort(numbers.begin(), numbers.end(),
              [](const Number& a, const Number& b) { return a.Value < b.Value; });
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0 && numbers[i].Value != numbers[i - 1].Value)
            ++next;
        rank[numbers[i].Id] = next;
    }
    if (!numbers.empty())
        ++next;
    if (words.empty())
        return next;
    // Equal texts kept apart in the store (typed, not shared) are collated once: each word is
    // mapped to the first word of its text, through an open-addressed table of word indices.
    std::size_t slots = 16;
    while (slots < 2 * words.size())
        slots *= 2;
    constexpr std::uint32_t kFree = ~0u;
    std::vector<std::uint32_t> table(slots, kFree);
    std::vector<std::uint32_t> firstOf(words.size()); // by word, the first word of its text
    std::vector<std::uint32_t> distinct;
    for (std::uint32_t w = 0; w < words.size(); ++w) {
        const QStringView text = texts.Text(words[w]);
        std::size_t at = qHash(text) & (slots - 1);
        while (table[at] != kFree && texts.Text(words[table[at]]) != text)
            at = (at + 1) & (slots - 1);
        if (table[at] == kFree) {
            table[at] = w;
            distinct.push_back(w);
        }
        firstOf[w] = table[at];
    }
    // QCollator compares two texts at a time far too slowly for a million rows: each distinct
    // text gets its sort key once, and the keys are compared as bytes.
    // Many texts are keyed and sorted in two halves on two threads, each with its own collator,
    // and the halves merged.
    const std::size_t n = distinct.size();
    const auto collatorFor = [&locale] {
        QCollator c(locale);
        c.setNumericMode(true); // "第9批" before "第10批"
        return c;
    };
    const QCollator collator = collatorFor();
    std::vector<QCollatorSortKey> keys(n, collator.sortKey(QString()));
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const auto less = [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; };
    const auto keyAndSort = [&](const QCollator& c, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            keys[i] = c.sortKey(texts.Text(words[distinct[i]]).toString());
        std::sort(order.begin() + std::ptrdiff_t(from), order.begin() + std::ptrdiff_t(to), less);
    };
    std::size_t half = n >= kTwoThreadTexts && std::thread::hardware_concurrency() > 1 ? n / 2 : n;
    std::atomic<bool> otherFailed{false};
    std::thread other;
    if (half < n) {
        try {
            other = std::thread([&] {
                try {
                    keyAndSort(collatorFor(), half, n);
                } catch (...) {
                    otherFailed = true;
                }
            });
        } catch (const std::system_error&) {
            half = n; // no thread to spare: all of it here
        }
    }
    keyAndSort(collator, 0, half);
    if (other.joinable()) {
        other.join();
        if (otherFailed)
            keyAndSort(collator, half, n);
        std::inplace_merge(order.begin(), order.begin() + std::ptrdiff_t(half), order.end(), less);
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]].compare(keys[order[i - 1]]) != 0)
            ++next;
        rank[words[distinct[order[i]]]] = next;
    }
    for (std::uint32_t w = 0; w < words.size(); ++w)
        rank[words[w]] = rank[words[firstOf[w]]];
    return next + 1;
}

} // namespace

QVector<int> SortedRows(const GridModel& model, int c, bool ascending, const QLocale& locale) {
    const int rows = model.Rows();
    const GridColumn& col = model.Col(c);
    ColumnTexts texts;
    if (col.formula) {
        texts.Worked.resize(std::size_t(rows) + 1);
        for (int r = 0; r < rows; ++r)
            texts.Worked[std::size_t(r) + 1] = col.formula(r);
    } else {
        texts.Stored = &col.cells;
    }
    // The texts the rows hold, each entry once, taken in the store's order: their characters
    // are then read one after another, not all over a million rows' worth of memory.
    std::vector<int> rank(texts.Count(), kUnseen);
    for (int r = 0; r < rows; ++r)
        rank[texts.IdOf(r)] = 0;
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = col.type == CellType::CheckBox ? 0 : 1; id < rank.size(); ++id)
        if (rank[id] == 0)
            ids.push_back(id);
    const int ranks = RankTexts(texts, ids, col.type, locale, rank, 0);
    if (!ascending)
        for (std::uint32_t id : ids)
            rank[id] = ranks - 1 - rank[id];
    // Empty cells last both ways, as spreadsheets keep them.
    if (col.type != CellType::CheckBox)
        rank[0] = ranks;
    // Rows placed by rank in one pass keep their order among equals.
    std::vector<int> start(std::size_t(ranks) + 2, 0);
    for (int r = 0; r < rows; ++r)
        ++start[std::size_t(rank[texts.IdOf(r)]) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    QVector<int> order(rows);
    for (int r = 0; r < rows; ++r)
        order[start[std::size_t(rank[texts.IdOf(r)])]++] = r + 1;
    return order;
}

void GridModel::SetSortIndicator(int c, Qt::SortOrder direction) {
    m_sortCol = c;
    m_sortDirection = direction;
    if (m_redraw && m_shownCols > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_shownCols - 1);
    else
        m_dirty = true;
}

void SetUpHeader(SpreadGrid& grid, QTableView& view) {
    QHeaderView* header = view.horizontalHeader();
    const auto* model = static_cast<const GridModel*>(view.model());
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(header, &QWidget::customContextMenuRequested, &grid, [&grid, header](const QPoint& at) {
        const int c = header->logicalIndexAt(at);
        if (c >= 0)
            Q_EMIT grid.HeaderMenuRequested(c + 1, header->viewport()->mapToGlobal(at));
    });
    const auto show = [header, model] {
        const QSignalBlocker quiet(header);
        const int c = model->SortCol();
        header->setSortIndicatorShown(c >= 0);
        header->setSortIndicator(c, model->SortDirection());
    };
    show();
    // A header click flips the indicator on its own; here a click only selects the column.
    QObject::connect(header, &QHeaderView::sortIndicatorChanged, header, show);
    QObject::connect(model, &QAbstractItemModel::headerDataChanged, header, [show](Qt::Orientation o) {
        if (o == Qt::Horizontal)
            show();
    });
}

} // namespace detail

// SpreadGrid's sorting, kept here with the rest of it.

QVector<int> SpreadGrid::SortOrder(int col, bool ascending, const QLocale& locale) const {
    const auto& model = *static_cast<const detail::GridModel*>(View()->model());
    if (col < 1 || col > model.Cols()) {
        QVector<int> unchanged(model.Rows());
        std::iota(unchanged.begin(), unchanged.end(), 1);
        return unchanged;
    }
    return detail::SortedRows(model, col - 1, ascending, locale);
}

void SpreadGrid::SetSortIndicator(int col, bool ascending) {
    auto& model = *static_cast<detail::GridModel*>(View()->model());
    model.SetSortIndicator(col >= 1 && col <= model.Cols() ? col - 1 : -1,
                           ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

} // namespace zpp::controls
