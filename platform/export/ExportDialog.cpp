#include "platform/export/ExportDialog.h"

#include "platform/ui/Prompt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zpp::exporting {

namespace {
QString SuffixOf(Format format) {
    return format == Format::Csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
}
} // namespace

ExportDialog::ExportDialog(const QString& defaultPath, QWidget* parent)
    : QDialog(parent), m_baseDir(QFileInfo(defaultPath).absolutePath()) {
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(ui::Tr("引出"));

    auto* fileLabel = new QLabel(ui::Tr("文件名(&N):"), this);
    m_file = new QLineEdit(QDir::toNativeSeparators(defaultPath), this);
    m_file->setObjectName(QStringLiteral("txtFile"));
    m_file->setAccessibleName(ui::Tr("文件名"));
    m_file->setMinimumWidth(360);
    fileLabel->setBuddy(m_file);
    auto* browse = new QPushButton(ui::Tr("浏览..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    browse->setAccessibleName(ui::Tr("浏览"));

    auto* formatLabel = new QLabel(ui::Tr("保存类型(&T):"), this);
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("cboFormat"));
    m_format->setAccessibleName(ui::Tr("保存类型"));
    m_format->addItem(ui::Tr("Excel 工作簿 (*.xlsx)"), int(Format::Xlsx));
    m_format->addItem(ui::Tr("CSV (UTF-8 逗号分隔) (*.csv)"), int(Format::Csv));
    m_format->setCurrentIndex(Exporter::FormatOf(defaultPath) == Format::Csv ? 1 : 0);
    formatLabel->setBuddy(m_format);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(ui::Tr("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAccessibleName(ui::Tr("确定"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(ui::Tr("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAccessibleName(ui::Tr("取消"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(m_file, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(formatLabel, 1, 0);
    grid->addWidget(m_format, 1, 1, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(browse, &QPushButton::clicked, this, &ExportDialog::Browse);
    connect(m_format, &QComboBox::currentIndexChanged, this, &ExportDialog::FormatChanged);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (Confirm())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

Format ExportDialog::SelectedFormat() const {
    return Format(m_format->currentData().toInt());
}

QString ExportDialog::WithSuffix(const QString& name, Format format) {
    QString result = name;
    const QString suffix = QFileInfo(name).suffix();
    if (suffix.compare(u"xlsx", Qt::CaseInsensitive) == 0 || suffix.compare(u"csv", Qt::CaseInsensitive) == 0)
        result.chop(suffix.size() + 1);
    return result + SuffixOf(format);
}

void ExportDialog::FormatChanged() {
    const QString name = m_file->text().trimmed();
    if (!name.isEmpty())
        m_file->setText(WithSuffix(name, SelectedFormat()));
}

void ExportDialog::Browse() {
    QString selected = m_format->currentText();
    const QString chosen = QFileDialog::getSaveFileName(
        this, ui::Tr("引出到文件"), QDir::fromNativeSeparators(m_file->text().trimmed()),
        m_format->itemText(0) + u";;" + m_format->itemText(1), &selected,
        QFileDialog::DontConfirmOverwrite); // OK asks, once
    if (chosen.isEmpty())
        return;
    const int index = m_format->findText(selected);
    if (index >= 0)
        m_format->setCurrentIndex(index);
    m_file->setText(QDir::toNativeSeparators(WithSuffix(chosen, SelectedFormat())));
}

bool ExportDialog::Confirm() {
    m_confirmed.clear();
    const QString name = QDir::fromNativeSeparators(m_file->text().trimmed());
    if (name.isEmpty()) {
        ui::MsgBox(ui::Tr("请输入要引出的文件名。"), ui::OkOnly | ui::Information, ui::Tr("引出"));
        return false;
    }
    // A bare name goes where the default would have gone, not to the working directory.
    const QString path = QDir(m_baseDir).absoluteFilePath(WithSuffix(name, SelectedFormat()));
    const QFileInfo info(path);
    if (info.isDir()) {
        ui::MsgBox(ui::Tr("“%1”是一个文件夹，请输入文件名。").arg(QDir::toNativeSeparators(path)),
                   ui::OkOnly | ui::Information, ui::Tr("引出"));
        return false;
    }
    if (info.exists() &&
        ui::MsgBox(ui::Tr("文件“%1”已存在。要替换它吗？").arg(QDir::toNativeSeparators(path)),
                   ui::YesNo | ui::Question | ui::DefaultButton2, ui::Tr("引出")) != ui::Yes)
        return false;
    m_file->setText(QDir::toNativeSeparators(path));
    m_confirmed = path;
    return true;
}

} // namespace zpp::exporting
