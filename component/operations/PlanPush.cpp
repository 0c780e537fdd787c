// clsPurchasePlan's push: the checks of the ticked rows, the push list built from them, and the
// push itself. Apart from the other operations, which send the ticked rows as they are.
#include "clsPurchasePlan.h"

#include "EntryData.h"
#include "MergeRows.h"
#include "PushNotes.h"
#include "PushRows.h"
#include "RowFields.h"
#include "clsPurchasePlanInternal.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "component/host/contracts/UserProfileInfo.h"
#include "frmMessage.h"
#include "frmMrpResult.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QHash>

namespace zpp {

using planops::ShowInformation;
using planops::UpdateService;

bool clsPurchasePlan::PushesMoreThanLeft(const controls::SpreadGrid& grid, int row) {
    return values::Val(grid.Text(col::PushQty, row)) >
           values::Val(grid.Text(col::PurchaseUnFinishQty, row)) + 1e-9;
}

QString clsPurchasePlan::PushQtyRefusal(const controls::SpreadGrid& grid, int row) {
    if (!PushesMoreThanLeft(grid, row))
        return {};
    return GetLangString(QStringLiteral("第%1行（采购建议号[%2]分录号 %3）：%4"))
        .arg(QString::number(row), grid.Text(col::BillNo, row), grid.Text(col::EntryID, row),
             GetLangString(QStringLiteral("下推数量 %1 大于未下达采购订单数量 %2"))
                 .arg(grid.Text(col::PushQty, row), grid.Text(col::PurchaseUnFinishQty, row)));
}

QDate clsPurchasePlan::NewBillDate() {
    auto profile = CreateObject<UserProfileInfo>(QString::fromLatin1(progid::UserProfileInfo));
    const QString setting = profile->GetUserProfile(GetPropsString(), QStringLiteral("NewBillDate"),
                                                    QStringLiteral("NewBillDate"));
    bool today = !setting.contains(u'0');
    auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
    // Whole days only: the delivery dates it is compared with carry no time.
    return QDate::fromString(server->GetNewBillDate(today).toString(QStringLiteral("yyyy-MM-dd")),
                             QStringLiteral("yyyy-MM-dd"));
}

void clsPurchasePlan::StopIfAsked(int row) {
    if ((row & 1023) == 1 && !longwork::KeepGoing())
        throw Cancelled(GetLangString(QStringLiteral("下推已取消，没有生成任何订单")));
}

RecordListPtr clsPurchasePlan::CollectOpenTickedRows() {
    controls::SpreadGrid& grid = Grid();
    QVector<qint32> gridRows;
    RecordListPtr rows = ReadGridRows(grid, [&](int row) {
        StopIfAsked(row);
        if (!Ticked(row) || !grid.Text(col::Close, row).trimmed().isEmpty() ||
            pushnotes::NothingLeft(grid, row))
            return false;
        gridRows << row;
        return true;
    });
    // The grid row travels with each push line, so a service that objects to a line can name
    // the row to show.
    for (int i = 0; i < gridRows.size(); ++i)
        rows->Item(i + 1)->Set(fld::Row, gridRows[i]);
    return rows;
}

int clsPurchasePlan::AddOpenTickedRows(PushRows& rows, const LoadedVersions& versions) {
    controls::SpreadGrid& grid = Grid();
    static constexpr int colOf[PushRows::FieldCount] = {col::InterID,
                                                        col::EntryID,
                                                        col::ItemID,
                                                        col::UnitID,
                                                        col::AuxPropID,
                                                        col::SupplyID,
                                                        0,
                                                        col::PushQty,
                                                        col::Price,
                                                        col::DiscountRate,
                                                        col::TaxRate,
                                                        col::FinishDate,
                                                        col::Memo,
                                                        col::BillNo,
                                                        col::ItemNumber,
                                                        col::ItemName,
                                                        col::SupplyNumber,
                                                        col::SupplyName};
    int added = 0;
    for (int row = 1, last = grid.MaxRows(); row <= last; ++row) {
        StopIfAsked(row);
        if (!Ticked(row) || !grid.Text(col::Close, row).trimmed().isEmpty() ||
            pushnotes::NothingLeft(grid, row))
            continue;
        // Only the free-text cells can hold what no store can; the others are checked on entry.
        rows.Add(row, versions.Of(grid.Text(col::Key, row), row), [&](PushRows::Field f) {
            const QString text = grid.Text(colOf[f], row);
            return f == PushRows::Memo || f == PushRows::SupplyNumber ? StorableText(text) : text;
        });
        ++added;
    }
    return added;
}

QString clsPurchasePlan::DescribeOwnValues(const RecordList& entries) {
    static constexpr int columnOf[] = {col::Price, col::DiscountRate, col::TaxRate, col::FinishDate,
                                       col::Memo};
    constexpr int kShownRows = 50, kNamedEntries = 10;
    const controls::SpreadGrid& grid = Grid();
    const QString crlf = QStringLiteral("\r\n");
    QString text;
    int described = 0;
    // Entries arrive grouped by their row; only those with something to push are ordered.
    for (int at = 1; at <= entries.Count();) {
        const int row = values::ToInt32(entries.Item(at)->Get(fld::Row, 0));
        RecordList ordered;
        for (; at <= entries.Count() && values::ToInt32(entries.Item(at)->Get(fld::Row, 0)) == row; ++at)
            if (values::Val(entries.Item(at)->Get(fld::PushQty, 0)) > 0)
                ordered.Add(entries.Item(at));
        QStringList fields;
        for (int f = 0; f < OwnValueFields().size(); ++f)
            if (!DifferingValues(ordered, OwnValueFields()[f], 1).isEmpty())
                fields << grid.HeaderText(columnOf[f]).trimmed();
        if (fields.isEmpty())
            continue;
        if (++described > kShownRows)
            continue;
        QStringList named;
        for (int i = 1; i <= ordered.Count() && i <= kNamedEntries; ++i)
            named << GetLangString(QStringLiteral("采购建议号[%1]分录号 %2"))
                         .arg(ordered.Item(i)->Text(fld::BillNo), ordered.Item(i)->Text(fld::EntryID));
        if (ordered.Count() > kNamedEntries)
            named << QStringLiteral("……");
        const QString comma = GetLangString(QStringLiteral("、"));
        text += GetLangString(QStringLiteral("第%1行（%2）：%3"))
                    .arg(QString::number(row), fields.join(comma), named.join(comma)) +
                crlf;
    }
    if (described > kShownRows)
        text += GetLangString(QStringLiteral("……另有 %1 行未列出")).arg(described - kShownRows) + crlf;
    return text;
}

bool clsPurchasePlan::PushBill() {
    // The log record is the push's own, written with its orders.
    QDate newBillDate = NewBillDate();
    if (!CheckPushRows())
        return false;
    m_orderIds.clear();
    RecordListPtr orders;
    {
        // A push of many rows shows a window after a second; its 取消 undoes the push whole.
        SlowWork progress(GetLangString(QStringLiteral("正在下推…")), 0, 1000, true);
        longwork::Scope poll([&progress] { return progress.Step(); });
        try {
            orders =
                UpdateService()->PushBill(GetPropsString(), m_pushVct, GetUserID(), m_orderIds, newBillDate);
        } catch (const Cancelled&) {
            throw; // says so itself
        } catch (const Error& e) {
            if (e.OutcomeUnknown())
                throw;
            throw Error(pushnotes::Refused(e.Description()));
        }
    }
    if (orders)
        ShowPushResult(m_orderIds, orders, m_skipped > 0 ? pushnotes::Skipped(m_skipped) : QString());
    return true;
}

bool clsPurchasePlan::CheckPushRows() {
    m_skipped = 0;
    const QDate newBillDate = NewBillDate();
    controls::SpreadGrid& grid = Grid();
    const QString crlf = QStringLiteral("\r\n");
    // A list of a million refused rows would be unreadable and hundreds of megabytes: the first
    // kShownProblems are listed and the rest counted.
    constexpr int kShownProblems = 200;
    int problemCount = 0;
    const auto line = [&](int row, const char* problem) -> QString {
        if (++problemCount > kShownProblems)
            return {};
        return GetLangString(QStringLiteral("第")) + QString::number(row) +
               GetLangString(QString::fromUtf8(problem)) + crlf;
    };
    ComponentState& state = State();
    struct PushingOff {
        ~PushingOff() { State().IsPushing = false; }
    } off;
    // The delivery date problem of a cell's text, if any.
    const auto dateProblem = [&](const QString& finish) -> const char* {
        if (finish.isEmpty())
            return "建议交货日期不能为空";
        if (const std::optional<QDate> date = values::ParseDate(finish))
            return *date < newBillDate ? "建议交货日期不能小于单据日期" : nullptr;
        return "建议交货日期不是有效日期";
    };
    QString problems;
    // Merged rows whose entries will be ordered at values of their own, not the one shown.
    QString ownValues;
    int tickedOpen = 0;
    {
        // Over a big list the checks take a while: a window after a second, whose 取消 stops the
        // push before anything is asked or sent.
        SlowWork progress(GetLangString(QStringLiteral("正在检查下推的数据…")), 0, 1000, true);
        longwork::Scope poll([&progress] { return progress.Step(); });
        // A merged row shows the earliest date of its entries, but each entry is ordered at the
        // date it will carry: those are checked instead, each named by its plan and entry.
        QHash<int, QStringList> memberDates;
        if (state.IsMergedView) {
            QVector<qint32> mergedRows;
            const RecordListPtr rows = ReadGridRows(grid, [&](int row) {
                StopIfAsked(row);
                if (!Ticked(row) || values::Val(grid.Text(col::IsMerge, row)) != 1)
                    return false;
                mergedRows << row;
                return true;
            });
            for (int i = 0; i < mergedRows.size(); ++i)
                rows->Item(i + 1)->Set(fld::Row, mergedRows[i]);
            const RecordListPtr entries = BuildEntryData(rows);
            for (const RecordPtr& e : *entries) {
                // An entry with nothing to push is not ordered.
                if (values::Val(e->Get(fld::PushQty, 0)) <= 0)
                    continue;
                if (const char* why = dateProblem(e->Text(fld::FinishDate))) {
                    const int row = values::ToInt32(e->Get(fld::Row));
                    memberDates[row] << GetLangString(QStringLiteral("第%1行（采购建议号[%2]分录号 %3）：%4"))
                                            .arg(QString::number(row), e->Text(fld::BillNo),
                                                 e->Text(fld::EntryID),
                                                 GetLangString(QString::fromUtf8(why)));
                }
            }
        }
        for (int row = 1, last = grid.MaxRows(); row <= last; ++row) {
            StopIfAsked(row);
            if (!Ticked(row))
                continue;
            if (pushnotes::NothingLeft(grid, row)) {
                ++m_skipped; // counted in one line rather than refused one line a row
                continue;
            }
            const QString pushQty = grid.Text(col::PushQty, row);
            const bool open = grid.Text(col::Close, row).trimmed().isEmpty();
            if (!open)
                problems += line(row, "行物料已关闭,不能下推 ");
            if (state.IsMergedView && values::Val(grid.Text(col::IsMerge, row)) == 1) {
                for (const QString& member : memberDates.value(row))
                    if (++problemCount <= kShownProblems)
                        problems += member + crlf;
            } else if (const char* why = dateProblem(grid.Text(col::FinishDate, row))) {
                problems += line(row, QByteArray(QByteArray("行") + why + ' ').constData());
            }
            // A quantity that is not a number cannot be pushed either.
            if (open && (pushQty.isEmpty() || !values::IsNumber(pushQty) || values::Val(pushQty) <= 0))
                problems += line(row, "行下推数量不能小于或等于'0' ");
            else if (open && PushesMoreThanLeft(grid, row))
                problems += line(row, "行下推数量不能大于未下达采购订单数量 ");
            if (grid.Text(col::SupplyNumber, row).isEmpty())
                problems += line(row, "行供应商代码不能为空 ");
        }
        if (problems.isEmpty()) {
            // A merged row orders each of its entries at the entry's own values; rows that differ
            // in price, rates, date or note become separate lines. Each entry goes with the
            // version the list holds of it: one changed elsewhere since is refused by the push
            // rather than ordered as this list shows it.
            auto rows = std::make_shared<PushRows>();
            const LoadedVersions versions(LoadedRows ? LoadedRows() : nullptr);
            state.IsPushing = true;
            if (state.IsMergedView) {
                const RecordListPtr candidates = CollectOpenTickedRows();
                tickedOpen = candidates->Count();
                if (tickedOpen > 0) {
                    const RecordListPtr entries = BuildEntryData(candidates);
                    for (const RecordPtr& e : *entries)
                        if (const auto version = versions.Of(e->Text(fld::Key)))
                            e->Set(kEntryVersionField, *version);
                    rows->AddRecords(*entries);
                    ownValues = DescribeOwnValues(*entries);
                }
            } else {
                tickedOpen = AddOpenTickedRows(*rows, versions);
            }
            if (tickedOpen > 0)
                m_pushVct = PushLines(std::move(rows));
        }
    }
    if (problemCount > kShownProblems)
        problems +=
            GetLangString(QStringLiteral("……另有 %1 个问题未列出")).arg(problemCount - kShownProblems) + crlf;
    m_pushProblems = problems;
    const QString skipped = m_skipped > 0 ? pushnotes::Skipped(m_skipped) + crlf : QString();
    if (!problems.isEmpty()) {
        ShowMessageDialog(pushnotes::Refused(problems + skipped), QStringLiteral("vbYes"));
        return false;
    }
    if (tickedOpen == 0 && m_skipped > 0) {
        ui::MsgBox(pushnotes::Refused(skipped.trimmed()), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
        return false;
    }
    if (tickedOpen == 0) {
        ShowInformation(QStringLiteral("请勾选需要下推的数据！"));
        return false;
    }
    if (!ownValues.isEmpty() &&
        ShowMessageDialog(
            GetLangString(QStringLiteral("以下汇总行的分录各按自己的值分别下单，与汇总行显示的不同：")) +
                crlf + ownValues + GetLangString(QStringLiteral("是否继续下推？")),
            QStringLiteral("vbYesNo")) != -1)
        return false;

    const QString props = GetPropsString();
    auto bills = CreateObject<Bills>(QString::fromLatin1(progid::Bills));
    qint16 row = 1;
    if (!bills->ShowPOHighPriceForm(props, m_pushVct, row)) {
        if (row >= 1 && row <= grid.MaxRows())
            grid.SetActiveCell(col::ItemNumber, row);
        return false;
    }
    if (!m_pushVct)
        return true;

    ParsePropsString(props);
    QString controlType, suppliers;
    auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
    if (server->CheckCreditDegrees(props, m_pushVct, controlType, suppliers))
        return true;
    const QString title = GetLangString(QStringLiteral("信息提示"));
    if (controlType == u"2") {
        return ui::MsgBox(GetLangString(QStringLiteral("以下供应商已超过信用额度，是否保存？")) + crlf +
                              suppliers,
                          ui::YesNo | ui::Information, title) == ui::Yes;
    }
    if (controlType == u"3") {
        ui::MsgBox(pushnotes::Refused(GetLangString(QStringLiteral("以下供应商已超出信用额度，不允许保存!")) +
                                      crlf + suppliers),
                   ui::OkOnly | ui::Information, title);
        return false;
    }
    return true;
}

} // namespace zpp
