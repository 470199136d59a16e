// Renders the keyed bitmaps (preview, stop preview, Help) from their SVG masters in keyed/ to
// res/bitmap/<id>.png. Uncovered pixels become pure green RGB(0, 255, 0), the key colour the
// buttons leave undrawn; edge pixels are blended over the page background (res/bitmap/185.svg)
// at the spot where each picture sits, so the kept pixels meet the page without a fringe.
//
// Build and run from this folder (not part of the program's build):
//   cmake -S . -B /tmp/keyed-build && cmake --build /tmp/keyed-build
//   QT_QPA_PLATFORM=offscreen /tmp/keyed-build/MakeKeyedBitmaps ..

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSvgRenderer>
#include <QTextStream>

namespace {

struct KeyedBitmap {
    int id;
    QPoint onPage; // top-left corner of the picture on the 669 x 628 page
};

// Where the main page shows each picture: preview at (13, 232), stop preview at (31, 232), both
// 18 x 18 and filling their buttons; the Help glyph 3 pixels into the 75 x 32 button at
// (505, 495), centred vertically.
const KeyedBitmap bitmaps[] = {
    {191, {31, 232}}, {192, {13, 232}}, {193, {13, 232}}, {194, {31, 232}}, {195, {508, 499}},
};

QImage Render(const QString& path, QSize size = QSize()) {
    QSvgRenderer renderer(path);
    if (!size.isValid())
        size = renderer.defaultSize();
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString res = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("..");
    QTextStream out(stdout);
    const QImage page = Render(res + QStringLiteral("/bitmap/185.svg"), QSize(669, 628));
    const QRgb key = qRgb(0, 255, 0);
    for (const KeyedBitmap& bitmap : bitmaps) {
        const QImage master = Render(res + QStringLiteral("/tools/keyed/%1.svg").arg(bitmap.id));
        QImage keyed(master.size(), QImage::Format_RGB32);
        for (int y = 0; y < master.height(); ++y) {
            for (int x = 0; x < master.width(); ++x) {
                const QRgb pixel = master.pixel(x, y);
                const int alpha = qAlpha(pixel);
                if (alpha == 0) {
                    keyed.setPixel(x, y, key);
                    continue;
                }
                const QRgb under = page.pixel(bitmap.onPage + QPoint(x, y));
                auto blend = [alpha](int top, int bottom) {
                    return (top * alpha + bottom * (255 - alpha) + 127) / 255;
                };
                QRgb kept =
                    qRgb(blend(qRed(pixel), qRed(under)), blend(qGreen(pixel), qGreen(under)),
                         blend(qBlue(pixel), qBlue(under)));
                if (kept == key)
                    kept = qRgb(0, 254, 0);
                keyed.setPixel(x, y, kept);
            }
        }
        const QString target = res + QStringLiteral("/bitmap/%1.png").arg(bitmap.id);
        if (!keyed.save(target)) {
            out << "cannot write " << target << "\n";
            return 1;
        }
        out << target << "\n";
    }
    return 0;
}
