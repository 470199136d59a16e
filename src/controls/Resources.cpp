// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Resources.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

// Outside any namespace: Q_INIT_RESOURCE must name the global registration function. The
// artwork lives in a static library, so nothing would pull it in without this call.
static void RegisterArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace Resources {
namespace {

QImage RenderSvg(const QString& path, QSize size = QSize()) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    if (!size.isValid())
        size = renderer.defaultSize();
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// The picture named <folder>/<id>.png or .svg at its own size.
QImage LoadNumbered(const QString& folder, int id) {
    RegisterArtwork();
    const QString base = QStringLiteral(":/res/%1/%2").arg(folder).arg(id);
    if (QFile::exists(base + QStringLiteral(".png")))
        return QImage(base + QStringLiteral(".png"));
    if (QFile::exists(base + QStringLiteral(".svg")))
        return RenderSvg(base + QStringLiteral(".svg"));
    return {};
}

} // namespace

QImage ApplyColorKey(const QImage& image, const QColor& transparentColor) {
    if (image.isNull() || !transparentColor.isValid())
        return image;
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparentColor.rgb() & RGB_MASK;
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if (qAlpha(line[x]) == 255 && (line[x] & RGB_MASK) == key)
                line[x] = 0;
        }
    }
    return keyed;
}

QPixmap LoadBitmapResource(int id, const QColor& transparentColor) {
    const QImage image = LoadNumbered(QStringLiteral("bitmap"), id);
    return QPixmap::fromImage(ApplyColorKey(image, transparentColor));
}

QPixmap LoadIconPixmap(int id) {
    return QPixmap::fromImage(LoadNumbered(QStringLiteral("icon"), id));
}

QIcon LoadIconResource(int id) {
    RegisterArtwork();
    QIcon icon;
    const QString svg = QStringLiteral(":/res/icon/%1.svg").arg(id);
    if (QFile::exists(svg)) {
        // Rendered per size rather than left to an icon engine plugin that may be missing.
        for (int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
            const QImage image = RenderSvg(svg, QSize(size, size));
            if (!image.isNull())
                icon.addPixmap(QPixmap::fromImage(image));
        }
        return icon;
    }
    const QPixmap main = LoadIconPixmap(id);
    if (!main.isNull())
        icon.addPixmap(main);
    const QRegularExpression sized(QStringLiteral("^%1-\\d+\\.png$").arg(id));
    const QDir folder(QStringLiteral(":/res/icon"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (sized.match(name).hasMatch())
            icon.addPixmap(QPixmap(folder.filePath(name)));
    }
    return icon;
}

} // namespace Resources
