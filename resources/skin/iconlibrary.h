// The vendored SVG line icons, recoloured and drawn at any size.
#pragma once

#include <QColor>
#include <QHash>
#include <QRectF>
#include <QSet>
#include <QString>

class QPainter;

namespace skinart {

class IconLibrary {
public:
    // Reads every *.svg of the folder. False (with *error) when there is none.
    bool load(const QString &folder, QString *error);

    // Draws the icon into rect (24-unit grid scaled to the rect). strokeWidth is in grid
    // units; filled also fills closed shapes with the colour. An unknown name draws
    // nothing and is remembered in missing().
    void paint(QPainter &p, const QRectF &rect, const char *name, const QColor &color,
               qreal strokeWidth = 2.0, bool filled = false) const;

    QStringList missing() const { return m_missing.values(); }

private:
    QHash<QString, QByteArray> m_svg;
    mutable QSet<QString> m_missing;
};

} // namespace skinart
