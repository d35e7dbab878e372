#include "app/ChineseFontCheck.h"

#include <QCoreApplication>
#include <QFontDatabase>

namespace ChineseFontCheck {

const char *const kFontPackage = "fonts-wqy-microhei";

QStringList installedFamilies()
{
    return QFontDatabase().families(QFontDatabase::SimplifiedChinese);
}

QString notice(const QStringList &families)
{
    if (!families.isEmpty())
        return QString();
    return QCoreApplication::translate("ChineseFontCheck",
                                       "没有安装含简体中文字形的字体，界面中的中文将显示为方框。请安装软件包 %1。")
        .arg(QLatin1String(kFontPackage));
}

} // namespace ChineseFontCheck
