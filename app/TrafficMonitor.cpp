#include "app/TrafficMonitor.h"

#include "app/TrafficModel.h"
#include "app/WindowFit.h"
#include "link/TrafficLog.h"
#include "link/TrafficTap.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kRefreshMs = 250;
} // namespace

TrafficMonitor::TrafficMonitor(QTRNet *net, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , net(net)
    , trafficLog(new TrafficLog(this))
    , tap(new TrafficTap(trafficLog, this))
    , tableModel(new TrafficModel(*trafficLog, this))
    , table(new QTableView(this))
    , refreshTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("trafficMonitor"));
    setWindowTitle(tr("原始数据监视器"));
    resize(820, 480);
    WindowFit::fitWhenShown(this);

    auto *pause = new QPushButton(tr("暂停"), this);
    pause->setObjectName(QStringLiteral("pauseButton"));
    pause->setCheckable(true);
    auto *clear = new QPushButton(tr("清除"), this);
    clear->setObjectName(QStringLiteral("clearButton"));
    auto *copy = new QPushButton(tr("复制为十六进制"), this);
    copy->setObjectName(QStringLiteral("copyHexButton"));
    connect(pause, &QPushButton::toggled, this, [this](bool on) { trafficLog->setPaused(on); });
    connect(clear, &QPushButton::clicked, this, [this] {
        trafficLog->clear();
        refresh();
    });
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(selectionAsHex()); });

    table->setModel(tableModel);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pause);
    buttons->addWidget(clear);
    buttons->addWidget(copy);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table);

    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &TrafficMonitor::refresh);
}

// Follows the newest rows while the view is scrolled to the bottom.
void TrafficMonitor::refresh()
{
    QScrollBar *bar = table->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    tableModel->refresh();
    if (following)
        table->scrollToBottom();
}

QString TrafficMonitor::selectionAsHex() const
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int row = 0; row < tableModel->rowCount(); ++row)
            rows << row;
    return tableModel->copyAsHex(rows);
}

void TrafficMonitor::showEvent(QShowEvent *event)
{
    tap->attach(net);
    refreshTimer->start();
    QWidget::showEvent(event);
}

void TrafficMonitor::hideEvent(QHideEvent *event)
{
    tap->detach();
    refreshTimer->stop();
    QWidget::hideEvent(event);
}
