#include "appmessages.h"

#include <QCoreApplication>
#include <QObject>

QEvent::Type AppMessage::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postAppMessage(QObject *receiver, unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new AppMessage(message, wParam, lParam));
}

LRESULT sendAppMessage(QObject *receiver, unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (!receiver)
        return -1;
    AppMessage msg(message, wParam, lParam);
    QCoreApplication::sendEvent(receiver, &msg);
    return msg.result;
}
