#pragma once

#include "engine/ConversionHost.h"
#include "engine/JobList.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

// The command line's view of a batch: prints a job's Progress text whenever it changes, the
// running encoder status at most a few times a second.
class CliProgressPrinter : public ConversionHost {
public:
    // extension: the output files' (".3gp" or ".3g2"), for the names printed.
    CliProgressPrinter(const JobList& jobs, QTextStream& out, MediaExporter* exporter,
                       QString extension);

    void RepaintProgressCell(int row) override;
    MediaExporter* Exporter() override { return exporter; }
    void JobEnded(int row, JobOutcome outcome) override;

private:
    void Print(int row, const QString& text);

    const JobList& jobs;
    QTextStream& out;
    MediaExporter* exporter;
    QString extension;
    QStringList shown; // the text last printed per row
    QElapsedTimer sinceStatus;
};
