// The scanner against the tokenization rules, and against an independent HTML5 parser (gumbo) that
// records the byte offsets of every comment and of every tag it kept in its tree.
#include "HtmlScanner.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QTest>

#include <gumbo.h>
#include <set>
#include <tuple>

namespace {

using Token = std::tuple<HtmlToken::Kind, size_t, size_t>;  // kind, begin, end

void AddGumboTokens(const GumboNode* node, const char* base, std::set<Token>& tokens) {
    const auto add = [&](HtmlToken::Kind kind, const GumboStringPiece& text) {
        if (text.length > 0) {
            const size_t begin = size_t(text.data - base);
            // "</br>" makes an element of its own, recorded as its start tag.
            const bool endTag = kind == HtmlToken::Kind::StartTag && base[begin + 1] == '/';
            tokens.insert({endTag ? HtmlToken::Kind::EndTag : kind, begin, begin + text.length});
        }
    };
    if (node->type == GUMBO_NODE_COMMENT) {
        add(HtmlToken::Kind::Comment, node->v.text.original_text);
        return;
    }
    const GumboVector* children = &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
        add(HtmlToken::Kind::StartTag, node->v.element.original_tag);
        add(HtmlToken::Kind::EndTag, node->v.element.original_end_tag);
        children = &node->v.element.children;
    } else if (node->type != GUMBO_NODE_DOCUMENT) {
        return;
    }
    for (unsigned i = 0; i < children->length; ++i) {
        AddGumboTokens(static_cast<const GumboNode*>(children->data[i]), base, tokens);
    }
}

// What gumbo and the scanner (`ours`) disagree on, or empty. Gumbo drops tags that the tree builder
// ignores (a second </body>, a stray end tag), so only its comments must be all of ours.
QString GumboDifference(const QByteArray& page, const std::set<Token>& ours) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.constData(), size_t(page.size()));
    std::set<Token> gumbo;
    AddGumboTokens(output->document, page.constData(), gumbo);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    const auto describe = [&page](const char* what, const Token& t) {
        const qsizetype begin = qsizetype(std::get<1>(t));
        return QStringLiteral("%1 at %2: %3")
            .arg(QLatin1String(what))
            .arg(begin)
            .arg(QLatin1String(page.mid(begin, 60)));
    };
    for (const Token& t : gumbo) {
        if (!ours.count(t)) {
            return describe("only gumbo reads a token", t);
        }
    }
    for (const Token& t : ours) {
        if (std::get<0>(t) == HtmlToken::Kind::Comment && !gumbo.count(t)) {
            return describe("only the scanner reads a comment", t);
        }
    }
    return {};
}

}  // namespace

class tst_HtmlScanner : public QObject {
    Q_OBJECT

private slots:
    // tokens.tsv; then the committed fuzz inputs and the golden pages (real-world shaped ones among
    // them), where gumbo and the scanner must agree throughout.
    void tokens_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("tokens");
        QTest::addColumn<QString>("gumbo");
        for (const QByteArrayList& row : DataRows(QFINDTESTDATA("tokens.tsv"))) {
            QTest::newRow(row[0].constData()) << row[1] << row[2] << QString::fromUtf8(row.value(3));
        }
        for (const char* folder : {"/tests/fuzz/corpus/fuzz_injection", "/tests/output/golden/pages"}) {
            QDirIterator it(QStringLiteral(VORNET_SOURCE_DIR) + QLatin1String(folder), QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!path.endsWith(u".txt")) {
                    QTest::newRow(qPrintable(path.section(u'/', -2))) << ReadAll(path) << QByteArray() << QString();
                }
            }
        }
    }

    void tokens() {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, tokens);
        QFETCH(QString, gumbo);
        QByteArrayList read;
        std::set<Token> ours;
        HtmlScanner scanner({page.constData(), size_t(page.size())});
        for (HtmlToken t; scanner.Next(t);) {
            read.append(page.mid(qsizetype(t.begin), qsizetype(t.end - t.begin)));
            ours.insert({t.kind, t.begin, t.end});
        }
        if (!tokens.isNull()) {
            QCOMPARE(read.join('|'), tokens);
        }
        const QString difference = GumboDifference(page, ours);
        QVERIFY2(difference.isEmpty() == gumbo.isEmpty(),
                 gumbo.isEmpty() ? qPrintable(difference) : "gumbo now agrees; drop the note");
    }
};

QTEST_GUILESS_MAIN(tst_HtmlScanner)
#include "tst_HtmlScanner.moc"
