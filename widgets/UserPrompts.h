#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The file choosers and message boxes that slots show, behind a seam so that
// tests can answer them. By default they are Qt's own dialogs.
namespace UserPrompts {

using FileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                          const QString &dir, const QString &filter)>;
using CriticalBox = std::function<void(QWidget *parent, const QString &title, const QString &text)>;
using QuestionBox = std::function<QMessageBox::StandardButton(QWidget *parent, const QString &title, const QString &text,
                                                              QMessageBox::StandardButtons buttons)>;

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
// A critical box with one OK button; returns when it is closed.
void critical(QWidget *parent, const QString &title, const QString &text);
// A question with the given buttons; returns the one pressed (Escape gives
// the box's escape button, Cancel or No when offered).
QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons);

// Test hooks: replace a prompt; an empty function restores Qt's dialog.
void setSaveFileChooser(FileChooser chooser);
void setOpenFileChooser(FileChooser chooser);
void setCriticalBox(CriticalBox box);
void setQuestionBox(QuestionBox box);

} // namespace UserPrompts
