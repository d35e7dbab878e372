#include "app/StaleTextMarker.h"

#include "link/LinkTexts.h"
#include "link/QTRNet.h"

#include <QPlainTextEdit>

StaleTextMarker::StaleTextMarker(QPlainTextEdit *view, QTRNet *net)
    : QObject(view)
    , view(view)
    , net(net)
{
}

void StaleTextMarker::mark()
{
    if (listening)
        return;
    livePalette = view->palette();
    QPalette grey = livePalette;
    for (auto group : {QPalette::Active, QPalette::Inactive})
        grey.setColor(group, QPalette::Text, livePalette.color(QPalette::Disabled, QPalette::Text));
    view->setPalette(grey);
    view->setToolTip(LinkTexts::staleData());
    listening = connect(net, &QTRNet::dataReady, this, &StaleTextMarker::unmark);
}

void StaleTextMarker::unmark()
{
    disconnect(listening);
    listening = {};
    view->setPalette(livePalette);
    view->setToolTip(QString());
}
