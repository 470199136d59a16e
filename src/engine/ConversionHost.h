#pragma once

class MediaExporter;

// How a job ended in a batch.
enum class JobOutcome {
    Finished, // every pass ran and the output file is there
    Failed,   // the passes ended without a cancel but left no usable output (see log.txt)
    Canceled, // Stop was pressed during the job
    Skipped,  // its output existed and the user chose to keep it
};

// What the conversion engine needs from whoever shows the batch: the main page of the window
// or the command line. Every call comes on the thread that runs the batch, from inside it.
class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // A job's Progress cell (column 4) changed: repaint that one cell, without erasing.
    virtual void RepaintProgressCell(int row) = 0;

    // The exporter that turns a RealMedia range into an intermediate file, or nullptr when
    // there is none (RealMedia jobs are then encoded straight from their source).
    virtual MediaExporter* Exporter() { return nullptr; }

    // The batch starts (true) or has ended (false): show Stop or Start, disable or enable the
    // output type, the profile list and the shutdown check box.
    virtual void ConvertingChanged(bool converting) { (void)converting; }

    // A job's passes are over; its record in the list already shows the outcome.
    virtual void JobEnded(int row, JobOutcome outcome) {
        (void)row;
        (void)outcome;
    }
};
