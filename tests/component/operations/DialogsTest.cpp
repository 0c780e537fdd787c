#include "PlanFakes.h"
#include "component/operations/frmMessage.h"
#include "component/operations/frmResultList.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace zpp;
using namespace zpp::test;

namespace {
using Dialogs = HostFixture;

// Runs the message dialog through the modal seam, letting the test act on it while open.
qint16 AskWith(const QString& mode, const std::function<int(frmMessage&)>& act) {
    ui::SetModalHandler([&](QDialog& d) { return act(dynamic_cast<frmMessage&>(d)); });
    return ShowMessageDialog(QStringLiteral("第一行\r\n第二行"), mode);
}
} // namespace

TEST_F(Dialogs, MessageWithOneButtonAnswersYes) {
    frmMessage::SetAnswer(-1);
    const qint16 answer = AskWith("vbYes", [](frmMessage& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Marvane提示");
        EXPECT_EQ(frmMessage::Answer(), 0) << "no answer while open";
        EXPECT_EQ(dlg.btnYes->text(), "确定");
        EXPECT_EQ(dlg.btnYes->x(), 3960 / 15);
        EXPECT_EQ(dlg.btnYes->y(), 3120 / 15);
        EXPECT_FALSE(dlg.btnYes->isHidden());
        EXPECT_TRUE(dlg.btnNo->isHidden());
        EXPECT_EQ(dlg.txtMessage->toPlainText(), "第一行\n第二行");
        dlg.btnYes->click();
        return dlg.result();
    });
    EXPECT_EQ(answer, -1);
    EXPECT_EQ(frmMessage::Answer(), -1);
}

TEST_F(Dialogs, MessageWithYesAndNo) {
    auto check = [](frmMessage& dlg) {
        EXPECT_EQ(dlg.btnYes->text(), "是(&Y)");
        EXPECT_EQ(dlg.btnNo->text(), "否(&N)");
        EXPECT_EQ(dlg.btnYes->x(), 2640 / 15);
        EXPECT_EQ(dlg.btnNo->x(), 5040 / 15);
        EXPECT_EQ(dlg.btnNo->y(), 3120 / 15);
        EXPECT_FALSE(dlg.btnNo->isHidden());
    };
    EXPECT_EQ(AskWith("vbYesNo",
                      [&](frmMessage& dlg) {
                          check(dlg);
                          dlg.btnYes->click();
                          return dlg.result();
                      }),
              -1);
    EXPECT_EQ(AskWith("vbYesNo",
                      [&](frmMessage& dlg) {
                          check(dlg);
                          dlg.btnNo->click();
                          return dlg.result();
                      }),
              0);
    // Closed by the window's own close: the answer stays No. Unknown modes keep the design.
    EXPECT_EQ(AskWith("other",
                      [](frmMessage& dlg) {
                          EXPECT_EQ(dlg.btnYes->text(), "是(&Y)");
                          EXPECT_EQ(dlg.btnNo->text(), "确定");
                          dlg.reject();
                          return dlg.result();
                      }),
              0);
}

TEST_F(Dialogs, LongMessageScrollsInsteadOfGrowing) {
    frmMessage dlg;
    dlg.ButtonMode = "vbYes";
    const QSize before = dlg.size();
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("第%1行：物料 1.%1 没有供应商").arg(i);
    dlg.txtMessage->setPlainText(many.join("\r\n"));
    dlg.show();
    QApplication::processEvents();
    EXPECT_EQ(dlg.size(), before);
    EXPECT_GT(dlg.txtMessage->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(dlg.btnYes->text(), "确定") << "showing runs the load";
    dlg.close();
}

TEST_F(Dialogs, ResultListShowsTitleAndLinesAndCopiesTheSelection) {
    frmResultList window;
    window.SetTitle("提示信息|");
    window.AddLine("关闭[采购建议号：P1 ]该记录成功|");
    window.AddLine("关闭[采购建议号：P2 ]该记录不成功!E|");
    window.AddLine("第三行|");
    EXPECT_EQ(window.Title(), "提示信息");
    EXPECT_EQ(window.Lines().size(), 3);
    EXPECT_EQ(window.Lines()[1], "关闭[采购建议号：P2 ]该记录不成功!E");
    EXPECT_FALSE(window.accessibleName().isEmpty());
    EXPECT_FALSE(window.lstResult->accessibleName().isEmpty());

    window.lstResult->item(0)->setSelected(true);
    window.lstResult->item(2)->setSelected(true);
    const auto actions = window.lstResult->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(QKeySequence::Copy));
    actions[0]->trigger();
    EXPECT_EQ(window.SelectedText(), "关闭[采购建议号：P1 ]该记录成功\n第三行");
    EXPECT_EQ(QApplication::clipboard()->text(), window.SelectedText());
}
