#pragma once

#include "AdSettings.h"
#include "BannerLine.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What the command line asked for, with every value already checked.
struct CliRequest {
    enum class Command { Help, Version, Compose, Code, Generate, Preview, Templates };

    Command command = Command::Help;

    // Banner options.
    QString templatePath;     // empty: the first template of the default catalog
    std::optional<int> size;  // applied as the editor's Resize would; unset keeps the wizard's 300
    BannerSide side = BannerSide::Right;
    std::array<BannerLine, 3> lines;

    // Advert options (bannerSize and side are filled from the banner options).
    AdSettings ad;

    // Command-specific values.
    QString gifPath;
    QString pngPath;
    bool css = false;
    QString outFolder;
    QString fileName = QStringLiteral("VornetAdCode.html");
    QStringList modifyPages;
    QString previewFolder;
    QString templatesFolder;
};

// Either a request or the reason the command line is not usable.
struct ParseResult {
    std::optional<CliRequest> request;
    QString error;
};

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const QStringList& args);

QString UsageText();
