// Replays every committed fuzz input through the checks of its fuzz target, so the ordinary suite
// keeps each fault the fuzzers once found fixed. The seeds themselves are made here: with
// VORNET_WRITE_SEEDS=1 in the environment the test (re)writes them into tests/fuzz/corpus/, and
// otherwise it fails when a committed seed no longer matches what the code makes.
#include "FuzzChecks.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

namespace {

struct Target {
    const char* name;
    std::function<QString(QByteArrayView)> check;
    std::function<QList<FuzzSeed>()> seeds;
};

const QList<Target>& Targets() {
    static const QList<Target> targets = {
        {"fuzz_injection", CheckInjection, InjectionSeeds},
        {"fuzz_template", CheckTemplate, TemplateSeeds},
        {"fuzz_gif", CheckGif, GifSeeds},
    };
    return targets;
}

QString CorpusFolder(const char* target) {
    return QStringLiteral(VORNET_SOURCE_DIR "/tests/fuzz/corpus/") + QLatin1String(target);
}

}  // namespace

class tst_FuzzCorpus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!qEnvironmentVariableIsSet("VORNET_WRITE_SEEDS")) {
            return;
        }
        for (const Target& target : Targets()) {
            QDir().mkpath(CorpusFolder(target.name));
            for (const FuzzSeed& seed : target.seeds()) {
                QFile file(CorpusFolder(target.name) + u'/' + seed.name);
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
                QCOMPARE(file.write(seed.input), seed.input.size());
            }
        }
    }

    void committedSeeds_areWhatTheCodeMakes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("input");
        for (const Target& target : Targets()) {
            for (const FuzzSeed& seed : target.seeds()) {
                QTest::addRow("%s/%s", target.name, qPrintable(seed.name))
                    << CorpusFolder(target.name) + u'/' + seed.name << seed.input;
            }
        }
    }
    void committedSeeds_areWhatTheCodeMakes() {
        QFETCH(QString, path);
        QFETCH(QByteArray, input);
        QVERIFY2(QFile::exists(path), qPrintable(path + QStringLiteral(" is missing; run with VORNET_WRITE_SEEDS=1")));
        QCOMPARE(ReadAll(path), input);
    }

    void everyCorpusInput_holdsItsTargetsProperty_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("path");
        for (int i = 0; i < Targets().size(); ++i) {
            const QDir dir(CorpusFolder(Targets()[i].name));
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                QTest::addRow("%s/%s", Targets()[i].name, qPrintable(name)) << i << dir.filePath(name);
            }
        }
    }
    void everyCorpusInput_holdsItsTargetsProperty() {
        QFETCH(int, target);
        QFETCH(QString, path);
        const QByteArray input = ReadAll(path);
        const QString error = Targets()[target].check(input);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
};

QTEST_MAIN(tst_FuzzCorpus)
#include "tst_FuzzCorpus.moc"
