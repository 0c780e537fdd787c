#include "ListNotices.h"

#include "ListPrompts.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/operations/RowFields.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ui/Prompt.h"

#include <QAbstractItemModel>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>

namespace zpp {

namespace {
using listprompts::Lang;

// Who did what to an entry, and when (%1 the user, %2 the time).
QString Deed(const QString& change) {
    if (change == u"closed")
        return Lang("%1 在 %2 关闭了此分录");
    if (change == u"reopened")
        return Lang("%1 在 %2 反关闭了此分录");
    if (change == u"ordered")
        return Lang("%1 在 %2 下推了此分录");
    if (change == u"deleted")
        return Lang("%1 在 %2 删除了此分录");
    if (change == u"added")
        return Lang("%1 在 %2 新增了此分录");
    return Lang("%1 在 %2 修改了此分录");
}

// Rows the map takes in one slice of idle time: a few milliseconds.
constexpr int kRowsPerSlice = 20000;

// Gone from the store or out of the plan: a stronger tint than an edit.
bool Ends(const QString& change) {
    return change == u"closed" || change == u"deleted";
}
} // namespace

ListNotices::ListNotices(controls::SpreadGrid& grid, ClsPurchasePlanUI& list, std::function<void()> refresh,
                         QWidget* barParent)
    : QObject(barParent), m_grid(grid), m_list(list), m_refresh(std::move(refresh)) {
    m_bar = new QFrame(barParent);
    m_bar->setObjectName(QStringLiteral("barNotices"));
    m_bar->setAutoFillBackground(true);
    QPalette pal = m_bar->palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xCE));
    m_bar->setPalette(pal);
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(16, 4, 16, 4);
    m_text = new QLabel(m_bar);
    m_text->setObjectName(QStringLiteral("lblNotices"));
    m_text->setAccessibleName(Lang("其他用户的修改"));
    layout->addWidget(m_text, 1);
    m_next = new QPushButton(Lang("逐个查看(&N)"), m_bar);
    m_next->setObjectName(QStringLiteral("cmdNextNotice"));
    auto* reread = new QPushButton(Lang("刷新"), m_bar);
    reread->setObjectName(QStringLiteral("cmdNoticeRefresh"));
    layout->addWidget(m_next);
    layout->addWidget(reread);
    m_bar->hide();
    connect(m_next, &QPushButton::clicked, this, [this] { ShowNext(); });
    connect(reread, &QPushButton::clicked, this, [this] { m_refresh(); });
    // Rows moved: found again by entry when next needed; the tints move by themselves. Rows filled
    // anew: a new read clears the marks, a fold or unfold of the same read paints them again.
    m_making = new QTimer(this);
    m_making->setInterval(0);
    connect(m_making, &QTimer::timeout, this, [this] { MakeRows(m_rowsMade + kRowsPerSlice); });
    connect(&m_grid, &controls::SpreadGrid::RowsMoved, this, &ListNotices::ForgetRows);
    // A marked row the user edits now becomes a conflict at once, before any save.
    connect(&m_grid, &controls::SpreadGrid::Changed, this, [this](int, int r) {
        if (!m_seen.isEmpty() && !m_grid.RowTintTip(r).isEmpty())
            Paint({r});
    });
    connect(m_grid.View()->model(), &QAbstractItemModel::modelReset, this, [this] {
        ForgetRows();
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_list.Loaded() != m_loaded)
                    Reset();
                else
                    Paint(MarkedRows());
            },
            Qt::QueuedConnection);
    });
}

ListNotices::~ListNotices() = default;

void ListNotices::Start() {
    try {
        auto watch = CreateObject<EntryWatch>(QString::fromLatin1(progid::EntryWatch));
        m_watch = watch->Watch([this](const QVector<WatchedChange>& changes) { Take(changes); },
                               [this](const QString& reason) { Missed(reason); });
        ForgetRows();
    } catch (const std::exception&) {
        // A host without notices: the list is a snapshot, as it always was.
    }
}

void ListNotices::Reset() {
    m_loaded = m_list.Loaded();
    m_seen.clear();
    m_added = 0;
    m_missed.clear();
    ForgetRows();
    m_grid.ClearRowTints();
    Say();
}

void ListNotices::ForgetRows() {
    m_rowsKnown = false;
    m_seenPlaced = m_seen.isEmpty();
    m_rowsMade = 0;
    m_rows.clear();
    // Only a list that hears of changes needs the map.
    if (m_watch)
        m_making->start();
}

const QHash<quint64, int>& ListNotices::Rows() {
    if (!m_rowsKnown)
        MakeRows(m_grid.MaxRows());
    return m_rows;
}

void ListNotices::MakeRows(int upTo) {
    const int rows = m_grid.MaxRows();
    if (m_rowsMade == 0)
        m_rows.reserve(rows);
    upTo = std::min(upTo, rows);
    const RecordListPtr& records = m_list.Rows();
    if (State().IsMergedView && records && records->Count() == rows) {
        for (int r = m_rowsMade + 1; r <= upTo; ++r) {
            const RecordPtr& row = records->Item(r);
            if (!row)
                continue;
            const RecordListPtr entries = row->Object(fld::EntryDataVct);
            if (!entries || entries->Count() == 0) {
                m_rows.insert(KeyOf(row->Get(fld::InterID).toInt(), row->Get(fld::EntryID).toInt()), r);
                continue;
            }
            for (const RecordPtr& e : *entries)
                m_rows.insert(KeyOf(e->Get(fld::InterID).toInt(), e->Get(fld::EntryID).toInt()), r);
        }
    } else {
        for (int r = m_rowsMade + 1; r <= upTo; ++r)
            m_rows.insert(KeyOf(m_grid.Text(col::InterID, r).toInt(), m_grid.Text(col::EntryID, r).toInt()),
                          r);
    }
    m_rowsMade = std::max(m_rowsMade, upTo);
    m_rowsKnown = m_rowsMade >= rows;
    if (m_rowsKnown)
        m_making->stop();
}

void ListNotices::Take(const QVector<WatchedChange>& changes) {
    if (m_list.Loaded() != m_loaded)
        Reset(); // read again since the last notice
    PlaceSeen();
    const QHash<quint64, int>& rows = Rows();
    QVector<int> touched;
    int added = 0;
    for (const WatchedChange& c : changes) {
        const quint64 key = KeyOf(c.PlanId, c.EntryId);
        const auto it = rows.constFind(key);
        if (it == rows.constEnd()) {
            // Not shown here: only a new entry is news to this list (it is read on 刷新).
            added += c.Change == u"added";
            continue;
        }
        Seen& seen = m_seen[key];
        seen = {c.Change, c.User, c.At, seen.Times + 1, *it};
        touched << *it;
    }
    m_added += added;
    Paint(touched);
    Say();
}

void ListNotices::Paint(const QVector<int>& rows) {
    if (rows.isEmpty())
        return;
    // A row's entries (one, or a merged row's) by row, for its tip. A burst shares its user, time
    // and kind: each sentence is made once.
    struct Tip {
        QString Text;
        bool Ends = false;
    };
    QHash<int, Tip> tips;
    tips.reserve(rows.size());
    QHash<QString, QString> deeds;
    QHash<QDateTime, QString> times;
    PlaceSeen();
    std::vector<bool> wanted(m_grid.MaxRows() + 1);
    for (int r : rows)
        if (r > 0 && r < int(wanted.size()))
            wanted[r] = true;
    for (auto it = m_seen.cbegin(); it != m_seen.cend(); ++it) {
        if (it->Row <= 0 || it->Row >= int(wanted.size()) || !wanted[it->Row])
            continue;
        auto deed = deeds.constFind(it->Change);
        if (deed == deeds.constEnd())
            deed = deeds.insert(it->Change, Deed(it->Change));
        auto time = times.constFind(it->At);
        if (time == times.constEnd())
            time = times.insert(it->At, it->At.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
        Tip& tip = tips[it->Row];
        if (!tip.Text.isEmpty())
            tip.Text += u'\n';
        tip.Text += deed->arg(it->User, *time);
        tip.Ends = tip.Ends || Ends(it->Change);
    }
    QHash<int, std::pair<QColor, QString>> tints;
    tints.reserve(tips.size());
    for (auto it = tips.cbegin(); it != tips.cend(); ++it) {
        const int r = it.key();
        if (m_grid.RowChanged(r)) {
            // Edited here and there: the save will be refused for it, so it says so now.
            tints.insert(
                r,
                {QColor(0xF4, 0xB4, 0xB4),
                 Lang(
                     "冲突：您对此行有未保存的修改，其他用户也修改了它；保存时会被拒绝，请刷新后重新修改。") +
                     u'\n' + it->Text});
        } else {
            tints.insert(r, {it->Ends ? QColor(0xF3, 0xD6, 0xD6) : QColor(0xFF, 0xEF, 0xB8), it->Text});
        }
    }
    m_grid.SetRowTints(tints);
}

void ListNotices::PlaceSeen() {
    if (m_seenPlaced)
        return;
    const QHash<quint64, int>& rows = Rows();
    for (auto it = m_seen.begin(); it != m_seen.end(); ++it)
        it->Row = rows.value(it.key(), 0);
    m_seenPlaced = true;
}

QVector<int> ListNotices::MarkedRows() const {
    QVector<int> out;
    const_cast<ListNotices&>(*this).PlaceSeen();
    out.reserve(m_seen.size());
    for (const Seen& seen : m_seen)
        if (seen.Row > 0)
            out << seen.Row;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

QStringList ListNotices::Describe(const QVector<int>& rows, int atMost) const {
    QStringList lines;
    for (int r : rows) {
        const QString tip = m_grid.RowTintTip(r);
        if (tip.isEmpty())
            continue;
        if (lines.size() == atMost) {
            lines << Lang("……");
            break;
        }
        lines << GetLangString(QStringLiteral("第%1行：%2")).arg(r).arg(tip.section(u'\n', -1));
    }
    return lines;
}

bool ListNotices::ShowNext() {
    const QVector<int> marked = MarkedRows();
    if (marked.isEmpty())
        return false;
    const int from = m_grid.ActiveRow();
    const auto next = std::upper_bound(marked.cbegin(), marked.cend(), from);
    const int row = next == marked.cend() ? marked.first() : *next;
    m_grid.SetActiveCell(std::max(m_grid.ActiveCol(), col::CheckBox), row);
    m_grid.ScrollToRow(row);
    m_grid.View()->setFocus();
    return true;
}

bool ListNotices::ConfirmDespiteOthers(bool push) {
    QVector<int> rows;
    for (int r : MarkedRows())
        if (push ? m_grid.Text(col::CheckBox, r) == u"1" : m_grid.RowChanged(r))
            rows << r;
    if (rows.isEmpty())
        return true;
    const QString question =
        (push ? Lang("要下推的行中，以下行已被其他用户修改（数据库会拒绝这些行，请刷新后重新下推）：")
              : Lang("要保存的行中，以下行已被其他用户修改（数据库会拒绝这些行，请刷新后重新修改）：")) +
        u'\n' + Describe(rows, 10).join(u'\n') + u'\n' + Lang("是否继续？");
    return ui::MsgBox(question, ui::YesNo | ui::Question, Lang("信息提示")) == ui::Yes;
}

void ListNotices::Missed(const QString& reason) {
    m_missed = reason;
    Say();
}

void ListNotices::Say() {
    const int shown = MarkedRows().size();
    const int added = m_added;
    QStringList parts;
    if (!m_missed.isEmpty())
        parts << GetLangString(
                     QStringLiteral("与数据库的通知连接中断过，可能漏掉了其他用户的修改（%1）；请刷新。"))
                     .arg(m_missed);
    if (shown > 0)
        parts << GetLangString(QStringLiteral("列表中有 %1 个分录已被其他用户修改。")).arg(shown);
    if (added > 0)
        parts << GetLangString(QStringLiteral("其他用户新增了 %1 个分录。")).arg(added);
    m_text->setText(parts.join(u' '));
    m_next->setVisible(shown > 0);
    m_bar->setVisible(!parts.isEmpty());
}

} // namespace zpp
