#pragma once

#include <QObject>

class QWidget;

namespace tervane {

// Tells whoever started the program when its window was first painted: one line,
// "painted\n", written to the file descriptor named by the environment variable
// TERVANE_FIRST_PAINT_FD (the start-up benchmark's pipe). Without that variable it does
// nothing.
class FirstPaintNotice : public QObject {
    Q_OBJECT

public:
    // Watches `window` when the variable names a descriptor; the notice deletes itself with
    // the window or after its one line.
    static void Watch(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FirstPaintNotice(QWidget& window, int descriptor);

    int m_descriptor;
    bool m_sent = false;
};

} // namespace tervane
