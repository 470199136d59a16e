// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program icon (res/icon/128.svg) to the PNG sizes that desktops look for in the
// hicolor theme, res/icon/sizes/<N>.png. The PNGs are kept in the sources, so the package's
// build needs no SVG renderer; run this again when the icon changes.
//
// Build and run from this folder (not part of the program's build):
//   cmake -S . -B /tmp/keyed-build && cmake --build /tmp/keyed-build --target MakeIconSizes
//   QT_QPA_PLATFORM=offscreen /tmp/keyed-build/MakeIconSizes ..

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (arguments.size() != 2) {
        err << "usage: MakeIconSizes RES_FOLDER\n";
        return 2;
    }
    const QDir res(arguments.at(1));
    QSvgRenderer icon(res.filePath(QStringLiteral("icon/128.svg")));
    if (!icon.isValid()) {
        err << "cannot read " << res.filePath(QStringLiteral("icon/128.svg")) << '\n';
        return 1;
    }
    if (!res.mkpath(QStringLiteral("icon/sizes")))
        return 1;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        icon.render(&painter);
        painter.end();
        const QString path = res.filePath(QStringLiteral("icon/sizes/%1.png").arg(size));
        if (!image.save(path)) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
