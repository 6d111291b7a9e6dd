#include "markup/Markup.h"

#include <QByteArray>

namespace {

struct TagEntry {
    QByteArrayView name;
    int kind;
    bool takesAttributes;
    bool block;
};

// Searched from the last entry to the first, so that "br" is tried before "b"; a name only has to
// start with an entry's name to match it.
constexpr std::array<TagEntry, 10> kTags{{
    {"b", kMarkupBold, false, false},
    {"br", kMarkupBreak, false, true},
    {"em", kMarkupItalic, false, false},
    {"font", kMarkupFont, true, false},
    {"i", kMarkupItalic, false, false},
    {"p", kMarkupParagraph, false, true},
    {"strong", kMarkupBold, false, false},
    {"sub", kMarkupSubscript, false, false},
    {"sup", kMarkupSuperscript, false, false},
    {"u", kMarkupUnderline, false, false},
}};

// The C library's space test in the "C" locale, independent of the process locale.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const TagEntry* FindTag(QByteArrayView name) {
    for (auto it = kTags.rbegin(); it != kTags.rend(); ++it) {
        if (name.size() >= it->name.size() && qstrnicmp(name.data(), it->name.data(), size_t(it->name.size())) == 0) {
            return &*it;
        }
    }
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

}  // namespace

MarkupToken NextMarkupToken(QByteArrayView text, qsizetype& position, bool& pendingSpace) {
    const qsizetype size = text.size();
    if (position < 0) {
        position = 0;
    }
    const bool hadSpace = pendingSpace;
    if (!pendingSpace && position < size && IsSpace(text[position])) {
        pendingSpace = true;
    }
    while (position < size && IsSpace(text[position])) {
        ++position;
    }
    if (position >= size) {
        return {kMarkupEnd, position, 0};
    }

    const char* const at = text.data() + position;
    const qsizetype remaining = size - position;
    MarkupToken token{kMarkupText, position, 0};

    if (at[0] != '<') {
        qsizetype i = 0;
        while (i < remaining && !IsSpace(at[i]) && at[i] != '<') {
            ++i;
        }
        token.length = i;
        position += i;
        return token;
    }

    const bool closing = remaining > 1 && at[1] == '/';
    const qsizetype nameStart = closing ? 2 : 1;
    qsizetype i = nameStart;
    while (i < remaining && !IsSpace(at[i]) && at[i] != '<' && at[i] != '>') {
        ++i;
    }
    const TagEntry* tag = FindTag(QByteArrayView(at + nameStart, i - nameStart));
    if (tag != nullptr) {
        if (!closing && tag->takesAttributes) {
            while (i < remaining && at[i] != '<' && at[i] != '>') {
                ++i;
            }
        } else if (i >= remaining || at[i] != '>') {
            tag = nullptr;  // "<b x>", or "<b" at the very end: not a tag after all
        }
    }
    if (tag != nullptr && tag->block) {
        pendingSpace = false;
    }
    if (i < remaining && at[i] == '>') {
        ++i;
    }
    if (tag != nullptr && (tag->block || hadSpace)) {
        while (i < remaining && IsSpace(at[i])) {
            ++i;
        }
    }

    token.length = i;
    position += i;
    if (tag != nullptr) {
        token.kind = tag->kind + (closing ? kMarkupClosing : 0);
    } else {
        token.kind = closing ? kMarkupClosing : kMarkupText;
    }
    return token;
}

QColor ParseHexColor(QByteArrayView chars) {
    qsizetype at = 0;
    if (at < chars.size() && (chars[at] == '\'' || chars[at] == '"')) {
        ++at;
    }
    if (at < chars.size() && chars[at] == '#') {
        ++at;
    }
    std::array<int, 6> digits{};
    for (int& digit : digits) {
        digit = at < chars.size() ? HexDigit(chars[at]) : 0;
        ++at;
    }
    return QColor(digits[0] * 16 + digits[1], digits[2] * 16 + digits[3], digits[4] * 16 + digits[5]);
}

QColor MarkupColorStack::Push(const QColor& current, const QColor& color) {
    if (count < kDepth) {
        saved[size_t(count)] = current.rgb();
        ++count;
    }
    return color;
}

QColor MarkupColorStack::Pop() {
    if (count > 0) {
        --count;
        return QColor(saved[size_t(count)]);
    }
    return QColor(saved[0]);
}

MarkupColorStack& MarkupColorStack::Shared() {
    static MarkupColorStack stack;
    return stack;
}
