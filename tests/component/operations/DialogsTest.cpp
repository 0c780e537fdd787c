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

using Dialogs = HostFixture;

TEST_F(Dialogs, MessageButtonsByModeAndTheAnswerOfEach) {
    const struct {
        QString Mode, Buttons; // a hidden No button shows as "-"
        char Press;            // 'Y', 'N' or the window's own close
        qint16 Answer;
    } cases[] = {
        {"vbYes", "确定/-", 'Y', -1},
        {"vbYesNo", "是(&Y)/否(&N)", 'Y', -1},
        {"vbYesNo", "是(&Y)/否(&N)", 'N', 0},
        {"other", "是(&Y)/确定", 'X', 0}, // unknown modes keep the design; close answers No
    };
    for (const auto& c : cases) {
        frmMessage::SetAnswer(1);
        const frmMessage* shown = nullptr;
        ui::SetModalHandler([&](QDialog& d) {
            auto& dlg = dynamic_cast<frmMessage&>(d);
            shown = &dlg;
            EXPECT_EQ(dlg.windowTitle() + "|" + dlg.txtMessage->toPlainText(), "Marvane提示|第一行\n第二行");
            EXPECT_EQ(frmMessage::Answer(), 0) << "no answer while open";
            EXPECT_EQ(dlg.btnYes->text() + "/" + (dlg.btnNo->isHidden() ? "-" : dlg.btnNo->text()),
                      c.Buttons);
            if (c.Press == 'Y')
                dlg.btnYes->click();
            else if (c.Press == 'N')
                dlg.btnNo->click();
            else
                dlg.reject();
            return dlg.result();
        });
        EXPECT_EQ(ShowMessageDialog(QStringLiteral("第一行\r\n第二行"), c.Mode), c.Answer)
            << c.Mode.toStdString() << " " << c.Press;
        EXPECT_EQ(shown, &SharedMessageDialog()) << "every call uses the one dialog";
        EXPECT_EQ(frmMessage::Answer(), c.Answer);
    }
}

TEST_F(Dialogs, ResultListShowsTitleAndLinesAndCopiesTheSelection) {
    frmResultList window;
    window.SetTitle("提示信息|");
    for (const char* line :
         {"关闭[采购建议号：P1 ]该记录成功|", "关闭[采购建议号：P2 ]该记录不成功!E|", "第三行|"})
        window.AddLine(line);
    EXPECT_EQ(window.Title(), "提示信息");
    EXPECT_EQ(window.Lines(), QStringList({"关闭[采购建议号：P1 ]该记录成功",
                                           "关闭[采购建议号：P2 ]该记录不成功!E", "第三行"}));
    window.lstResult->item(0)->setSelected(true);
    window.lstResult->item(2)->setSelected(true);
    const auto actions = window.lstResult->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(QKeySequence::Copy));
    actions[0]->trigger();
    EXPECT_EQ(window.SelectedText(), "关闭[采购建议号：P1 ]该记录成功\n第三行");
    EXPECT_EQ(QApplication::clipboard()->text(), window.SelectedText());
}
