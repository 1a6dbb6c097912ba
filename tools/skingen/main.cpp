// merido-skingen: draws every skin bitmap id at its size and writes the PNG files with one
// resource list per namespace, for rcc to pack.
//
//   merido-skingen --icons DIR --out DIR
//
// Writes OUT/skin/<id>.png and OUT/skin.qrc (prefix /skin, the resource library) and
// OUT/own/<id>.png and OUT/own.qrc (prefix /own, compiled into the program). Fails when
// an id of skinids.h has no recipe, a recipe has no id, or an icon is missing, so the
// build stops instead of shipping an incomplete skin. Needs a GUI platform plugin; the
// build runs it with QT_QPA_PLATFORM=offscreen.
#include "skinids.h"

#include "iconlibrary.h"
#include "skinrecipes.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

bool fail(const QString &message)
{
    std::fprintf(stderr, "merido-skingen: %s\n", qPrintable(message));
    return false;
}

bool writeNamespace(const QString &outDir, const QString &ns, std::span<const skin::BitmapInfo> ids,
                    std::span<const skinart::Recipe> recipes, const skinart::IconLibrary &icons)
{
    QDir out(outDir);
    if (!out.mkpath(ns))
        return fail(QStringLiteral("cannot create %1/%2").arg(outDir, ns));

    for (const skinart::Recipe &r : recipes) {
        if (!skin::findBitmap(ids, r.id))
            return fail(QStringLiteral("%1 %2 is drawn but not listed in skinids.h").arg(ns).arg(r.id));
    }

    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/" + ns.toLatin1() + "\">\n";
    for (const skin::BitmapInfo &b : ids) {
        const skinart::Recipe *recipe = skinart::findRecipe(recipes, b.id);
        if (!recipe)
            return fail(QStringLiteral("%1 %2 (%3) has no drawing").arg(ns).arg(b.id).arg(QLatin1String(b.role)));
        QImage image(b.width, b.height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            skinart::Canvas canvas{p, image.rect(), icons};
            recipe->draw(canvas);
        }
        if (!recipe->alpha)
            image = image.convertToFormat(QImage::Format_RGB32);
        const QString file = QStringLiteral("%1/%2.png").arg(ns).arg(b.id);
        if (!image.save(out.filePath(file), "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(out.filePath(file)));
        qrc += "  <file alias=\"" + QByteArray::number(b.id) + ".png\">" + file.toLatin1() + "</file>\n";
    }
    qrc += "</qresource>\n</RCC>\n";

    // Always rewritten, so that rcc runs again after the images changed.
    QSaveFile list(out.filePath(ns + QStringLiteral(".qrc")));
    if (!list.open(QIODevice::WriteOnly) || list.write(qrc) != qrc.size() || !list.commit())
        return fail(QStringLiteral("cannot write %1").arg(list.fileName()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the viewer's skin bitmaps."));
    parser.addHelpOption();
    const QCommandLineOption iconsOption(QStringLiteral("icons"), QStringLiteral("Folder of the SVG icons."),
                                         QStringLiteral("dir"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Output folder."),
                                       QStringLiteral("dir"));
    parser.addOption(iconsOption);
    parser.addOption(outOption);
    parser.process(app);
    if (!parser.isSet(iconsOption) || !parser.isSet(outOption)) {
        fail(QStringLiteral("--icons and --out are required"));
        return 2;
    }

    skinart::IconLibrary icons;
    QString error;
    if (!icons.load(parser.value(iconsOption), &error)) {
        fail(error);
        return 1;
    }
    const QString out = parser.value(outOption);
    if (!writeNamespace(out, QStringLiteral("skin"), skin::kSkinBitmaps, skinart::skinRecipes(), icons)
        || !writeNamespace(out, QStringLiteral("own"), skin::kOwnBitmaps, skinart::ownRecipes(), icons))
        return 1;
    if (!icons.missing().isEmpty()) {
        fail(QStringLiteral("missing icons: %1").arg(icons.missing().join(QStringLiteral(", "))));
        return 1;
    }
    return 0;
}
