#pragma once
// What skinned windows and menus ask of the manager that made them. The
// manager (TSkinManage) is one; windows and menus know no more of it than this,
// so they need not include the manager that includes them.

#include <QObject>

class QString;
class QWidget;
class TSkinData;

class TSkinManageBase : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The component that AddForm step 7 would choose for this window and class.
    virtual TSkinData* ChooseSkinData(const QWidget* window, const QString& className) const = 0;

    bool active = false;
    int menutype = 0; // 0 pop-up, 1 menu bar, 2 system menu
    bool menuactive = false;
};
