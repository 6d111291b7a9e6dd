// Replays every committed fuzz input through the checks of its fuzz target, so the ordinary suite
// keeps each fault the fuzzers once found fixed.
#include "FuzzChecks.h"
#include "TestFiles.h"

#include <QDir>
#include <QTest>

class tst_FuzzCorpus : public QObject {
    Q_OBJECT

private slots:
    void everyCorpusInput_holdsItsTargetsProperty_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        for (const QString& target : {u"fuzz_markup"_qs, u"fuzz_injection"_qs, u"fuzz_template"_qs, u"fuzz_gif"_qs}) {
            const QDir dir(QStringLiteral(VORNET_SOURCE_DIR "/tests/fuzz/corpus/") + target);
            QVERIFY(dir.count() > 2);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                QTest::addRow("%s/%s", qPrintable(target), qPrintable(name)) << target << dir.filePath(name);
            }
        }
    }

    void everyCorpusInput_holdsItsTargetsProperty() {
        QFETCH(QString, target);
        QFETCH(QString, path);
        const QByteArray input = ReadAll(path);
        const QString error = target == u"fuzz_markup"      ? CheckMarkup(input)
                              : target == u"fuzz_injection" ? CheckInjection(input)
                              : target == u"fuzz_template"  ? CheckTemplate(input)
                                                            : CheckGif(input);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
};

QTEST_MAIN(tst_FuzzCorpus)
#include "tst_FuzzCorpus.moc"
