#pragma once

#include <QString>
#include <QWidget>

// Step 3: title, link, target window and the optional custom code.
class OptionsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsPage)

public:
    explicit OptionsPage(QWidget* parent = nullptr);

    // Copies the edit fields into the public fields below (they are read right after).
    void StoreControls();

    bool newWindow = true;
    bool customCodeEnabled = false;
    QString adTitle = QStringLiteral("ad title here");
    QString linkUrl = QStringLiteral("link URL here");
    QString customCode;
};
