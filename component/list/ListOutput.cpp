// Export, print and preview of the list through the ledger.
#include "ClsPurchasePlanUI.h"

#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Profile.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/export/Exporter.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>
#include <numeric>

namespace zpp {

namespace {

const QString kInfo = QStringLiteral("信息提示");
constexpr int kPrint = 3, kPreview = 7;

QString Flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// A colour as the classic long: red + green * 256 + blue * 65536.
QString ColorNumber(const QColor& c) {
    return QString::number(qint64(c.red()) + qint64(c.green()) * 256 + qint64(c.blue()) * 65536);
}

void AppendCell(QString& out, int i, const char* part, const controls::LedgerCell& cell,
                const char* boldKey) {
    const QString head = QString::number(i) + QString::fromLatin1(part);
    const QString sep = QStringLiteral("\u043b");
    auto pair = [&](const QString& key, const QString& value) { out += key + u'=' + value + sep; };
    auto fontFlag = [](bool on) { return on ? QStringLiteral("-1") : QStringLiteral("0"); };
    pair(head, cell.Text);
    pair(QString::number(i) + QString::fromLatin1(boldKey), fontFlag(cell.Font.bold()));
    pair(head + QStringLiteral("FontCharset"), QString::number(cell.Charset));
    pair(head + QStringLiteral("FontItalic"), fontFlag(cell.Font.italic()));
    pair(head + QStringLiteral("FontName"), cell.Font.family());
    pair(head + QStringLiteral("FontSize"), QString::number(cell.Font.pointSizeF()));
    pair(head + QStringLiteral("FontStrikethrough"), fontFlag(cell.Font.strikeOut()));
    pair(head + QStringLiteral("FontUnderline"), fontFlag(cell.Font.underline()));
    pair(head + QStringLiteral("BackColor"), ColorNumber(cell.Back));
    pair(head + QStringLiteral("ForeColor"), ColorNumber(cell.Fore));
}

} // namespace

void ClsPurchasePlanUI::BindPreview() {
    if (!m_preview)
        return;
    m_preview->FieldDataVct = FieldDataVct;
    m_preview->FieldInfoVct = State().PlanColumnSet;
    // Texts copied for an earlier print belong to the rows read before.
    if (Ledger)
        Ledger->ClearTexts();
    m_preview->GetTitleInfo();
    QVariant unused;
    m_preview->TakeJournalData(unused);
}

QVector<bool> ClsPurchasePlanUI::ExportedColumns() const {
    QVector<bool> exported(Spread->MaxCols() + 1, false);
    const RecordListPtr set = State().PlanColumnSet;
    if (!set)
        return exported;
    for (const RecordPtr& def : *set) {
        const int col = values::ToInt32(values::Val(def->Get(QStringLiteral("Col"))));
        if (col < 1 || col >= exported.size())
            continue;
        const bool hidden = def->Exists(QStringLiteral("ColHidden"))
                                ? def->Get(QStringLiteral("ColHidden")).toBool()
                                : Spread->ColHidden(col);
        exported[col] = !hidden;
    }
    return exported;
}

void ClsPurchasePlanUI::FileExport() {
    try {
        if (!FieldDataVct || FieldDataVct->Count() == 0 || !Spread || Spread->MaxRows() < 1)
            return;
        // Cells are read from the grid as each row is written: a million rows are never copied.
        m_exportRows = RowsToExport();
        struct Forget {
            std::vector<int>& rows;
            ~Forget() { std::vector<int>().swap(rows); }
        } forget{m_exportRows};
        // The title goes to the export component below; the print layout's header cells are the
        // print's own and are saved with its settings, so an export leaves them alone.

        oExport = std::make_unique<exporting::Exporter>();
        // A file that cannot be written is the list's failed export, with the reason below.
        oExport->SetFailureText(GetLangString(QStringLiteral("引出组件调用不成功")), GetLangString(kInfo));
        struct Release {
            std::unique_ptr<exporting::Exporter>& e;
            ~Release() { e.reset(); }
        } release{oExport};
        QObject::connect(
            oExport.get(), &exporting::Exporter::LoadData, oExport.get(),
            [this](int rowIndex, exporting::ExportRow* row) { oExport_LoadData(rowIndex, row); },
            Qt::DirectConnection);

        m_exported = ExportedColumns();
        const QVector<bool>& exported = m_exported;
        oExport->SetColumnCount(int(std::count(exported.begin(), exported.end(), true)));
        const RecordListPtr set = State().PlanColumnSet;
        int n = 0;
        for (int c = 1; c < exported.size(); ++c) {
            if (!exported[c])
                continue;
            ++n;
            oExport->SetColumnCaption(n, Spread->HeaderText(c));
            oExport->SetColumnWidth(n, 255);
            const RecordPtr def = c <= set->Count() ? set->Item(c) : nullptr;
            const bool number =
                def && values::ToInt32(values::Val(def->Get(QStringLiteral("CellType"), -1))) == 13;
            oExport->SetColumnDataType(n, number ? exporting::kNumberType : exporting::kTextType);
        }
        oExport->SetRowCount(int(m_exportRows.size()));
        bool done = false;
        oExport->RunExport(GetLangString(QStringLiteral("采购计划表")), done);
        // Only a file that was written is an export; a cancelled one is not logged.
        if (done)
            WriteOperationLog(logs::Export);
    } catch (const std::exception&) {
        ui::MsgBox(GetLangString(QStringLiteral("引出组件调用不成功")), ui::OkOnly | ui::Information,
                   GetLangString(kInfo));
    }
}

void ClsPurchasePlanUI::oExport_LoadData(int rowIndex, exporting::ExportRow* row) {
    if (!row || !Spread || rowIndex < 1 || rowIndex > int(m_exportRows.size()))
        return;
    const int gridRow = m_exportRows[rowIndex - 1];
    int n = 0;
    for (int c = 1; c < m_exported.size(); ++c)
        if (m_exported[c])
            row->SetValue(++n, Spread->Text(c, gridRow));
}

std::vector<int> ClsPurchasePlanUI::RowsToExport() {
    controls::SpreadGrid& grid = *Spread;
    const QVector<controls::RowBlock> blocks = grid.SelectedRowBlocks();
    std::vector<int> rows;
    if (blocks.isEmpty()) {
        rows.resize(size_t(grid.MaxRows()));
        std::iota(rows.begin(), rows.end(), 1);
        return rows;
    }
    grid.SetRedraw(false);
    QAbstractItemModel* model = grid.View()->model();
    for (const controls::RowBlock& b : blocks) {
        grid.View()->selectionModel()->select(
            QItemSelection(model->index(b.First - 1, 0), model->index(b.Last - 1, grid.MaxCols() - 1)),
            QItemSelectionModel::Select);
        for (int r = b.First; r <= b.Last; ++r)
            rows.push_back(r);
    }
    grid.SetRedraw(true);
    return rows;
}

void ClsPurchasePlanUI::CopyGridRangeToLedger() {
    controls::SpreadGrid& grid = *Spread;
    Ledger->SetMaxRows(grid.MaxRows() + 1);
    Ledger->SetMaxCols(grid.MaxCols());
    QApplication::processEvents();
    // Captions and column states come from the grid as the user sees it now (columns hidden in
    // the column dialog, widths dragged); a caption row left to be served would set them only
    // once something asked for it, after the pages were laid out.
    for (int c = 1; c <= grid.MaxCols(); ++c) {
        Ledger->SetText(1, c, grid.HeaderText(c));
        Ledger->SetColHidden(c, grid.ColHidden(c));
        // The ledger reads a width of 1 or less as a share of the page.
        Ledger->SetColWidth(c, std::max(grid.ColWidth(c), 1.5));
        Ledger->SetColCellType(c, int(grid.ColCellType(c)));
    }
    // Grid cell (c, r) is ledger cell (r + 1, c), read in place while the print runs: a million
    // rows are never copied.
    controls::SpreadGrid* source = Spread;
    Ledger->SetCellReader([source](int row, int col) { return source->Text(col, row - 1); });
}

void ClsPurchasePlanUI::DoPrint(int mode) {
    try {
        if (!Ledger || Ledger->MaxRows() < 2 || !FieldDataVct)
            return;
        if (FieldDataVct->Count() > 0) {
            CopyGridRangeToLedger();
            Ledger->SetSheetValue(9, 300);
            const QString builtIn = QStringLiteral("采购计划表");
            controls::LedgerCell& title = Ledger->HeadCells()[2];
            title.Text = GetLangString(builtIn);
            title.Font.setPointSize(15);
            title.Font.setBold(true);
            // Exports used to leave the title in header cell 1 too, and print settings saved
            // since keep it there; the page shows it once.
            for (int i = 0; i < int(Ledger->HeadCells().size()); ++i) {
                QString& text = Ledger->HeadCells()[i].Text;
                if (i != 2 && (text == builtIn || text == title.Text))
                    text.clear();
            }
            Ledger->FootCells()[2].Text = GetLangString(QStringLiteral(" 第&[页]页/共&[总页]页  "));
        }
        // Afterwards the ledger shows the rows as read again, as it did before.
        struct StopReading {
            controls::LedgerGrid& ledger;
            ~StopReading() { ledger.SetCellReader({}); }
        } stopReading{*Ledger};
        if (mode == kPrint || mode == kPreview)
            Ledger->PrintOut(mode);
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, GetLangString(kInfo));
    }
}

// The ledger stays hidden: it prints from its sheet, and shown it would lie over the top of the
// list window (its date panel) while the dialogs are open.
void ClsPurchasePlanUI::PrintPre() {
    DoPrint(kPrint);
    WriteOperationLog(logs::Print);
}

void ClsPurchasePlanUI::PrintPreView() {
    DoPrint(kPreview);
}

QString ClsPurchasePlanUI::HeadFootKey() const {
    return QString::number(FormatID) + u'_' + ReportTitle + u'_' + QStringLiteral("HeadFoot");
}

void ClsPurchasePlanUI::SaveLdgSetting() {
    try {
        if (!Ledger)
            return;
        const QString section = QStringLiteral("ReportView");
        QStringList bytes;
        for (const char b : Ledger->PrinterSettings())
            bytes << QString::number(quint8(b));
        WriteIniValue(section, QStringLiteral("PrintSetting"), bytes.join(u'|'));
        WriteIniValue(section, QStringLiteral("PageTopMargin"),
                      QString::number(Ledger->Margin(controls::Top)));
        WriteIniValue(section, QStringLiteral("PageLeftMargin"),
                      QString::number(Ledger->Margin(controls::Left)));
        WriteIniValue(section, QStringLiteral("PageRightMargin"),
                      QString::number(Ledger->Margin(controls::Right)));
        WriteIniValue(section, QStringLiteral("PageBottomMargin"),
                      QString::number(Ledger->Margin(controls::Bottom)));
        WriteIniValue(section, QStringLiteral("PageMode"), QString::number(Ledger->PageMode()));
        const int options = Ledger->Options();
        const std::pair<const char*, int> flags[] = {
            {"CenterHorz", controls::CenterHorz},
            {"CenterVert", controls::CenterVert},
            {"ColorPrint", controls::ColorPrint},
            {"FooterAtPageBottom", controls::FooterAtPageBottom},
            {"GridExtend", controls::GridExtend},
            {"NotPrtFrame", controls::NotPrtFrame},
            {"NotPrtHLine", controls::NotPrtHLine},
            {"NotPrtVLine", controls::NotPrtVLine},
            {"PhysicPages", controls::PhysicPages},
            {"PN", controls::PageNumbers},
            {"SavingPaper", controls::SavingPaper},
            {"WholeHeadFooterPerPage", controls::WholeHeadFooterPerPage}};
        for (const auto& [key, flag] : flags)
            WriteIniValue(section, QString::fromLatin1(key), Flag((options & flag) != 0));

        QString record;
        for (int i = 0; i <= 9; ++i)
            AppendCell(record, i, "Head", Ledger->HeadCells()[i], "HeadFontBoldd");
        for (int i = 0; i <= 9; ++i)
            AppendCell(record, i, "Foot", Ledger->FootCells()[i], "FootFontBold");
        record += QStringLiteral("NoteText=") + Ledger->NoteText() + QStringLiteral("\u043b");
        QString key = HeadFootKey();
        auto profile = CreateObject<Profile>(QString::fromLatin1(progid::Profile));
        profile->SaveRptFormat(GetPropsString(), FormatOwner, key, record);
    } catch (...) {
        // Settings that cannot be saved are chosen again next time; nothing else depends on them.
    }
}

} // namespace zpp
