#pragma once

#include "app/TestRunSettings.h"
#include "results/ResultsReader.h"

#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QUrl;
class UnitTrendPlot;

// The non-modal window over the stored accuracy runs: a table of runs
// (newest first) filtered by unit, verdict and start date, a run's report,
// the selection exported as CSV, and the bias trend of the chosen run's unit.
// Read-only: it never changes the database. Reads again each time it is
// shown, so runs made meanwhile appear.
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    // Opens files and addresses in the desktop's programs; tests replace it.
    using UrlOpener = std::function<bool(const QUrl &url)>;

    ResultsWindow(const TestRunSettings &settings, QWidget *parent = nullptr);

    void setUrlOpener(UrlOpener opener) { openUrl = std::move(opener); }
    // Reads the runs again under the current filters.
    void refresh();
    // The run ids in the table, top to bottom.
    QList<qint64> shownRuns() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLayout *buildFilters();
    QLayout *buildButtons();
    std::optional<ResultsLocation> location(QString *why) const;
    void fillTable();
    void showStatus(const QString &text, bool problem);
    QList<qint64> selectedRuns() const;
    qint64 currentRun() const;
    bool readRun(qint64 id, TestRun::RunRecord &run);
    void openReport();
    void saveReport();
    void exportSelection();
    void openSummary();
    void showTrend();

    const TestRunSettings &settings;
    UrlOpener openUrl;
    QLineEdit *unitFilter = nullptr;
    QComboBox *verdictFilter = nullptr;
    QCheckBox *fromOn = nullptr;
    QDateEdit *fromDate = nullptr;
    QCheckBox *toOn = nullptr;
    QDateEdit *toDate = nullptr;
    QTableWidget *table = nullptr;
    QLabel *statusLine = nullptr;
    QLabel *whereLine = nullptr;
    UnitTrendPlot *trendPlot = nullptr;
    QLabel *trendTitle = nullptr;
    QPushButton *openReportButton = nullptr;
    QPushButton *saveReportButton = nullptr;
    QPushButton *exportButton = nullptr;
    std::vector<TestRun::RunRecord> runs; // as read, before the unit filter
    QString trendUnit;
    QString readNotice; // why the last reading shows no runs: no file yet, or a fault
    bool readProblem = false;
    QString savedFolder = QStringLiteral(".");
    QTemporaryDir reportDir; // reports opened for viewing; removed with the window
};
