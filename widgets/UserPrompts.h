#pragma once

#include <QString>

#include <functional>

class QWidget;

// The file choosers and message boxes that slots show, behind a seam so that
// tests can answer them. By default they are Qt's own dialogs.
namespace UserPrompts {

using FileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                          const QString &dir, const QString &filter)>;
using CriticalBox = std::function<void(QWidget *parent, const QString &title, const QString &text)>;

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
// A critical box with one OK button; returns when it is closed.
void critical(QWidget *parent, const QString &title, const QString &text);

// Test hooks: replace a prompt; an empty function restores Qt's dialog.
void setSaveFileChooser(FileChooser chooser);
void setOpenFileChooser(FileChooser chooser);
void setCriticalBox(CriticalBox box);

} // namespace UserPrompts
