#include "UploadProgress.h"
#include "SerialLink.h"
#include "SimTestSupport.h"
#include "SimulatedQ7.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

using tervane::UploadProgress;
using tervane::UploadStatus;

class UploadProgressTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        link = std::make_unique<tervane::SerialLink>(clock);
        QVERIFY(tervane::test::StartAndOpen(device, *link));
        dir = tervane::test::MakeScratchDir("tervane-upload-dialog");
    }

    void cleanup()
    {
        link.reset();
        device.Stop();
    }

    void uploadsAndShowsItsProgress()
    {
        const std::string path = dir + "/main.py";
        const std::string bytes(1500, 'p');
        QVERIFY(tervane::test::WriteWholeFile(path, bytes));
        UploadProgress dialog(*link);
        dialog.SetUploadSource(path, false, false);
        bool closedEarly = false;
        QTimer::singleShot(20, &dialog, [&] {
            dialog.reject();
            dialog.close();
            closedEarly = !dialog.isVisible();
        });
        dialog.DoModal();

        QVERIFY(!closedEarly);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Uploading to device..."));
        QCOMPARE(dialog.findChild<QLineEdit*>("path")->text(), QString::fromStdString(path));
        QVERIFY(dialog.Result().Succeeded());
        QCOMPARE(device.GetFile("/WEB/python/main.py").value_or(""), bytes);
        auto* bar = dialog.findChild<QProgressBar*>("progress");
        QTRY_COMPARE(bar->maximum(), 6);
        QTRY_COMPARE(bar->value(), 2);
    }

    void refusedNameSendsNothingAndClosesAtOnce()
    {
        const std::string path = dir + "/bad\"name.py";
        QVERIFY(tervane::test::WriteWholeFile(path, "x"));
        device.ClearReceivedCommands();
        UploadProgress dialog(*link);
        dialog.SetUploadSource(path, false, false);
        dialog.DoModal();
        QCOMPARE(dialog.Result().status, UploadStatus::UnsafeFileName);
        QVERIFY(dialog.Result().NothingSent());
        QVERIFY(device.ReceivedCommands().empty());
    }

    void missingFileSendsNothing()
    {
        UploadProgress dialog(*link);
        dialog.SetUploadSource(dir + "/missing.py", false, false);
        dialog.DoModal();
        QCOMPARE(dialog.Result().status, UploadStatus::SourceUnreadable);
    }

private:
    tervane::sim::SimulatedQ7 device;
    tervane::FastClock clock {10};
    std::unique_ptr<tervane::SerialLink> link;
    std::string dir;
};

QTEST_MAIN(UploadProgressTest)
#include "UploadProgressTest.moc"
