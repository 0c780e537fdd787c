// Undo and redo, copy and paste in the list, driven with real keys over a real store.
#include "AppFixture.h"
#include "platform/controls/LedgerPreview.h"

#include <QClipboard>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <map>

using namespace zpp;
using namespace zpp::test;

namespace {

// Everything a row shows and whether it carries the mark of unsaved edits.
QString RowState(controls::SpreadGrid& g, int r) {
    QStringList texts;
    for (int c = 1; c <= col::Count; ++c)
        texts << g.Text(c, r);
    return texts.join('|') + (g.RowChanged(r) ? " *" : "");
}

// The first of n rows in a row that are open with something left to order.
int OpenRows(controls::SpreadGrid& g, int n) {
    for (int r = 1; r + n - 1 <= g.MaxRows(); ++r) {
        bool open = true;
        for (int i = r; i < r + n && open; ++i)
            open = g.Text(col::Close, i).trimmed().isEmpty() &&
                   g.Text(col::PurchaseUnFinishQty, i).toDouble() > 1 &&
                   !g.Text(col::SupplyNumber, i).isEmpty();
        if (open)
            return r;
    }
    return 0;
}

} // namespace

// Typed edits are undone and redone cell by cell, each with what its check wrote (a supplier's
// name, ID, tax rate and price), and a fill down as one step; undoing every edit leaves nothing
// to save. An edit still open in its editor is taken back by the menu's Undo. A save ends the
// history, and the store never sees what was undone.
TEST_P(AppTest, TypedEditsAndAFillDownAreUndoneAndRedoneStepByStep) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    auto* status = list->findChild<QLabel*>("lblStatus");
    const int r = OpenRows(g, 1);
    ASSERT_GT(r, 0);
    const QString code =
        db->Scalar("SELECT code FROM suppliers WHERE code NOT IN (?, '01.005', '01.008') ORDER BY code",
                   {g.Text(col::SupplyNumber, r)})
            .toString();
    const QString loaded = RowState(g, r);

    h.Click(col::Memo, r);
    h.Type("first");
    h.Key(Qt::Key_Tab);
    const QString noted = RowState(g, r);
    h.RightTo(r, col::SupplyNumber);
    h.Type(code);
    h.Key(Qt::Key_PageDown);
    const QString supplied = RowState(g, r);
    ASSERT_EQ(g.Text(col::SupplyNumber, r), code);
    ASSERT_NE(g.Text(col::SupplyName, r), loaded.section('|', col::SupplyName - 1, col::SupplyName - 1));

    h.Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(RowState(g, r), noted) << "the code with its name, ID, tax rate and price";
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(RowState(g, r), loaded);
    EXPECT_FALSE(list->DataChanged);
    EXPECT_EQ(status->text(), QString("共 %1 行").arg(g.MaxRows()));
    h.Key(Qt::Key_Y, Qt::ControlModifier);
    h.Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(RowState(g, r), supplied);
    EXPECT_EQ(status->text(), QString("共 %1 行，1 行有未保存的修改").arg(g.MaxRows()));

    // A fill down (F6) is one step, however many rows it fills.
    QStringList before;
    for (int i = 1; i <= g.MaxRows(); ++i)
        before << RowState(g, i);
    h.Click(col::Memo, r);
    prompts->QueueAnswer(ui::Yes); // more rows than the window shows
    h.Key(Qt::Key_F6);
    ASSERT_GT(g.ChangedRowCount(), 2);
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    QStringList after;
    for (int i = 1; i <= g.MaxRows(); ++i)
        after << RowState(g, i);
    EXPECT_EQ(after, before);

    // The menu's Undo while the editor is still open takes back what it holds.
    h.Click(col::Memo, r);
    h.Type("half typed");
    ASSERT_TRUE(h.Editor());
    list->Tool("mnuEdit", "Undo")->trigger();
    EXPECT_EQ(RowState(g, r), supplied);

    // A save ends the history: nothing is undone, and Ctrl+Z says why.
    h.Key(Qt::Key_S, Qt::ControlModifier);
    const QString saved =
        Rows(*db, "SELECT supplier_id, memo, row_version FROM plan_entries ORDER BY 1, 2, 3");
    prompts->Clear();
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Said().join('\n').toStdString(),
              "没有可以撤销的修改（保存、刷新、过滤和汇总之前的修改不能撤销）。");
    EXPECT_EQ(RowState(g, r), supplied.chopped(2));
    EXPECT_EQ(Rows(*db, "SELECT supplier_id, memo, row_version FROM plan_entries ORDER BY 1, 2, 3"), saved);

    // An undo that would bring back a supplier the user may no longer use is not offered.
    const QString original = loaded.section('|', col::SupplyNumber - 1, col::SupplyNumber - 1);
    h.RightTo(r, col::SupplyNumber);
    h.Type(original);
    h.Key(Qt::Key_Down);
    ASSERT_EQ(g.Text(col::SupplyNumber, r), original);
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (1, ?, 0)", {code});
    prompts->Clear();
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(
        Said().join('\n'),
        QString(
            "不能撤销：撤销会恢复被拒绝的值。\n第%1行“供应商代码”：没有供应商的权限，请与系统管理员联系!\n"
            "没有可以撤销的修改（保存、刷新、过滤和汇总之前的修改不能撤销）。")
            .arg(r));
    EXPECT_EQ(g.Text(col::SupplyNumber, r), original);
}

// A block pasted from a spreadsheet goes cell by cell through the checks a typed cell gets: a
// known supplier is named and priced (the price pasted after it then kept), an unknown code, a
// bad date and a quantity above what is left are refused and keep their values, a read-only cell
// is skipped, and all of them are listed with row and column in one message. One Ctrl+Z takes
// the paste back whole, Ctrl+Y brings it again. Ctrl+C copies a block as spreadsheets read it.
TEST_P(AppTest, APasteIsCheckedCellByCellListsWhatItRefusedAndIsUndoneWhole) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const int r = OpenRows(g, 3);
    ASSERT_GT(r, 0);
    QSqlQuery other =
        db->Exec("SELECT code, name FROM suppliers WHERE code NOT IN (?, '01.005', '01.008') ORDER BY code",
                 {g.Text(col::SupplyNumber, r)});
    ASSERT_TRUE(other.next());
    const QString code = other.value(0).toString(), name = other.value(1).toString();
    QStringList before;
    for (int i = r; i < r + 3; ++i)
        before << RowState(g, i);
    // Columns 供应商代码 to 备注 as a spreadsheet copies them: CRLF after each row, a note of two
    // lines quoted, the locked columns between as they are (one of them changed).
    auto cells = [&](int row, const std::map<int, QString>& replace) {
        QStringList out;
        for (int c = col::SupplyNumber; c <= col::Memo; ++c)
            out << (replace.count(c) ? replace.at(c) : g.Text(c, row));
        return out.join('\t');
    };
    const QString block = cells(r, {{col::SupplyNumber, code},
                                    {col::SupplyName, "typed over"},
                                    {col::PushQty, "1"},
                                    {col::Price, "1,250.50"},
                                    {col::TaxRate, "6%"},
                                    {col::FinishDate, "2027-03-01"},
                                    {col::Memo, "\"two\nlines\""}}) +
                          "\r\n" +
                          cells(r + 1, {{col::SupplyNumber, "ZZ.999"},
                                        {col::PushQty, "99999"},
                                        {col::FinishDate, "2027-13-45"},
                                        {col::Memo, "kept"}}) +
                          "\r\n" + cells(r + 2, {{col::PushQty, "1"}}) + "\r\n";
    QApplication::clipboard()->setText(block);
    h.RightTo(r, col::SupplyNumber); // a click there would open the supplier lookup
    prompts->Clear();
    h.Key(Qt::Key_V, Qt::ControlModifier);

    const QString said = Said().join('\n');
    const QString bill = g.Text(col::BillNo, r + 1), entry = g.Text(col::EntryID, r + 1);
    EXPECT_TRUE(
        said.startsWith("已粘贴 ") && said.contains(QString("第%1行“供应商名称”：只读，没有粘贴").arg(r)) &&
        said.contains(QString("第%1行“供应商代码”：没有代码为“ZZ.999”的供应商。").arg(r + 1)) &&
        said.contains(QString("第%1行（采购建议号[%2]分录号 %3）：下推数量").arg(r + 1).arg(bill, entry)) &&
        said.contains(QString("第%1行“建议交货日期”：“2027-13-45”不是有效的日期").arg(r + 1)) &&
        Said().size() == 1)
        << said.toStdString();
    auto number = [&](int c, int row) { return QString::number(g.Text(c, row).toDouble(), 'f', 2); };
    EXPECT_EQ(QStringList({g.Text(col::SupplyNumber, r), g.Text(col::SupplyName, r), number(col::PushQty, r),
                           number(col::Price, r), number(col::TaxRate, r), g.Text(col::FinishDate, r),
                           g.Text(col::Memo, r), number(col::PushQty, r + 2)}),
              QStringList({code, name, "1.00", "1250.50", "6.00", "2027-03-01", "two\nlines", "1.00"}));
    const QString kept = before[1];
    for (int c : {col::SupplyNumber, col::SupplyName, col::PushQty, col::FinishDate})
        EXPECT_EQ(g.Text(c, r + 1), kept.section('|', c - 1, c - 1)) << c;
    EXPECT_EQ(g.Text(col::Memo, r + 1), "kept");

    // Undone as one step, row marks included; done again as one.
    QStringList pasted;
    for (int i = r; i < r + 3; ++i)
        pasted << RowState(g, i);
    h.Key(Qt::Key_Z, Qt::ControlModifier);
    QStringList now;
    for (int i = r; i < r + 3; ++i)
        now << RowState(g, i);
    EXPECT_EQ(now, before);
    h.Key(Qt::Key_Y, Qt::ControlModifier);
    now.clear();
    for (int i = r; i < r + 3; ++i)
        now << RowState(g, i);
    EXPECT_EQ(now, pasted);

    // Ctrl+C of 供应商代码 to 备注 over two rows: tab-separated, the note's line end quoted.
    h.RightTo(r, col::SupplyNumber);
    h.Click(col::Memo, r + 1, Qt::ShiftModifier);
    h.Key(Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (int i = r; i <= r + 1; ++i) {
        QStringList row;
        for (int c = col::SupplyNumber; c <= col::Memo; ++c)
            row << (g.Text(c, i).contains('\n') ? '"' + g.Text(c, i) + '"' : g.Text(c, i));
        expected += row.join('\t') + "\n";
    }
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected.toStdString());
}

// Ctrl+V pastes in the list and opens no preview; 打印预览 keeps its menu item and caption and
// moves to Ctrl+F2, and the preview no longer draws the list's hidden print grid over its date
// panel. The menus name it all in the log-in language.
TEST_P(AppTest, CtrlVPastesWhileCtrlF2AndTheMenuItemPreview) {
    for (const QString lang : {"", "en"}) {
        frmPurchasePlan* list = OpenList("admin", lang);
        ASSERT_TRUE(list);
        Hands h{*list};
        QStringList dialogs;
        bool ledgerShown = false;
        Answer([&](QDialog& d) {
            dialogs << (dynamic_cast<controls::LedgerPreview*>(&d) ? "preview" : d.metaObject()->className());
            ledgerShown = list->findChild<controls::LedgerGrid*>("LdgPreview")->isVisible();
        });
        QApplication::clipboard()->clear();
        h.Click(col::Memo, 1);
        prompts->Clear();
        h.Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_TRUE(dialogs.isEmpty());
        EXPECT_EQ(Said(), QStringList(lang.isEmpty() ? "剪贴板中没有可以粘贴的内容。"
                                                     : "The clipboard holds nothing to paste."));
        h.Key(Qt::Key_F2, Qt::ControlModifier);
        list->Tool("mnuFile", "iPrintPreView")->trigger();
        EXPECT_EQ(dialogs, QStringList({"preview", "preview"}));
        EXPECT_FALSE(ledgerShown);

        QStringList menu;
        for (const char* key : {"Undo", "Redo", "Copy", "Paste"}) {
            QAction* a = list->Tool("mnuEdit", key);
            menu << a->text() + " " + a->shortcut().toString();
        }
        QAction* preview = list->Tool("mnuFile", "iPrintPreView");
        menu << preview->text() + " " + preview->shortcut().toString();
        EXPECT_EQ(menu.join(", "),
                  lang.isEmpty()
                      ? "撤销(&U) Ctrl+Z, 重做(&Y) Ctrl+Y, 复制(&C) Ctrl+C, 粘贴(&P) Ctrl+V, 打印预览(&V)... "
                        "Ctrl+F2"
                      : "&Undo Ctrl+Z, &Redo Ctrl+Y, &Copy Ctrl+C, &Paste Ctrl+V, Print Pre&view... Ctrl+F2");
        list->close();
        QApplication::processEvents();
    }
}

namespace {

// Lookups run modally as for a user, and are left with Esc pressed in whatever has the focus.
void EscapeLookups(QStringList& shown) {
    ui::SetModalHandler([&shown](QDialog& d) {
        QTimer::singleShot(0, &d, [&d, &shown] {
            shown << d.objectName();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d, Qt::Key_Escape);
            if (d.isVisible())
                d.reject();
        });
        return d.exec();
    });
}

// A key as the keyboard delivers it: to the widget that has the focus; with no window active, to
// the focus widget of the window under the pointer, which still takes keys.
void Press(QWidget& under, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : under.focusWidget();
    ASSERT_TRUE(to);
    QTest::keyClick(to, key, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

// The supplier lookup, opened with F7 or a click on a supplier code and left with Esc, leaves the
// list's keys working: Ctrl+V pastes, Ctrl+Z undoes, Ctrl+C copies and Ctrl+S saves at once.
TEST_P(AppTest, EditKeysWorkRightAfterTheSupplierLookupIsCancelled) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list));
    const int r = OpenRows(g, 2);
    ASSERT_GT(r, 0);
    // Two rows to copy whose suppliers differ from the rows pasted over.
    int from = 0;
    for (int i = 1; i < g.MaxRows() && !from; ++i)
        if ((i + 1 < r || i > r + 1) && !g.Text(col::SupplyNumber, i).isEmpty() &&
            !g.Text(col::SupplyNumber, i + 1).isEmpty() &&
            g.Text(col::SupplyNumber, i) != g.Text(col::SupplyNumber, r) &&
            !QString("01.005 01.008").contains(g.Text(col::SupplyNumber, i)) &&
            !QString("01.005 01.008").contains(g.Text(col::SupplyNumber, i + 1)))
            from = i;
    ASSERT_GT(from, 0);
    const QString original = g.Text(col::SupplyNumber, r), copied = g.Text(col::SupplyNumber, from);
    h.RightTo(from, col::SupplyNumber);
    h.Key(Qt::Key_Down, Qt::ShiftModifier);
    h.Key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(QApplication::clipboard()->text().startsWith(copied + "\n"));

    QStringList shown;
    EscapeLookups(shown);
    h.RightTo(r, col::SupplyNumber);
    auto lookUp = [&](bool byClick) {
        shown.clear();
        if (byClick)
            h.Click(col::SupplyNumber, r);
        else
            h.Key(Qt::Key_F7);
        ASSERT_EQ(shown, QStringList("frmBaseDataLookup"));
        ASSERT_EQ(g.ActiveCol(), col::SupplyNumber);
        prompts->Clear();
    };

    for (bool byClick : {false, true}) {
        SCOPED_TRACE(byClick ? "clicked" : "F7");
        lookUp(byClick);
        Press(*list, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(g.Text(col::SupplyNumber, r), copied) << Said().join('\n').toStdString();
        lookUp(byClick);
        Press(*list, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(g.Text(col::SupplyNumber, r), original) << Said().join('\n').toStdString();
    }
    lookUp(false);
    QApplication::clipboard()->clear();
    list->statusBar()->clearMessage();
    Press(*list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), original);
    EXPECT_EQ(list->statusBar()->currentMessage(), "已复制 1 行 1 列"); // the list's copy, not the view's own
    lookUp(true);
    Press(*list, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Said(), QStringList("保存成功！"));
}
