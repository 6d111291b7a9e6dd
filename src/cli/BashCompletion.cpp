#include "cli/BashCompletion.h"

#include "cli/CliOptions.h"

#include <QMap>

namespace {

// "*.gif" as a bash pattern that also matches "*.GIF": shipped and user templates differ in case.
QString AnyCase(const QString& glob) {
    QString pattern;
    for (const QChar c : glob) {
        if (c.isLetter()) {
            pattern += u'[' + c.toLower() + c.toUpper() + u']';
        } else {
            pattern += c;
        }
    }
    return pattern;
}

// The bash lines, each indented by `indent`, that fill COMPREPLY for a value of this kind; none
// for free text, where only the user knows what comes.
QString Offer(const OptionDoc& doc, const QString& indent) {
    QString generate;
    switch (doc.completion) {
    case Completion::None:
        return {};
    case Completion::Words:
        generate = QStringLiteral("compgen -W '%1' -- \"$cur\"").arg(doc.choices);
        break;
    case Completion::Folder:
        generate = QStringLiteral("compgen -d -- \"$cur\"");
        break;
    case Completion::File:
        generate = doc.choices.isEmpty()
                       ? QStringLiteral("compgen -f -- \"$cur\"")
                       : QStringLiteral("compgen -o plusdirs -f -X '!%1' -- \"$cur\"").arg(AnyCase(doc.choices));
        break;
    }
    QString lines;
    if (doc.completion != Completion::Words) {
        // Lets bash quote names with spaces and mark folders with a slash.
        lines += indent + QStringLiteral("compopt -o filenames 2>/dev/null\n");
    }
    return lines + indent + QStringLiteral("mapfile -t COMPREPLY < <(%1)\n").arg(generate);
}

QString Key(const OptionDoc& doc) {
    return QString::number(int(doc.completion)) + u':' + doc.choices;
}

}  // namespace

QString BashCompletion() {
    const std::vector<DocumentedOption> options = DocumentedOptions();
    const std::vector<DocumentedCommand> commands = DocumentedCommands();

    QStringList commandWords;
    for (const DocumentedCommand& command : commands) {
        commandWords.append(command.name);
    }
    commandWords << QStringLiteral("--help") << QStringLiteral("--version");

    // Options whose values complete alike share one case arm.
    QMap<QString, QStringList> namesByKey;
    QMap<QString, OptionDoc> docByKey;
    QStringList valued;
    for (const DocumentedOption& option : options) {
        if (!option.doc.valueName.isEmpty()) {
            valued.append(option.name);
            namesByKey[Key(option.doc)].append(option.name);
            docByKey.insert(Key(option.doc), option.doc);
        }
    }

    QString script =
        QStringLiteral("# bash completion for vornetad-cli, made from its option table when the program was built\n"
                       "_vornetad_cli()\n"
                       "{\n"
                       "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                       "    COMPREPLY=()\n"
                       "    # bash splits --side=left at the '=', into --side, = and left.\n"
                       "    if [[ $cur == = ]]; then\n"
                       "        cur=\n"
                       "    elif [[ $prev == = ]] && ((COMP_CWORD > 2)); then\n"
                       "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
                       "    fi\n"
                       "    if ((COMP_CWORD == 1)); then\n"
                       "        mapfile -t COMPREPLY < <(compgen -W '%1' -- \"$cur\")\n"
                       "        return\n"
                       "    fi\n"
                       "    # After a \"--\" that is no option's value, every word is a page or a folder.\n"
                       "    local i ended=\n"
                       "    for ((i = 2; i < COMP_CWORD; i++)); do\n"
                       "        if [[ ${COMP_WORDS[i]} == -- && ' %2 = ' != *\" ${COMP_WORDS[i-1]} \"* ]]; then\n"
                       "            ended=1\n"
                       "            break\n"
                       "        fi\n"
                       "    done\n"
                       "    [[ -z $ended ]] &&\n"
                       "    case $prev in\n")
            .arg(commandWords.join(u' '), valued.join(u' '));
    for (auto it = namesByKey.cbegin(); it != namesByKey.cend(); ++it) {
        script += QStringLiteral("        ") + it.value().join(u'|') + QStringLiteral(")\n") +
                  Offer(docByKey[it.key()], QString(12, u' ')) + QStringLiteral("            return ;;\n");
    }
    script += QStringLiteral("    esac\n"
                             "    case ${COMP_WORDS[1]} in\n");
    for (const DocumentedCommand& command : commands) {
        // --help after a command shows the help too.
        QStringList names{QStringLiteral("--help")};
        for (const DocumentedOption& option : options) {
            if (option.commands.contains(command.name)) {
                names.append(option.name);
            }
        }
        script += QStringLiteral("        %1)\n").arg(command.name);
        if (!command.operands.valueName.isEmpty()) {
            // A word that does not start with a dash is an operand, as is every word after "--".
            script += QStringLiteral("            if [[ $cur != -* || -n $ended ]]; then\n") +
                      Offer(command.operands, QString(16, u' ')) +
                      QStringLiteral("                return\n"
                                     "            fi\n");
        }
        script += QStringLiteral("            mapfile -t COMPREPLY < <(compgen -W '%1' -- \"$cur\")\n"
                                 "            ;;\n")
                      .arg(names.join(u' '));
    }
    script += QStringLiteral("    esac\n"
                             "}\n"
                             "complete -F _vornetad_cli vornetad-cli\n");
    return script;
}
