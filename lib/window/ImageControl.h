#pragma once
// The picture control: holds one picture and shows it at its own size, or
// scaled to the whole control once stretching is on.

#include "Graphics.h"

#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    TPicture& Picture() { return FPicture; }
    const TPicture& Picture() const { return FPicture; }
    // Call after changing the picture so the control repaints.
    void PictureChanged();

    bool Stretch() const { return FStretch; }
    void SetStretch(bool on);

Q_SIGNALS:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPicture FPicture;
    bool FStretch = false;
};
