#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "settings/UiLanguage.h"

#include <QActionGroup>
#include <QMenu>

// Settings menu: the interface language. The choice is stored at exit and
// takes effect at the next start, so no window ever shows two languages.
void MainWindow::setupLanguageMenu()
{
    // Bilingual title and each language under its own name, so a reader of
    // either finds the way back.
    QMenu *menu = ui->menu_2->addMenu(QStringLiteral("语言 / Language"));
    menu->setObjectName(QStringLiteral("menuLanguage"));
    auto *group = new QActionGroup(menu);
    const struct {
        const char *objectName;
        QString code;
        QString text;
    } choices[] = {
        {"actionLanguageChinese", UiLanguage::kChinese, QStringLiteral("中文")},
        {"actionLanguageEnglish", UiLanguage::kEnglish, QStringLiteral("English")},
    };
    for (const auto &choice : choices) {
        QAction *action = menu->addAction(choice.text);
        action->setObjectName(QLatin1String(choice.objectName));
        action->setCheckable(true);
        action->setChecked(choice.code == languageChoice);
        group->addAction(action);
        const QString code = choice.code;
        connect(action, &QAction::triggered, this, [this, code] { languageChoice = code; });
    }
    menu->addSeparator();
    QAction *note = menu->addAction(tr("下次启动时生效"));
    note->setObjectName(QStringLiteral("actionLanguageNote"));
    note->setEnabled(false);
}
