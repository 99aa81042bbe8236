#include "WinSubClassScroll.h"

#include <QAbstractSpinBox>
#include <QSlider>

void TSkinTrackBar::CollectTargets(std::vector<QWidget*>& targets) const {
    if (auto* slider = qobject_cast<QSlider*>(hwnd.data())) {
        targets.push_back(slider);
    }
}

void TSkinUpDown::CollectTargets(std::vector<QWidget*>& targets) const {
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(hwnd.data())) {
        targets.push_back(spin);
    }
}
