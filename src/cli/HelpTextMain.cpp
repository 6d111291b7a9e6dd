// vornetad-help-text: writes the help of vornetad-cli as a C string literal, for the program to
// print without loading Qt (see MainModule.h). The build runs it; it is not installed.
#include "cli/CliHelp.h"

#include <QSaveFile>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vornetad-help-text OUTPUT-FILE\n");
        return 2;
    }
    // One literal a line of the help; bytes other than printable ASCII by their octal codes, three
    // digits each, so that no digit after one is taken into it.
    QByteArray literal = "\"";
    for (const char c : UsageText().toUtf8()) {
        if (c == '\n') {
            literal += "\\n\"\n\"";
        } else if (c == '"' || c == '\\') {
            literal += '\\' + QByteArray(1, c);
        } else if (c >= ' ' && c <= '~') {
            literal += c;
        } else {
            literal += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
        }
    }
    literal += "\"\n";
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(literal) < 0 || !file.commit()) {
        std::fprintf(stderr, "vornetad-help-text: cannot write %s: %s\n", argv[1], qUtf8Printable(file.errorString()));
        return 1;
    }
    return 0;
}
