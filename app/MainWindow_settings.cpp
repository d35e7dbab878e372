#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/ConfigDialog.h"
#include "app/MainPlotView.h"
#include "app/StoredShortcut.h"
#include "settings/SettingsRules.h"
#include "settings/UiLanguage.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QSettings>
#include <QShortcut>

namespace {
// The screen the window will open on. Not yet shown, it has no screen of its
// own; this is the choice QWidget::screen() makes then, which Qt 5.12 lacks.
QSize availableScreenSize(const QWidget *window)
{
    const QScreen *screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : window->size();
}
} // namespace

void MainWindow::loadSettings()
{
    const QSize available = availableScreenSize(this);
    const QSize defaultSize = SettingsRules::defaultWindowSize(available);
    QSettings settings(iniFileName, QSettings::IniFormat);

    resize(SettingsRules::storedSize(settings.value(QStringLiteral("WindowSize"), defaultSize), defaultSize, available));
    configDialog->setPeakValue(SettingsRules::storedU16(settings.value(QStringLiteral("PeakValue"), 2300)));
    configDialog->setOriginalValue(SettingsRules::storedU16(settings.value(QStringLiteral("OriginalValue"), 10)));
    configDialog->showValues();
    savedFilePath = settings.value(QStringLiteral("SavedFilePath"), QStringLiteral(".")).toString();

    const QString begin = settings.value(QStringLiteral("Begin"), QStringLiteral("Space")).toString();
    const QString clear = settings.value(QStringLiteral("Clear"), QStringLiteral("F3")).toString();
    autoReconnect = settings.value(QStringLiteral("AutoReconnect"), true).toBool();
    startShortcut->setKey(storedShortcut(begin));
    clearShortcut->setKey(storedShortcut(clear));

    languageChoice = UiLanguage::fromSettings(settings);
    plotView->setAxis(MainPlotView::axisNamed(settings.value(QStringLiteral("PlotAxis")).toString()));

    ui->pbClear->setText(tr("清除"));
    ui->pbStart->setText(tr("开始"));
}

// Every key is written at each orderly exit; an unwritable file is left as is.
void MainWindow::saveSettings()
{
    QSettings settings(iniFileName, QSettings::IniFormat);
    settings.setValue(QStringLiteral("WindowSize"), size());
    settings.setValue(QStringLiteral("SavedFilePath"), savedFilePath);
    settings.setValue(QStringLiteral("Begin"), startShortcut->key().toString(QKeySequence::PortableText));
    settings.setValue(QStringLiteral("Clear"), clearShortcut->key().toString(QKeySequence::PortableText));
    settings.setValue(QStringLiteral("PeakValue"), int(configDialog->getPeakValue()));
    settings.setValue(QStringLiteral("OriginalValue"), int(configDialog->getOriginalValue()));
    settings.setValue(UiLanguage::kSettingsKey, languageChoice);
    settings.setValue(QStringLiteral("AutoReconnect"), autoReconnect);
    settings.setValue(QStringLiteral("PlotAxis"), MainPlotView::axisName(plotView->axis()));
}
