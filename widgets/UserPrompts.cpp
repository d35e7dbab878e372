#include "widgets/UserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
UserPrompts::FileChooser saveChooser;
UserPrompts::FileChooser openChooser;
UserPrompts::CriticalBox criticalBox;
UserPrompts::QuestionBox questionBox;
} // namespace

namespace UserPrompts {

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (saveChooser)
        return saveChooser(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (openChooser)
        return openChooser(parent, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

void critical(QWidget *parent, const QString &title, const QString &text)
{
    if (criticalBox) {
        criticalBox(parent, title, text);
        return;
    }
    QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons)
{
    if (questionBox)
        return questionBox(parent, title, text, buttons);
    return QMessageBox::question(parent, title, text, buttons);
}

void setSaveFileChooser(FileChooser chooser) { saveChooser = std::move(chooser); }
void setOpenFileChooser(FileChooser chooser) { openChooser = std::move(chooser); }
void setCriticalBox(CriticalBox box) { criticalBox = std::move(box); }
void setQuestionBox(QuestionBox box) { questionBox = std::move(box); }

} // namespace UserPrompts
