#include "app/LogStartDialog.h"

#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogStartDialog::LogStartDialog(const QString &proposedPath, QWidget *parent)
    : QDialog(parent)
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
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!path().isEmpty())
            accept();
    });
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

void LogStartDialog::browse()
{
    const QString chosen = UserPrompts::getSaveFileName(this, tr("保存日志"), path(), QStringLiteral("csv(*.csv)"));
    if (!chosen.isEmpty())
        pathEdit->setText(chosen);
}
