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
    CliProgressPrinter(const JobList& jobs, QTextStream& out, MediaExporter* exporter);

    void RepaintProgressCell(int row) override;
    MediaExporter* Exporter() override { return exporter; }
    void JobEnded(int row, JobOutcome outcome) override;

private:
    void Print(int row, const QString& text);

    const JobList& jobs;
    QTextStream& out;
    MediaExporter* exporter;
    QStringList shown; // the text last printed per row
    QElapsedTimer sinceStatus;
};
