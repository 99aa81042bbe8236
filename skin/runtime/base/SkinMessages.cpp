#include "SkinMessages.h"

#include <QCoreApplication>

bool IsSkinnedObject(QObject* object) {
    if (!object) {
        return false;
    }
    TSkinMessage query(SkinMsg::Query);
    QCoreApplication::sendEvent(object, &query);
    return query.Result == 1;
}
