#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The plan files whose shell commands the operator has agreed to run, each
// by its absolute path and the SHA-256 of its bytes: a plan changed since,
// or the same text from another file, is asked about again. Kept in a small
// text file of its own, one "<sha256> <path>" line per plan, so the
// settings file keeps its keys. A file that cannot be read approves nothing
// (the question is asked again); it never approves by mistake.
// Texts translated in the context "PlanApprovals".
class PlanApprovals {
    Q_DECLARE_TR_FUNCTIONS(PlanApprovals)

public:
    // Relative, like the settings file: beside it in the working directory.
    static QString defaultFile() { return QStringLiteral("approved-plans.txt"); }

    explicit PlanApprovals(const QString &file = defaultFile());

    bool isApproved(const QString &planPath, const QByteArray &content) const;
    // Adds the plan; false with `why` when the file cannot be written.
    bool approve(const QString &planPath, const QByteArray &content, QString *why);

private:
    static QString line(const QString &planPath, const QByteArray &content);

    QString file;
};
