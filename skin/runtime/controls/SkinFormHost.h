#pragma once
// A skinned window as its control skins see it: the window, the component that
// skins it and the control skins it holds. The run time's TWinSkinForm is one;
// the control skins know no more of it than this.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

class QWidget;
class TSkinControl;
class TSkinData;

class TSkinFormHost : public QObject {
    Q_OBJECT
public:
    explicit TSkinFormHost(QObject* parent) : QObject(parent) {}

    QPointer<QWidget> Hwnd;
    QPointer<QWidget> FForm; // our own window; null for a foreign one
    TSkinData* fsd = nullptr;
    // The control skins of this window; entries go null when a control dies.
    QList<QPointer<TSkinControl>> Controllist;
    // The controls classified so far in the current hand-over (addresses only).
    QSet<const QWidget*> Walked;
};
