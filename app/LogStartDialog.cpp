#include "app/LogStartDialog.h"

#include "io/RegularFile.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

LogStartDialog::LogStartDialog(const QString &proposedPath, const MeasurementLog &log, QWidget *parent)
    : QDialog(parent)
    , log(log)
{
    setWindowTitle(tr("开始记录日志"));
    pathEdit = new QLineEdit(proposedPath, this);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathEdit->setMinimumWidth(360);
    auto *browseButton = new QPushButton(tr("浏览..."), this);
    perPointBox = new QCheckBox(tr("每个点一行（带帧号）"), this);
    perPointBox->setObjectName(QStringLiteral("perPointBox"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *row = new QHBoxLayout;
    row->addWidget(pathEdit, 1);
    row->addWidget(browseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(perPointBox);
    layout->addWidget(buttons);

    connect(browseButton, &QPushButton::clicked, this, &LogStartDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &LogStartDialog::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString LogStartDialog::path() const
{
    return pathEdit->text().trimmed();
}

bool LogStartDialog::linePerPoint() const
{
    return perPointBox->isChecked();
}

MeasurementLog::Layout LogStartDialog::layout() const
{
    return linePerPoint() ? MeasurementLog::Layout::PointPerLine : MeasurementLog::Layout::FramePerLine;
}

// A typed path is checked here as a chosen one is: anything but a regular
// file is left to the log, which refuses it with the reason.
void LogStartDialog::confirm()
{
    if (path().isEmpty())
        return;
    chosenMode = MeasurementLog::Mode::Replace;
    if (RegularFile::kindOf(path()) == RegularFile::Kind::Regular && !askAboutExistingFile())
        return;
    accept();
}

// Replace, append (where the columns match) or think again; false for the last.
bool LogStartDialog::askAboutExistingFile()
{
    const bool own = log.isOwnFile(path());
    const bool appendable = MeasurementLog::appendable(path(), layout());
    QMessageBox box(QMessageBox::Question, tr("文件已存在"), QString(), QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("existingLogQuestion"));
    QPushButton *replace = nullptr;
    QPushButton *append = nullptr;
    if (!own) {
        replace = box.addButton(tr("替换"), QMessageBox::DestructiveRole);
        replace->setObjectName(QStringLiteral("replaceButton"));
    }
    if (appendable) {
        append = box.addButton(tr("追加"), QMessageBox::AcceptRole);
        append->setObjectName(QStringLiteral("appendButton"));
    }
    QPushButton *cancel = box.addButton(tr("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box.setDefaultButton(append ? append : cancel);
    box.setEscapeButton(cancel);
    if (own)
        box.setText(appendable ? tr("%1 是正在记录的日志。\n在其末尾接着记录吗？").arg(path())
                               : tr("%1 是正在记录的日志，其列与所选格式不同，不能替换它。\n请选择另一个文件。").arg(path()));
    else
        box.setText(appendable ? tr("%1 已存在。\n替换它，还是在其末尾追加？").arg(path())
                               : tr("%1 已存在，其列与本日志不同。\n替换它吗？").arg(path()));
    box.exec();
    if (box.clickedButton() == append && append) {
        chosenMode = MeasurementLog::Mode::Append;
        return true;
    }
    return replace && box.clickedButton() == replace;
}

void LogStartDialog::browse()
{
    const QString chosen = UserPrompts::getSaveFileName(this, tr("保存日志"), path(), QStringLiteral("csv(*.csv)"));
    if (!chosen.isEmpty())
        pathEdit->setText(chosen);
}
