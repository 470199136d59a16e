#pragma once

#include <QString>
#include <QWidget>

class MediaExporter;

// The media control of the main page: it reads clip lengths, shows the preview, and exports
// RealMedia ranges for the encoder. Events arrive as signals on the UI thread.
class CVideoEdit : public QWidget {
    Q_OBJECT
public:
    explicit CVideoEdit(QWidget* parent = nullptr);
    ~CVideoEdit() override;

    // The playing time of a file in seconds; a negative value, with the reason in *error,
    // when the file cannot be opened as video or audio.
    double GetClipLength(const QString& path, QString* error = nullptr) const;
    // Unloads the clip shown, if any.
    void CloseClip();
    // Ends a running RealMedia export.
    void StopExport();
    // The exporter of RealMedia ranges that the conversion engine drives.
    MediaExporter& Exporter() { return *exporter; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MediaExporter* exporter;
};
