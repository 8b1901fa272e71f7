#include "WorkerDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using tervane::WorkerDialog;

class WorkerDialogTest : public QObject {
    Q_OBJECT

private slots:
    void endsWhenTheJobEndsAndNotBefore()
    {
        WorkerDialog dialog;
        std::atomic<bool> release {false};
        std::atomic<bool> jobDone {false};
        bool refusedWhileRunning = false;
        QTimer::singleShot(20, &dialog, [&] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &escape);
            dialog.close();
            dialog.reject();
            refusedWhileRunning = dialog.isVisible() && !dialog.IsFinished();
            release = true;
        });
        const int result = dialog.RunJob([&] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            jobDone = true;
        });
        QVERIFY(refusedWhileRunning);
        QVERIFY(jobDone);
        QVERIFY(dialog.IsFinished());
        QCOMPARE(result, int(QDialog::Accepted));
    }

    void postedCallsRunOnTheWindowThreadBeforeTheDialogEnds()
    {
        WorkerDialog dialog;
        int shown = 0;
        bool onWindowThread = true;
        dialog.RunJob([&] {
            for (int i = 0; i < 50; ++i)
                dialog.Post([&] {
                    onWindowThread = onWindowThread && QThread::currentThread() == dialog.thread();
                    ++shown;
                });
        });
        QCOMPARE(shown, 50);
        QVERIFY(onWindowThread);
    }

    void canRunAgain()
    {
        WorkerDialog dialog;
        int runs = 0;
        dialog.RunJob([&] { ++runs; });
        dialog.RunJob([&] { ++runs; });
        QCOMPARE(runs, 2);
        QVERIFY(dialog.IsFinished());
    }
};

QTEST_MAIN(WorkerDialogTest)
#include "WorkerDialogTest.moc"
