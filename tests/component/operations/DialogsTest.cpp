#include "PlanFakes.h"
#include "component/operations/frmMessage.h"
#include "component/operations/frmResultList.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

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

TEST_F(Dialogs, MessageButtonsByModeAndTheAnswerOfEach) {
    const struct {
        QString Mode, Yes, No; // No empty: the No button is hidden
        char Press;            // 'Y', 'N' or the window's own close
        qint16 Answer;
    } cases[] = {
        {"vbYes", "确定", "", 'Y', -1},
        {"vbYesNo", "是(&Y)", "否(&N)", 'Y', -1},
        {"vbYesNo", "是(&Y)", "否(&N)", 'N', 0},
        {"other", "是(&Y)", "确定", 'X', 0}, // unknown modes keep the design; close answers No
    };
    for (const auto& c : cases) {
        frmMessage::SetAnswer(1);
        const frmMessage* shown = nullptr;
        const qint16 answer = AskWith(c.Mode, [&](frmMessage& dlg) {
            shown = &dlg;
            EXPECT_EQ(dlg.windowTitle(), "Marvane提示");
            EXPECT_EQ(frmMessage::Answer(), 0) << "no answer while open";
            EXPECT_EQ(dlg.txtMessage->toPlainText(), "第一行\n第二行");
            EXPECT_EQ(dlg.btnYes->text(), c.Yes);
            if (c.No.isEmpty())
                EXPECT_TRUE(dlg.btnNo->isHidden());
            else
                EXPECT_EQ(dlg.btnNo->text(), c.No);
            if (c.Press == 'Y')
                dlg.btnYes->click();
            else if (c.Press == 'N')
                dlg.btnNo->click();
            else
                dlg.reject();
            return dlg.result();
        });
        EXPECT_EQ(answer, c.Answer) << c.Mode.toStdString() << " " << c.Press;
        EXPECT_EQ(shown, &SharedMessageDialog()) << "every call uses the one dialog";
        EXPECT_EQ(frmMessage::Answer(), c.Answer);
    }
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

    window.lstResult->item(0)->setSelected(true);
    window.lstResult->item(2)->setSelected(true);
    const auto actions = window.lstResult->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(QKeySequence::Copy));
    actions[0]->trigger();
    EXPECT_EQ(window.SelectedText(), "关闭[采购建议号：P1 ]该记录成功\n第三行");
    EXPECT_EQ(QApplication::clipboard()->text(), window.SelectedText());
}
