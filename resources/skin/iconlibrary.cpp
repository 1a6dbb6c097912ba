#include "iconlibrary.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace skinart {

bool IconLibrary::load(const QString &folder, QString *error)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1").arg(f.fileName());
            return false;
        }
        m_svg.insert(name.chopped(4), f.readAll());
    }
    if (m_svg.isEmpty()) {
        *error = QStringLiteral("no icons in %1").arg(folder);
        return false;
    }
    return true;
}

void IconLibrary::paint(QPainter &p, const QRectF &rect, const char *name, const QColor &color,
                        qreal strokeWidth, bool filled) const
{
    const auto it = m_svg.constFind(QString::fromLatin1(name));
    if (it == m_svg.constEnd()) {
        m_missing.insert(QString::fromLatin1(name));
        return;
    }
    // The icons paint with the CSS currentColor, which the SVG renderer does not know.
    const QByteArray hex = color.name(QColor::HexRgb).toLatin1();
    QByteArray svg = *it;
    svg.replace("currentColor", hex);
    svg.replace("stroke-width=\"2\"", "stroke-width=\"" + QByteArray::number(strokeWidth, 'f', 2) + '"');
    if (filled)
        svg.replace("fill=\"none\"", "fill=\"" + hex + '"');
    QSvgRenderer renderer(svg);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * color.alphaF());
    renderer.render(&p, rect);
    p.restore();
}

} // namespace skinart
