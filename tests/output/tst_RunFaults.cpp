// The generate and preview runs of vornetad-cli against a hostile file system: every case checks the
// exit status, that stdout lists exactly the files written and stderr names every failed one, and
// that every file is either exactly as it was or completely written. Read-only places are made
// with read-only bind mounts when we run as root (permission bits do not stop root) and with
// permission bits otherwise; the full disk is a small tmpfs; the injected write failure is a file
// size limit on the process.
#include "CodeTexts.h"
#include "PageInjection.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString CliPath() {
    return QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli");
}

const QByteArray kPage = "<html><head><title>mine</title></head><body>\n<p>mine</p>\n</body></html>\n";

// A page of `size` bytes that ends like kPage.
QByteArray PageOfSize(qsizetype size) {
    QByteArray page = "<html><body>\n";
    const QByteArray tail = "</body></html>\n";
    page.append(QByteArray(size - page.size() - tail.size(), 'x'));
    return page + tail;
}

// A mount that is taken down when the test case ends.
class Mount {
public:
    explicit Mount(QString target)
        : m_target(std::move(target)) {}
    ~Mount() { ::umount2(QFile::encodeName(m_target).constData(), MNT_DETACH); }
    Q_DISABLE_COPY_MOVE(Mount)

private:
    QString m_target;
};

struct Scene {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Mount>> mounts;
    QString skip;              // why the case cannot be made here
    QStringList madeReadOnly;  // by permission bits, given back at the end so the folder can go

    Scene() = default;
    ~Scene() {
        for (const QString& path : madeReadOnly) {
            ::chmod(QFile::encodeName(path).constData(), 0755);
        }
    }
    Q_DISABLE_COPY_MOVE(Scene)

    QStringList args;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    int exitCode = 0;
    QStringList stdoutLines;  // relative paths
    QStringList failures;     // relative paths named on stderr, each with its reason
    QString reasonPart;       // in every failure line
    QStringList changed;      // relative paths that must be completely written; all else unchanged

    QString Path(const QString& relative) const { return dir.filePath(relative); }
    QString Page(const QString& relative, const QByteArray& content = kPage) {
        QDir().mkpath(QFileInfo(Path(relative)).path());
        WriteAll(Path(relative), content);
        return Path(relative);
    }

    // Makes a file or folder read-only for this process: a read-only bind mount onto itself as
    // root, the permission bits otherwise.
    void MakeReadOnly(const QString& relative) {
        const QByteArray path = QFile::encodeName(Path(relative));
        if (::geteuid() != 0) {
            ::chmod(path.constData(), QFileInfo(Path(relative)).isDir() ? 0555 : 0444);
            madeReadOnly.append(Path(relative));
            return;
        }
        if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0) {
            skip = QStringLiteral("running as root and bind mounts are not permitted here");
            return;
        }
        mounts.push_back(std::make_unique<Mount>(Path(relative)));
        if (::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            skip = QStringLiteral("cannot remount read-only here");
        }
    }

    // Puts a tmpfs of `bytes` on the (new) folder.
    void SmallDisk(const QString& relative, int bytes) {
        QDir().mkpath(Path(relative));
        const QByteArray path = QFile::encodeName(Path(relative));
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("tmpfs", path.constData(), "tmpfs", 0, options.constData()) != 0) {
            skip = QStringLiteral("cannot mount a tmpfs here (needs root in a namespace that allows it)");
            return;
        }
        mounts.push_back(std::make_unique<Mount>(Path(relative)));
    }
};

const QStringList kBannerOptions = {QStringLiteral("--size"), QStringLiteral("120")};

QStringList Generate(const QStringList& rest) {
    return QStringList{QStringLiteral("generate")} + kBannerOptions + rest;
}

QStringList Preview(const QString& folder) {
    return QStringList{QStringLiteral("preview")} + kBannerOptions + QStringList{QStringLiteral("--dir"), folder};
}

using Setup = std::function<void(Scene&)>;

}  // namespace

Q_DECLARE_METATYPE(Setup)

class tst_RunFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath()));
        QVERIFY(m_texts.LoadTextResources());
        QProcess code;
        code.start(CliPath(), QStringList{QStringLiteral("code")} + kBannerOptions);
        QVERIFY(code.waitForFinished(60000));
        m_block = code.readAllStandardOutput();
        code.start(CliPath(), QStringList{QStringLiteral("code"), QStringLiteral("--css")} + kBannerOptions);
        QVERIFY(code.waitForFinished(60000));
        m_css = code.readAllStandardOutput();
        QVERIFY(m_block.startsWith(kBeginMarker));
        QVERIFY(!m_css.isEmpty());
        QVERIFY(QDir().mkpath(m_runtime.path()));
    }

    void run_data() {
        QTest::addColumn<Setup>("setup");

        QTest::newRow("read-only page") << Setup([](Scene& s) {
            s.args = Generate({QStringLiteral("--modify"), s.Page(QStringLiteral("site/page.html"))});
            s.MakeReadOnly(QStringLiteral("site/page.html"));
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css")};
            s.failures = {QStringLiteral("site/page.html")};
        });
        QTest::newRow("read-only folder, create mode over an existing page") << Setup([](Scene& s) {
            s.Page(QStringLiteral("site/VornetAdCode.html"));
            s.Page(QStringLiteral("site/VornetAdStyle.css"), "old style");
            s.args = Generate({QStringLiteral("--out"), s.Path(QStringLiteral("site"))});
            s.MakeReadOnly(QStringLiteral("site"));
            s.exitCode = 1;
            s.failures = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css"),
                          QStringLiteral("site/VornetAdCode.html")};
        });
        QTest::newRow("folder that does not exist") << Setup([](Scene& s) {
            s.args = Generate({QStringLiteral("--out"), s.Path(QStringLiteral("missing"))});
            s.exitCode = 1;
            s.failures = {QStringLiteral("missing/VornetAdMap.gif"), QStringLiteral("missing/VornetAdStyle.css"),
                          QStringLiteral("missing/VornetAdCode.html")};
        });
        QTest::newRow("page that is a folder") << Setup([](Scene& s) {
            QDir().mkpath(s.Path(QStringLiteral("site/page.html")));
            s.Page(QStringLiteral("site/page.html/inside.txt"), "keep");
            s.args = Generate({QStringLiteral("--modify"), s.Path(QStringLiteral("site/page.html"))});
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css")};
            s.failures = {QStringLiteral("site/page.html")};
            s.reasonPart = QStringLiteral("folder");
        });
        QTest::newRow("page that is a link to a file elsewhere") << Setup([](Scene& s) {
            s.Page(QStringLiteral("elsewhere/real.html"));
            QDir().mkpath(s.Path(QStringLiteral("site")));
            QFile::link(s.Path(QStringLiteral("elsewhere/real.html")), s.Path(QStringLiteral("site/page.html")));
            s.args = Generate({QStringLiteral("--modify"), s.Path(QStringLiteral("site/page.html"))});
            s.stdoutLines = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css"),
                             QStringLiteral("site/page.html")};
            s.changed = s.stdoutLines + QStringList{QStringLiteral("elsewhere/real.html")};
        });
        QTest::newRow("full disk") << Setup([](Scene& s) {
            s.SmallDisk(QStringLiteral("disk"), 256 * 1024);
            s.args = Generate(
                {QStringLiteral("--modify"), s.Page(QStringLiteral("disk/page.html"), PageOfSize(150 * 1024))});
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("disk/VornetAdMap.gif"), QStringLiteral("disk/VornetAdStyle.css")};
            s.failures = {QStringLiteral("disk/page.html")};
        });
        QTest::newRow("write failure half-way through the page") << Setup([](Scene& s) {
            s.args = Generate(
                {QStringLiteral("--modify"), s.Page(QStringLiteral("site/page.html"), PageOfSize(200 * 1024))});
            s.fileSizeLimit = 100 * 1024;
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css")};
            s.failures = {QStringLiteral("site/page.html")};
        });
        QTest::newRow("page of 100 MB") << Setup([](Scene& s) {
            s.args =
                Generate({QStringLiteral("--modify"), s.Page(QStringLiteral("site/page.html"), PageOfSize(100 << 20))});
            s.stdoutLines = s.changed = {QStringLiteral("site/VornetAdMap.gif"),
                                         QStringLiteral("site/VornetAdStyle.css"), QStringLiteral("site/page.html")};
        });
        QTest::newRow("page with a zero byte") << Setup([](Scene& s) {
            const QByteArray page("<html><body>\0</body></html>", 27);
            s.args = Generate({QStringLiteral("--modify"), s.Page(QStringLiteral("site/page.html"), page)});
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdStyle.css")};
            s.failures = {QStringLiteral("site/page.html")};
            s.reasonPart = QStringLiteral("zero byte");
        });
        QTest::newRow("style sheet that is a folder, page still written") << Setup([](Scene& s) {
            QDir().mkpath(s.Path(QStringLiteral("site/VornetAdStyle.css")));
            s.args = Generate({QStringLiteral("--out"), s.Path(QStringLiteral("site"))});
            s.exitCode = 1;
            s.stdoutLines =
                s.changed = {QStringLiteral("site/VornetAdMap.gif"), QStringLiteral("site/VornetAdCode.html")};
            s.failures = {QStringLiteral("site/VornetAdStyle.css")};
        });
        QTest::newRow("preview into a read-only folder") << Setup([](Scene& s) {
            s.Page(QStringLiteral("pv/adPreview.html"));
            s.args = Preview(s.Path(QStringLiteral("pv")));
            s.MakeReadOnly(QStringLiteral("pv"));
            s.exitCode = 1;
            s.failures = {QStringLiteral("pv/adPreview.gif"), QStringLiteral("pv/adPreview.css"),
                          QStringLiteral("pv/adPreview.html")};
        });
        QTest::newRow("preview into a folder that does not exist") << Setup([](Scene& s) {
            s.args = Preview(s.Path(QStringLiteral("missing")));
            s.exitCode = 1;
            s.failures = {QStringLiteral("missing/adPreview.gif"), QStringLiteral("missing/adPreview.css"),
                          QStringLiteral("missing/adPreview.html")};
        });
        QTest::newRow("preview page that is a folder") << Setup([](Scene& s) {
            QDir().mkpath(s.Path(QStringLiteral("pv/adPreview.html")));
            s.args = Preview(s.Path(QStringLiteral("pv")));
            s.exitCode = 1;
            s.changed = {QStringLiteral("pv/adPreview.gif"), QStringLiteral("pv/adPreview.css")};
            s.failures = {QStringLiteral("pv/adPreview.html")};
        });
        QTest::newRow("preview over a full disk") << Setup([](Scene& s) {
            s.SmallDisk(QStringLiteral("pv"), 160 * 1024);
            s.Page(QStringLiteral("pv/adPreview.html"), PageOfSize(100 * 1024));
            s.args = Preview(s.Path(QStringLiteral("pv")));
            s.exitCode = 1;
            s.changed = {QStringLiteral("pv/adPreview.gif"), QStringLiteral("pv/adPreview.css")};
            s.failures = {QStringLiteral("pv/adPreview.html")};
        });
    }

    void run() {
        QFETCH(Setup, setup);
        Scene scene;
        setup(scene);
        if (!scene.skip.isEmpty()) {
            QSKIP(qPrintable(scene.skip));
        }
        const auto before = Snapshot(scene.dir.path());

        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        cli.setProcessEnvironment(env);
        const rlim_t limit = scene.fileSizeLimit;
        cli.setChildProcessModifier([limit] {
            if (limit != RLIM_INFINITY) {
                // Writes beyond the limit fail with EFBIG instead of killing the process.
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit fsize{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &fsize);
            }
        });
        cli.start(CliPath(), scene.args);
        QVERIFY(cli.waitForFinished(300000));
        const QStringList out = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        const QStringList err = QString::fromUtf8(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        const auto after = Snapshot(scene.dir.path());

        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == scene.exitCode, qPrintable(err.join(u'\n')));

        QStringList expectedOut;
        for (const QString& relative : scene.stdoutLines) {
            expectedOut.append(scene.Path(relative));
        }
        if (scene.args.constFirst() == QLatin1String("preview") && scene.exitCode == 0) {
            expectedOut = {scene.Path(QStringLiteral("pv/adPreview.html"))};
        }
        QCOMPARE(out, expectedOut);
        QCOMPARE(err.size(), scene.failures.size());
        for (qsizetype i = 0; i < err.size(); ++i) {
            const QString prefix = scene.Path(scene.failures[i]) + QStringLiteral(": ");
            QVERIFY2(err[i].startsWith(prefix) && err[i].size() > prefix.size() + 3, qPrintable(err[i]));
            QVERIFY2(err[i].contains(scene.reasonPart), qPrintable(err[i]));
        }

        std::map<QString, QByteArray> all = before;
        all.insert(after.begin(), after.end());
        for (const auto& [relative, content] : all) {
            const auto was = before.find(relative);
            const auto now = after.find(relative);
            if (!scene.changed.contains(relative)) {
                QVERIFY2(was != before.end() && now != after.end() && was->second == now->second,
                         qPrintable(relative + QStringLiteral(" changed, appeared or went")));
                continue;
            }
            QVERIFY2(now != after.end(), qPrintable(relative + QStringLiteral(" was not written")));
            VerifyWhole(scene.Path(relative), was == before.end() ? std::nullopt : std::optional(was->second));
        }
        for (const QString& relative : scene.changed) {
            QVERIFY2(after.count(relative) == 1, qPrintable(relative + QStringLiteral(" is missing")));
        }
        // A link stays a link to the same file.
        for (const auto& [relative, content] : before) {
            if (content.startsWith("link to ")) {
                QVERIFY(after.at(relative).startsWith(content.left(content.indexOf(": "))));
            }
        }
    }

private:
    // A written file is exactly what the run makes of what was there before.
    void VerifyWhole(const QString& path, const std::optional<QByteArray>& old) {
        const QByteArray now = ReadAll(path);
        if (path.endsWith(QLatin1String(".gif"))) {
            QImage image;
            QVERIFY2(image.loadFromData(now, "GIF"), qPrintable(path));
            QCOMPARE(image.size(), QSize(120, 120));
        } else if (path.endsWith(QLatin1String(".css"))) {
            QCOMPARE(now, m_css);
        } else {
            QByteArray original = old.value_or(m_texts.samplePage);
            if (original.startsWith("link to ")) {
                original = original.mid(original.indexOf(": ") + 2);
            }
            QVERIFY2(now == InjectCode(original, m_block), qPrintable(path));
        }
    }

    CodeTexts m_texts;
    QByteArray m_block;
    QByteArray m_css;
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(tst_RunFaults)
#include "tst_RunFaults.moc"
