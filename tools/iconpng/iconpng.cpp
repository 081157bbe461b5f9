// iconpng SVG OUTDIR SIZE...: renders the program's SVG icon into
// OUTDIR/<size>x<size>/apps/<name>.png for each size, for the icon theme.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fputs("usage: iconpng SVG OUTDIR NAME SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "iconpng: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + u'/' + name + QStringLiteral(".png"))) {
            std::fprintf(stderr, "iconpng: cannot write the %d px icon\n", size);
            return 1;
        }
    }
    return 0;
}
