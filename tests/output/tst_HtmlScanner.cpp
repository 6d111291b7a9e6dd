// The scanner against the tokenization rules, and against an independent HTML5 parser (gumbo) that
// records the byte offsets of every comment and of every tag it kept in its tree.
#include "HtmlScanner.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QTest>

#include <gumbo.h>
#include <set>
#include <string_view>
#include <tuple>

namespace {

using Token = std::tuple<HtmlToken::Kind, size_t, size_t>;  // kind, begin, end

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

std::set<Token> ScannerTokens(const QByteArray& page) {
    std::set<Token> tokens;
    HtmlScanner scanner(View(page));
    for (HtmlToken t; scanner.Next(t);) {
        tokens.insert({t.kind, t.begin, t.end});
    }
    return tokens;
}

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

// What gumbo and the scanner disagree on, or empty. Gumbo drops tags that the tree builder ignores
// (a second </body>, a stray end tag), so only its comments must be all of ours.
QString GumboDifference(const QByteArray& page) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.constData(), size_t(page.size()));
    std::set<Token> gumbo;
    AddGumboTokens(output->document, page.constData(), gumbo);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    const std::set<Token> ours = ScannerTokens(page);
    const auto describe = [&](const char* what, const Token& t) {
        const auto [kind, begin, end] = t;
        return QStringLiteral("%1 at %2: %3")
            .arg(QLatin1String(what))
            .arg(begin)
            .arg(QString::fromLatin1(page.mid(qsizetype(begin), qsizetype(std::min<size_t>(end - begin, 60)))));
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

class TestHtmlScanner : public QObject {
    Q_OBJECT

private slots:
    // Every tag, comment and doctype the scanner reads, as text, joined by '|'. `gumbo` names where
    // gumbo, an older HTML5 parser, reads the page differently from today's rules (or from the
    // scanner's guess where it follows no tree); it is empty where the two must agree. Then the
    // committed fuzz inputs and the golden pages (real-world shaped ones among them), where they
    // must agree throughout.
    void tokens_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("tokens");
        QTest::addColumn<QString>("gumbo");
        const auto row = [](const char* name, const char* page, const char* tokens, const char* gumbo = "") {
            QTest::newRow(name) << QByteArray(page) << QByteArray(tokens) << QString::fromLatin1(gumbo);
        };
        row("comment endings", "<!---->a<!-->b<!--->c<!--x--!>d<!--x--->e<!--<!-- -->",
            "<!---->|<!-->|<!--->|<!--x--!>|<!--x--->|<!--<!-- -->");
        row("comment cut off by the end", "<p>x<!-- x --", "<p>|<!-- x --");
        row("bogus comments", "<!x>a<?y>b</ z>c</>d", "<!x>|<?y>|</ z>");
        row("doctype ends at its first >", "<!DOCTYPE html PUBLIC \"a>b\">x", "<!DOCTYPE html PUBLIC \"a>");
        row("attribute values", "<a b=\"</body>\" c='<!--x-->' d=e>f>g</a>", "<a b=\"</body>\" c='<!--x-->' d=e>|</a>");
        row("end tag with attributes", "</body foo=\"a>b\" / ><x", "</body foo=\"a>b\" / >");
        row("tag cut off by the end", "<p>x</body", "<p>");
        row("rcdata", "<title><!--x--></body></titlex></TITLE >y", "<title>|</TITLE >");
        row("raw text", "<style>a</style b><!--c--></style>", "<style>|</style b>|<!--c-->|</style>");
        row("script escapes", "<script><!--<script>x</script>y</script>z--></script>", "<script>|</script>|</script>");
        row("script dashes", "<script><!-->'</script>", "<script>|</script>");
        row("plaintext", "<plaintext></plaintext><!--x-->", "<plaintext>");
        row("svg keeps raw-text names", "<svg><style><!--x--></style><![CDATA[</svg>]]></svg><style><!--y-->",
            "<svg>|<style>|<!--x-->|</style>|</svg>|<style>");
        row("svg integration point", "<svg><desc><title><!--x--></title></desc></svg>",
            "<svg>|<desc>|<title>|</title>|</desc>|</svg>");
        row("breakout", "<math><mtext><b><![CDATA[x]]></b></mtext><p><![CDATA[y]]>",
            "<math>|<mtext>|<b>|<![CDATA[x]]>|</b>|</mtext>|<p>|<![CDATA[y]]>");
        row("noscript holds raw text", "<noscript><!--x--></noscript>", "<noscript>|</noscript>",
            "reads with scripting off");
        row("empty end tag", "</><!--x-->", "<!--x-->", "counts </> into the next token");
        row("p ends svg", "<svg></p><style><!--x-->", "<svg>|</p>|<style>", "keeps svg open after </p>");
        row("select holds elements", "<select><style><!--x--></style>", "<select>|<style>|</style>",
            "ignores <style> in a select, which today's rules read as in the body");
        row("div end closes svg", "<div><svg><g></div><style><!--x-->", "<div>|<svg>|<g>|</div>|<style>");
        row("stray end tag in svg", "<svg></span><![CDATA[x]]>", "<svg>|</span>|<![CDATA[x]]>",
            "ignores </span> with no span open; the scanner follows no HTML elements and closes the svg");
        row("self-closing end tag", "<svg><title></title/><style><!--x-->", "<svg>|<title>|</title/>|<style>|<!--x-->",
            "ignores an end tag written with a closing slash");
        for (const char* folder : {"/tests/fuzz/corpus/fuzz_injection", "/tests/output/golden/pages"}) {
            QDirIterator it(QStringLiteral(VORNET_SOURCE_DIR) + QLatin1String(folder), QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!path.endsWith(QLatin1String(".txt"))) {
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
        HtmlScanner scanner(View(page));
        for (HtmlToken t; scanner.Next(t);) {
            read.append(page.mid(qsizetype(t.begin), qsizetype(t.end - t.begin)));
        }
        if (!tokens.isNull()) {
            QCOMPARE(read.join('|'), tokens);
        }
        const QString difference = GumboDifference(page);
        if (gumbo.isEmpty()) {
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        } else {
            QVERIFY2(!difference.isEmpty(), "gumbo now agrees; drop the note");
        }
    }
};

QTEST_GUILESS_MAIN(TestHtmlScanner)
#include "tst_HtmlScanner.moc"
