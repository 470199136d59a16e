#include "preview/CVideoEdit.h"

#include "media/MediaExporter.h"
#include "media/MediaProbe.h"

#include <QPainter>

CVideoEdit::CVideoEdit(QWidget* parent) : QWidget(parent), exporter(new MediaExporter(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVideoEdit::~CVideoEdit() = default;

double CVideoEdit::GetClipLength(const QString& path, QString* error) const {
    const MediaInfo info = ProbeMedia(path);
    if (!info.ok) {
        if (error != nullptr)
            *error = info.error;
        return -1.0;
    }
    return info.duration;
}

void CVideoEdit::CloseClip() {
    update();
}

void CVideoEdit::StopExport() {
    exporter->StopExport();
}

void CVideoEdit::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
