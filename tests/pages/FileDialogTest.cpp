#include "FileDialog.h"
#include "MessageBox.h"
#include "PageQuestions.h"

#include <QtTest>

using namespace tervane;

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        FileDialog::setAnswerer({});
        FileDialog::clearHistory();
        MessageBox::setAnswerer({});
        MessageBox::clearHistory();
    }

    void filterTextBecomesNameFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("every file under the image label") << "*.bin|*.*||" << QStringList{"*.bin (*)"};
        QTest::newRow("two entries") << "Images|*.bin|All|*.*||" << QStringList{"Images (*.bin)", "All (*)"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("label without pattern") << "*.py|" << QStringList{"*.py (*)"};
        QTest::newRow("lone label") << "*.cfg" << QStringList{"*.cfg (*.cfg)"};
        QTest::newRow("stops at the empty label") << "*.cfg|*.*||x|*.x" << QStringList{"*.cfg (*)"};
    }
    void filterTextBecomesNameFilters()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, filters);
        const QByteArray bytes = text.toUtf8();
        QCOMPARE(NameFiltersFromText(std::string_view(bytes.constData(), size_t(bytes.size()))), filters);
    }

    void defaultSuffix_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("pattern") << "*.ebl" << "ebl";
        QTest::newRow("dotted") << ".cfg" << "cfg";
        QTest::newRow("bare") << "py" << "py";
        QTest::newRow("none") << "" << "";
    }
    void defaultSuffix()
    {
        QFETCH(QString, text);
        QFETCH(QString, suffix);
        const QByteArray bytes = text.toUtf8();
        QCOMPARE(DefaultSuffixFromText(std::string_view(bytes.constData(), size_t(bytes.size()))), suffix);
    }

    void saveQuestionCarriesTheChoiceAndThePath()
    {
        FileChoice choice{"*.cfg", "*.cfg|*.*||", "backup.cfg"};
        FileDialog::setAnswerer([](const FileDialogRequest& request) -> std::optional<QString> {
            if (request.mode != FileDialogRequest::Mode::Save)
                return std::nullopt;
            return QStringLiteral("/tmp/r\u00e9sum\u00e9.cfg");
        });
        QWidget page;
        PageQuestions questions(&page);
        const std::optional<std::string> path = questions.ChooseSaveFile(choice);
        QVERIFY(path.has_value());
        QCOMPARE(QFile::decodeName(QByteArray::fromStdString(*path)), QStringLiteral("/tmp/r\u00e9sum\u00e9.cfg"));
        QCOMPARE(FileDialog::history().size(), 1);
        const FileDialogRequest& asked = FileDialog::history().constFirst();
        QCOMPARE(asked.owner, &page);
        QCOMPARE(asked.defaultSuffix, QStringLiteral("cfg"));
        QCOMPARE(asked.nameFilters, QStringList{"*.cfg (*)"});
        QCOMPARE(asked.initialName, QStringLiteral("backup.cfg"));

        FileDialog::setAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
        QVERIFY(!questions.ChooseSaveFile(choice).has_value());
    }

    void questionsAreErrorBoxesWithoutOwner_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("buttons");
        const int retryCancel = int(QMessageBox::Retry | QMessageBox::Cancel);
        QTest::newRow("error") << int(QuestionKind::Error) << int(QMessageBox::Ok) << int(Answer::Ok) << int(QMessageBox::Ok);
        QTest::newRow("retry") << int(QuestionKind::RetryCancel) << int(QMessageBox::Retry) << int(Answer::Retry) << retryCancel;
        QTest::newRow("cancel") << int(QuestionKind::RetryCancel) << int(QMessageBox::Cancel) << int(Answer::Cancel) << retryCancel;
        QTest::newRow("closed") << int(QuestionKind::RetryCancel) << int(QMessageBox::NoButton) << int(Answer::Cancel) << retryCancel;
    }
    void questionsAreErrorBoxesWithoutOwner()
    {
        QFETCH(int, kind);
        QFETCH(int, button);
        QFETCH(int, answer);
        QFETCH(int, buttons);
        MessageBox::setNextAnswer(QMessageBox::StandardButton(button));
        QWidget page;
        bool reloaded = false;
        PageQuestions questions(&page, [&reloaded] { reloaded = true; });
        QCOMPARE(int(questions.Ask(QuestionKind(kind), "Error", "Firmware Update failed.")), answer);
        const MessageBoxRequest& shown = MessageBox::history().constLast();
        QCOMPARE(shown.owner, nullptr);
        QCOMPARE(shown.icon, QMessageBox::Critical);
        QCOMPARE(shown.caption, QStringLiteral("Error"));
        QCOMPARE(shown.text, QStringLiteral("Firmware Update failed."));
        QCOMPARE(int(shown.buttons), buttons);
        questions.DocumentsReplaced();
        QVERIFY(reloaded);
    }
};

QTEST_MAIN(FileDialogTest)
#include "FileDialogTest.moc"
