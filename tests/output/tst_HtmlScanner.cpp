// The scanner against the tokenization rules, and against an independent HTML5 parser (gumbo) that
// records the byte offsets of every comment and of every tag it kept in its tree.
#include "DataTable.h"
#include "output/HtmlScanner.h"

#include <QDirIterator>
#include <QTest>

#include <gumbo.h>
#include <set>
#include <tuple>

namespace {

// Where each token starts, whether it is a comment, and its text (an end tag's starts with "</").
using Tokens = std::set<std::tuple<qsizetype, bool, QByteArray>>;

void AddGumboTokens(const GumboNode* node, const char* base, Tokens& tokens) {
    const auto add = [&](const GumboStringPiece& text) {
        if (text.length > 0) {
            tokens.insert(
                {text.data - base, node->type == GUMBO_NODE_COMMENT, QByteArray(text.data, qsizetype(text.length))});
        }
    };
    if (node->type == GUMBO_NODE_COMMENT) {
        add(node->v.text.original_text);
        return;
    }
    const GumboVector* children = &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
        add(node->v.element.original_tag);
        add(node->v.element.original_end_tag);
        children = &node->v.element.children;
    } else if (node->type != GUMBO_NODE_DOCUMENT) {
        return;
    }
    for (unsigned i = 0; i < children->length; ++i) {
        AddGumboTokens(static_cast<const GumboNode*>(children->data[i]), base, tokens);
    }
}

// What gumbo and the scanner (its `tokens`) disagree on, or empty. Gumbo drops tags that the tree
// builder ignores (a second </body>, a stray end tag), so only its comments must be all of ours.
QString GumboDifference(const QByteArray& page, const Tokens& tokens) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.constData(), size_t(page.size()));
    Tokens gumbo;
    AddGumboTokens(output->document, page.constData(), gumbo);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    for (const auto& token : gumbo) {
        if (!tokens.count(token)) {
            return u"only gumbo reads "_qs + QLatin1String(std::get<2>(token).left(60));
        }
    }
    for (const auto& [begin, comment, text] : tokens) {
        if (comment && !gumbo.count({begin, comment, text})) {
            return u"only the scanner reads the comment "_qs + QLatin1String(text.left(60));
        }
    }
    return {};
}

}  // namespace

class tst_HtmlScanner : public QObject {
    Q_OBJECT

private slots:
    // tokens.tsv (a page, its tokens, and why gumbo reads it otherwise, if it does); then the committed
    // fuzz inputs and the golden pages (real-world shaped ones among them), where gumbo and the scanner
    // must agree throughout.
    void tokens_data() {
        AddTsvRows(QFINDTESTDATA("tokens.tsv"));
        for (const char* folder : {"/tests/fuzz/corpus/fuzz_injection", "/tests/output/golden/pages"}) {
            QDirIterator it(QStringLiteral(VORNET_SOURCE_DIR) + QLatin1String(folder), QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!path.endsWith(u".txt")) {
                    QTest::newRow(qPrintable(path.section(u'/', -2))) << QByteArrayList{ReadAll(path)};
                }
            }
        }
    }

    void tokens() {
        QFETCH(QByteArrayList, row);
        const QByteArray& page = row[0];
        QByteArrayList read;
        Tokens ours;
        HtmlScanner scanner(std::string_view(page.constData(), size_t(page.size())));
        for (HtmlToken t; scanner.Next(t);) {
            read.append(page.mid(qsizetype(t.begin), qsizetype(t.end - t.begin)));
            ours.insert({qsizetype(t.begin), t.kind == HtmlToken::Kind::Comment, read.constLast()});
        }
        if (row.size() > 1) {
            QCOMPARE(read.join('|'), row[1]);
        }
        const QString difference = GumboDifference(page, ours);
        QVERIFY2(difference.isEmpty() == row.value(2).isEmpty(),
                 row.value(2).isEmpty() ? qPrintable(difference) : "gumbo now agrees; drop the note");
    }
};

QTEST_GUILESS_MAIN(tst_HtmlScanner)
#include "tst_HtmlScanner.moc"
