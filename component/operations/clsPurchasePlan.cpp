#include "clsPurchasePlan.h"

#include "EntryData.h"
#include "MergeRows.h"
#include "PushNotes.h"
#include "PushRows.h"
#include "RowFields.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/LinkedBills.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "component/host/contracts/UserProfileInfo.h"
#include "frmMessage.h"
#include "frmMrpResult.h"
#include "frmResultList.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QHash>
#include <QSet>

namespace zpp {

namespace {

std::shared_ptr<PurchasePlanUpdate> UpdateService() {
    return CreateObject<PurchasePlanUpdate>(QString::fromLatin1(progid::PurchasePlanUpdate));
}

const QString& FieldOfColumn(int col) {
    return PlanFieldNames().at(col - 1);
}

void ShowInformation(const QString& text) {
    ui::MsgBox(GetLangString(text), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}

// Request records of one kind share a key set, so ticking 100,000 rows stays cheap.
std::shared_ptr<const KeySet> MakeKeys(const QStringList& names) {
    auto keys = std::make_shared<KeySet>();
    for (const QString& n : names)
        keys->Append(n);
    return keys;
}

} // namespace

controls::SpreadGrid& clsPurchasePlan::Grid() const {
    if (!Spread)
        throw Error(QStringLiteral("采购计划表格尚未设置"));
    return *Spread;
}

QString clsPurchasePlan::Cell(int col, int row) const {
    // Result records may name rows the grid no longer has.
    if (row < 1 || row > Grid().MaxRows())
        return QString();
    return Grid().Text(col, row);
}

bool clsPurchasePlan::Ticked(int row) const {
    return values::Val(Grid().Text(col::CheckBox, row)) == 1;
}

bool clsPurchasePlan::Save() {
    m_saveError.clear();
    try {
        // Rows unchanged since the load hold what the store held then, so the store would skip
        // them anyway; leaving them out keeps a save of a million-row list small.
        controls::SpreadGrid& grid = Grid();
        QVector<qint32> gridRows;
        RecordListPtr rows = ReadGridRows(grid, [&](int row) {
            if (!grid.RowChanged(row))
                return false;
            gridRows << row;
            return true;
        });
        for (int i = 0; i < gridRows.size(); ++i) {
            const RecordPtr& r = rows->Item(i + 1);
            // The grid row goes with each entry, so a refusal names the row the user sees.
            r->Set(fld::Row, gridRows[i]);
            // More than is left to order is the user's slip, told here rather than by the push.
            if (const QString why = PushQtyRefusal(grid, gridRows[i]); !why.isEmpty())
                throw Error(why);
        }
        m_saveVct = BuildEntryData(rows);
        const RecordListPtr loaded = LoadedRows ? LoadedRows() : nullptr;
        MarkEntryEdits(m_saveVct, loaded);
        UpdateService()->UpdatePurchasePlanEntry(GetPropsString(), m_saveVct);
        AcceptSavedEntries(m_saveVct, loaded);
        // The update service wrote the log record with the change.
        return true;
    } catch (const Error& e) {
        // Perhaps saved: the caller shows what the store holds instead of a failure.
        if (e.OutcomeUnknown())
            throw;
        m_saveError = e.Description();
        return false;
    } catch (const std::exception& e) {
        m_saveError = DescribeException(e);
        return false;
    } catch (...) {
        return false;
    }
}

void clsPurchasePlan::ClosePurchasePlan() {
    CloseOrUnClose(true);
}

void clsPurchasePlan::UnClosePurchasePlan() {
    CloseOrUnClose(false);
}

void clsPurchasePlan::CloseOrUnClose(bool close) {
    // The log record is the service's, written with the change.
    CollectTickedRows();
    if (m_closeVct->Count() == 0) {
        ShowInformation(close ? QStringLiteral("请先选择需要关闭的数据！")
                              : QStringLiteral("请先选择需要反关闭的数据！"));
        return;
    }
    auto service = UpdateService();
    const QString props = GetPropsString();
    RecordListPtr results = close ? service->ClosePurchasePlan(props, m_closeVct)
                                  : service->UnClosePurchasePlan(props, m_closeVct);
    if (results && results->Count() > 0)
        ShowResultList(close ? CloseResult : UnCloseResult, results);
}

void clsPurchasePlan::CollectTickedRows() {
    static const auto keys = MakeKeys({FieldOfColumn(col::InterID), FieldOfColumn(col::EntryID), fld::Row});
    m_closeVct = RecordList::Create();
    controls::SpreadGrid& grid = Grid();
    for (int row = 1, last = grid.MaxRows(); row <= last; ++row) {
        if (!Ticked(row))
            continue;
        m_closeVct->Add(std::make_shared<KeyedRecord>(
            keys,
            QVector<QVariant>{grid.Text(col::InterID, row), grid.Text(col::EntryID, row), qint32(row)}));
    }
}

QString clsPurchasePlan::CollectTickedPlans() {
    static const auto keys =
        MakeKeys({FieldOfColumn(col::InterID), FieldOfColumn(col::BillNo), fld::Row, fld::Succeed});
    m_deleteVct = RecordList::Create();
    QString billNos;
    QSet<QString> plans; // the plans already requested, as the look-through would find them
    controls::SpreadGrid& grid = Grid();
    // In the merged view a ticked merged row stands for the plans of all its entries.
    QHash<QString, RecordListPtr> membersByKey;
    const ComponentState& state = State();
    if (state.IsMergedView && state.MergedRowVct)
        for (const auto& m : *state.MergedRowVct)
            if (m && values::Val(m->Get(fld::IsMerge, 0)) == 1 && !membersByKey.contains(m->Text(fld::Key)))
                membersByKey.insert(m->Text(fld::Key), m->Object(fld::EntryDataVct));
    auto add = [&](const QString& interId, const QString& billNo, int row) {
        // A number found anywhere in the text, even inside a longer one, is not listed again.
        if (!billNos.contains(billNo))
            billNos += (billNos.trimmed().isEmpty() ? QString() : QStringLiteral(",")) + billNo;
        if (plans.contains(interId))
            return;
        plans.insert(interId);
        m_deleteVct->Add(
            std::make_shared<KeyedRecord>(keys, QVector<QVariant>{interId, billNo, qint32(row), qint16(0)}));
    };
    for (int row = 1, last = grid.MaxRows(); row <= last; ++row) {
        if (!Ticked(row))
            continue;
        const RecordListPtr members = membersByKey.value(grid.Text(col::Key, row));
        if (!members) {
            add(grid.Text(col::InterID, row), grid.Text(col::BillNo, row), row);
            continue;
        }
        for (const auto& e : *members)
            if (e)
                add(e->Text(fld::InterID), e->Text(fld::BillNo), row);
    }
    return billNos;
}

bool clsPurchasePlan::DeletePurChasePlan() {
    const QString billNos = CollectTickedPlans();
    if (m_deleteVct->Count() == 0) {
        ShowInformation(QStringLiteral("请先选择需要删除的数据！"));
        return false;
    }
    const QString question = GetLangString(QStringLiteral("系统将删除采购建议号：")) +
                             QStringLiteral("\r\n") + billNos + QStringLiteral("\r\n") +
                             GetLangString(QStringLiteral("所关联的所有记录，是否继续？"));
    if (ui::MsgBox(question, ui::YesNo | ui::Information, GetLangString(QStringLiteral("信息提示"))) !=
        ui::Yes)
        return false;

    // The service logs each plan with its delete (or its failure).
    RecordListPtr results = UpdateService()->DeletePurChasePlan(GetPropsString(), m_deleteVct);
    // One result per request: each names its own plan, which a merged row's text does not.
    if (results && m_deleteVct && results->Count() == m_deleteVct->Count()) {
        const QString billField = FieldOfColumn(col::BillNo);
        for (int i = 1; i <= results->Count(); ++i)
            if (const RecordPtr& r = results->Item(i))
                r->Set(billField, m_deleteVct->Item(i)->Get(billField));
    }
    if (results && results->Count() > 0)
        ShowResultList(DeleteResult, results);
    return true;
}

void clsPurchasePlan::ShowResultList(int kind, const RecordListPtr& results) {
    if (!results || results->Count() == 0)
        return;
    const QString word = kind == CloseResult     ? QStringLiteral("关闭")
                         : kind == UnCloseResult ? QStringLiteral("反关闭")
                                                 : QStringLiteral("删除");
    frmResultList window;
    window.SetTitle(GetLangString(QStringLiteral("提示信息|")));
    for (const auto& result : *results) {
        if (!result || !result->Exists(fld::Row))
            continue;
        const int row = values::ToInt32(result->Get(fld::Row));
        const double succeed = values::Val(result->Get(fld::Succeed, QVariant()));
        const QString billField = FieldOfColumn(col::BillNo);
        QString line = word + QStringLiteral("[采购建议号：") +
                       (result->Exists(billField) ? result->Text(billField) : Cell(col::BillNo, row));
        if (kind == CloseResult || kind == UnCloseResult)
            line += QStringLiteral(",物料代码：") + Cell(col::ItemNumber, row) + QStringLiteral(",") +
                    QStringLiteral("数量：") + Cell(col::Qty, row);
        line += QStringLiteral(" ]该记录");
        line += succeed == 1 ? QStringLiteral("成功") : QStringLiteral("不成功") + QStringLiteral("!");
        if (result->Exists(fld::Error) && succeed == 0)
            line += result->Text(fld::Error);
        window.AddLine(line + QStringLiteral("|"));
    }
    ui::ExecModal(window);
}

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

void clsPurchasePlan::ViewBillUp(qint32 direction) {
    controls::SpreadGrid& grid = Grid();
    qint32 interId = 0, entryId = 0, gridRow = 0;
    for (int row = 1, last = grid.MaxRows(); row <= last; ++row) {
        if (!Ticked(row))
            continue;
        interId = values::ToInt32(values::Val(grid.Text(col::InterID, row)));
        entryId = values::ToInt32(values::Val(grid.Text(col::EntryID, row)));
        gridRow = row;
        break;
    }
    if (interId == 0 || entryId == 0) {
        ui::MsgBox(GetLangString(QStringLiteral("请先选择需要")) +
                       GetLangString(direction == 0 ? QStringLiteral("上查") : QStringLiteral("下查")) +
                       GetLangString(QStringLiteral("的物料记录数据！")),
                   ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
        return;
    }
    try {
        auto source = CreateObject<OldDataSrv>(QString::fromLatin1(progid::OldDataSrv));
        source->ClassTypeID = -95;
        auto lookup = CreateObject<BillLookUp>(QString::fromLatin1(progid::BillLookUp));
        lookup->ClassTypeID = -95;
        lookup->ClassEntryID = entryId;
        lookup->GridRow = gridRow;
        lookup->dataSrv = source;
        qint32 dir = direction;
        lookup->ConnectView(dir, interId);
    } catch (const std::exception& e) {
        ui::MsgBox(GetLangString(QStringLiteral("数据操作错误:")) + QStringLiteral("\r\n") +
                       DescribeException(e),
                   ui::OkOnly, GetLangString(QStringLiteral("信息提示")));
    }
}

} // namespace zpp
