#pragma once

#include "templatemaker/TemplateMaker.h"

#include <QDialog>
#include <QList>
#include <QRgb>
#include <QString>

class Pickers;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "New template": a look from the list in colours of the user's choice (each picked through the
// colour picker), shown as it will be drawn, saved into `folder` under a name the user gives: the
// template with its 2x companion, and its shadowless variant where the look has one. A name that is
// taken, or that the template list would leave out, is refused with a message and the dialog stays
// open for another; nothing is ever written over. Accepted once every file is written; SavedPath()
// then names the template. `pickers` must outlive the dialog.
class NewTemplateDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewTemplateDialog)

public:
    NewTemplateDialog(Pickers& pickers, const QString& folder, QWidget* parent = nullptr);

    const TemplateStyle& Style() const;
    QList<QRgb> Colors() const { return colors; }
    QString SavedPath() const { return savedPath; }

    QListWidget* StyleList() const { return styleList; }
    // One for each colour of the look, in its order; the others are hidden.
    QList<QPushButton*> ColorButtons() const { return colorButtons; }
    QLineEdit* NameEdit() const { return nameEdit; }
    QLabel* Preview() const { return preview; }
    QPushButton* SaveButton() const { return saveButton; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnStyleChanged();
    void OnPickColor(int index);
    void OnSave();
    void ShowColors();
    // The first of "my-<look>", "my-<look>-2", ... that names no file in the folder.
    QString FreeName() const;

    Pickers& pickers;
    QString folder;
    QList<QRgb> colors;
    QString savedPath;
    // The name follows the look until the user types one.
    bool nameTyped = false;

    QListWidget* styleList = nullptr;
    QLabel* description = nullptr;
    QList<QPushButton*> colorButtons;
    QLabel* preview = nullptr;
    QLineEdit* nameEdit = nullptr;
    QPushButton* saveButton = nullptr;
};
