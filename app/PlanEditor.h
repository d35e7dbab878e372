#pragma once

#include "app/PlanFormTexts.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The non-modal editor of test plan files: the plan's defaults above, a
// table of its steps below (an empty cell takes the plan's value). A plan is
// saved only when it would run: a refused plan is not written, and the
// message names the key and the step, whose field is then selected.
// Unsaved changes are asked about before they would be lost.
class PlanEditor : public QWidget {
    Q_OBJECT
public:
    explicit PlanEditor(QWidget *parent = nullptr);

    // Shows the plan of `path`; false (and a box saying why) when it cannot
    // be read or is refused, the editor then unchanged.
    bool load(const QString &path);
    QString currentFile() const { return filePath; }
    bool isModified() const;
    // Asks about unsaved changes: true when they were saved or may be
    // dropped, false when the user keeps the editor open.
    bool mayDiscardChanges();

    PlanFormTexts::Texts texts() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBar(class QVBoxLayout *layout);
    QWidget *buildDefaults();
    QWidget *buildSteps();
    QLineEdit *lineEdit(const char *objectName, const QString &key);
    void setTexts(const PlanFormTexts::Texts &texts);
    void startNew();
    void openFile();
    bool save();
    bool saveAs();
    bool saveTo(const QString &path);
    void refuse(const TestRun::PlanError &error);
    void focusField(const TestRun::PlanError &error);
    void addStep();
    void removeStep();
    void moveStep(int by);
    void setStepRow(int row, const QStringList &cells);
    QStringList stepRow(int row) const;
    void updateTitle();
    QString inheritedText(int column) const;
    QString chooserFolder() const;

    QPushButton *newButton = nullptr;
    QPushButton *openButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *saveAsButton = nullptr;
    QLineEdit *nameEdit = nullptr;
    QCheckBox *framesOn = nullptr;
    QLineEdit *framesEdit = nullptr;
    QLineEdit *settleEdit = nullptr;
    QComboBox *quantityBox = nullptr;
    QLineEdit *confidenceEdit = nullptr;
    QLineEdit *timeoutEdit = nullptr;
    QCheckBox *limitOn[PlanFormTexts::kLimitCount] = {};
    QLineEdit *limitEdit[PlanFormTexts::kLimitCount] = {};
    QTableWidget *table = nullptr;
    QString filePath;
    PlanFormTexts::Texts savedTexts; // as last loaded or saved
    bool filling = false;            // setTexts at work: no title updates per field
};
