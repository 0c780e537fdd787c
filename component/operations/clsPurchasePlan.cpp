#include "clsPurchasePlan.h"

#include "EntryData.h"
#include "RowFields.h"
#include "clsPurchasePlanInternal.h"
#include "component/grid/PlanGrid.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/PlanFields.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/LinkedBills.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "frmResultList.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QHash>
#include <QSet>

namespace zpp {

namespace planops {

std::shared_ptr<PurchasePlanUpdate> UpdateService() {
    return CreateObject<PurchasePlanUpdate>(QString::fromLatin1(progid::PurchasePlanUpdate));
}

void ShowInformation(const QString& text) {
    ui::MsgBox(GetLangString(text), ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}

} // namespace planops

using planops::ShowInformation;
using planops::UpdateService;

namespace {

const QString& FieldOfColumn(int col) {
    return PlanFieldNames().at(col - 1);
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
