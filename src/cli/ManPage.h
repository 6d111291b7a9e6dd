#pragma once

#include <QString>

#include <vector>

// A section of documentation taken from the project's Markdown files into a man page.
struct ManSection {
    QString title;     // "HOW PAGES ARE TREATED"
    QString markdown;  // the body, without its heading
};

// The body of the section headed `heading` (any level, letter case ignored) up to the next heading
// of the same or a higher level; a null string when there is none.
QString MarkdownSection(const QString& markdown, const QString& heading);

// The text between a document's title ("# ...") and its first subheading.
QString MarkdownIntro(const QString& markdown);

// Markdown as roff for the man macros: paragraphs, bullet and numbered lists, code blocks, tables
// (one entry per row), subheadings, and code, strong and emphasis spans. Images are dropped and links
// keep their text. Characters roff would take as requests or escapes are escaped, and non-ASCII
// ones are written as Unicode escapes, so the page does not depend on how man decodes its input.
QString MarkdownToRoff(const QString& markdown);

// vornetad-cli(1): synopses, commands, options and exit statuses from the command line's tables,
// then `sections` in the order given.
QString CliManPage(const QString& version, const std::vector<ManSection>& sections);

// vornetad(1), the wizard's short page; `description` is Markdown.
QString WizardManPage(const QString& version, const QString& description);
