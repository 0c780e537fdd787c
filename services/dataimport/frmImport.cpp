#include "frmImport.h"

#include "component/host/Access.h"
#include "platform/ui/Prompt.h"
#include "services/access/Rights.h"
#include "services/access/WindowParts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zpp::services {

namespace {
void Inform(const QString& text, int icon = ui::Information) {
    ui::MsgBox(text, ui::OkOnly | icon, ui::Tr("信息提示"));
}

// The file dialog goes through the modal seam, so tests can choose a file as a user would.
QString AskFile(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode, const QString& name) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(QStringLiteral("dlgImportFile"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setNameFilters({ui::Tr("电子表格 (*.xlsx *.csv)"), ui::Tr("所有文件 (*)")});
    if (mode == QFileDialog::AcceptSave) {
        dialog.setDefaultSuffix(QStringLiteral("xlsx"));
        dialog.selectFile(name);
    }
    if (ui::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
} // namespace

frmImport::frmImport(store::SessionPtr session, QWidget* parent) : QDialog(parent), m_import(session) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(ui::Tr("导入数据"));
    setSizeGripEnabled(true);
    resize(760, 460);

    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    for (const ImportKindInfo& k : ImportKinds())
        m_kind->addItem(ui::Tr(k.Title), QString::fromLatin1(k.Key));
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("txtFile"));
    m_file->setPlaceholderText(ui::Tr("XLSX 或 CSV 文件，第一行为列标题"));
    m_update = new QCheckBox(ui::Tr("更新已有数据（代码相同时改写，采购计划除外）"), this);
    m_update->setObjectName(QStringLiteral("chkUpdate"));
    auto button = [this](const char* caption, const char* name) {
        return windowparts::MakeButton(ui::Tr(caption), name, this);
    };
    QPushButton* browse = button("浏览(&B)...", "cmdBrowse");
    QPushButton* templ = button("保存模板(&T)...", "cmdTemplate");
    QPushButton* check = button("检查(&K)", "cmdCheck");
    QPushButton* run = button("导入(&I)", "cmdImport");
    QPushButton* close = button("关闭(&C)", "cmdClose");

    m_problems = new QTableWidget(0, 3, this);
    m_problems->setObjectName(QStringLiteral("grdProblems"));
    m_problems->setHorizontalHeaderLabels({ui::Tr("行"), ui::Tr("列"), ui::Tr("问题")});
    m_problems->verticalHeader()->hide();
    m_problems->horizontalHeader()->setStretchLastSection(true);
    m_problems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_problems->setAccessibleName(ui::Tr("问题"));
    m_summary = new QLabel(ui::Tr("先选择数据种类和文件，点“检查”列出所有问题；没有问题时点“导入”。"), this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);

    auto* form = new QGridLayout;
    auto* kindLabel = new QLabel(ui::Tr("数据(&D)："), this);
    kindLabel->setBuddy(m_kind);
    auto* fileLabel = new QLabel(ui::Tr("文件(&F)："), this);
    fileLabel->setBuddy(m_file);
    form->addWidget(kindLabel, 0, 0);
    form->addWidget(m_kind, 0, 1);
    form->addWidget(templ, 0, 2);
    form->addWidget(fileLabel, 1, 0);
    form->addWidget(m_file, 1, 1);
    form->addWidget(browse, 1, 2);
    form->addWidget(m_update, 2, 1, 1, 2);
    form->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {check, run, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problems, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &frmImport::Browse);
    connect(templ, &QPushButton::clicked, this, &frmImport::SaveTemplate);
    connect(check, &QPushButton::clicked, this, [this] { Start(true); });
    connect(run, &QPushButton::clicked, this, [this] { Start(false); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

ImportKind frmImport::Kind() const {
    return ImportKindByKey(m_kind->currentData().toString()).Kind;
}

QStringList frmImport::ProblemRows() const {
    QStringList rows;
    for (int r = 0; r < m_problems->rowCount(); ++r)
        rows << m_problems->item(r, 0)->text() + u'|' + m_problems->item(r, 1)->text() + u'|' +
                    m_problems->item(r, 2)->text();
    return rows;
}

void frmImport::Browse() {
    const QString path = AskFile(this, ui::Tr("选择要导入的文件"), QFileDialog::AcceptOpen, {});
    if (!path.isEmpty())
        m_file->setText(path);
}

void frmImport::SaveTemplate() {
    const QString name =
        QString::fromLatin1(ImportKindByKey(m_kind->currentData().toString()).Key) + QStringLiteral(".xlsx");
    const QString path = AskFile(this, ui::Tr("保存模板"), QFileDialog::AcceptSave, name);
    if (path.isEmpty())
        return;
    try {
        m_import.WriteTemplate(Kind(), path);
        m_summary->setText(ui::Tr("模板已保存：%1").arg(QDir::toNativeSeparators(path)));
    } catch (const std::exception& e) {
        Inform(DescribeException(e), ui::Critical);
    }
}

void frmImport::Start(bool dryRun) {
    const QString path = m_file->text().trimmed();
    if (path.isEmpty()) {
        Inform(ui::Tr("请先选择要导入的文件"));
        m_file->setFocus();
        return;
    }
    QProgressDialog progress(ui::Tr("正在读取 %1 ...").arg(QFileInfo(path).fileName()), ui::Tr("取消"), 0,
                             1000, this);
    progress.setObjectName(QStringLiteral("dlgImportProgress"));
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ImportOptions options{dryRun, m_update->isChecked()};
    bool declined = false;
    if (!dryRun)
        // A column that looks like a known one but is not read is asked about before the import
        // writes anything; the dry run lists it with the problems.
        options.GoOnDespite = [this, &declined](const ImportNotices& notices) {
            ImportResult shown;
            shown.Notices = notices;
            ShowRows(shown);
            QStringList lines;
            for (const ImportProblem& n : notices)
                lines << ProblemText(n);
            QApplication::restoreOverrideCursor();
            const int answer =
                ui::MsgBox(ui::Tr("文件中有不认识的列标题，这些列不会导入：\n%1\n\n是否仍然导入？")
                               .arg(lines.join(u'\n')),
                           ui::YesNo | ui::Question | ui::DefaultButton2, windowTitle());
            QApplication::setOverrideCursor(Qt::WaitCursor);
            declined = answer != ui::Yes;
            return !declined;
        };
    try {
        const ImportResult result = m_import.Run(Kind(), path, options, [&progress](double done) {
            progress.setValue(int(done * 1000));
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
        QApplication::restoreOverrideCursor();
        progress.reset();
        Show(result, dryRun);
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        progress.reset();
        m_summary->setText(DescribeException(e));
        // The user who said no has the captions in the list and needs no second message.
        if (declined)
            return;
        m_problems->setRowCount(0);
        Inform(DescribeException(e), ui::Exclamation);
    }
}

void frmImport::ShowRows(const ImportResult& result) {
    m_problems->setRowCount(int(result.Problems.size() + result.Notices.size()));
    int r = 0;
    auto add = [&](const ImportProblem& p, const QString& text) {
        m_problems->setItem(r, 0, new QTableWidgetItem(QString::number(p.Row)));
        m_problems->setItem(r, 1, new QTableWidgetItem(p.Column));
        m_problems->setItem(r, 2, new QTableWidgetItem(text));
        ++r;
    };
    for (const ImportProblem& p : result.Problems)
        add(p, p.Text);
    for (const ImportProblem& n : result.Notices)
        add(n, ui::Tr("注意：%1").arg(n.Text));
    m_problems->resizeColumnsToContents();
}

void frmImport::Show(const ImportResult& result, bool dryRun) {
    ShowRows(result);
    QString text = ResultText(result);
    if (!result.Problems.isEmpty())
        text += ui::Tr("。请在文件中改正后再导入。");
    else if (dryRun)
        text += ui::Tr("。可以导入。");
    else
        text += ui::Tr("。");
    m_summary->setText(text);
    if (result.Written)
        Inform(text);
}

void DataImporterService::ShowImport(QWidget* parent) {
    try {
        if (!Holds(*m_session, rights::Import)) {
            Inform(ui::Tr("对不起，你没有相应的权限！"));
            return;
        }
        frmImport window(m_session, parent);
        ui::ExecModal(window);
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
    }
}

} // namespace zpp::services
