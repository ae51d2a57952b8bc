// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// inkveil-mark-bench: how the invisible mark fares. Builds a corpus of crops and scales of the
// photographs installed under /usr/share/wallpapers and /usr/share/backgrounds (Debian's
// wallpaper packages; none are kept in the repository) plus synthetic flat, gradient, noisy and
// very dark pictures, marks each, attacks each copy, and counts the exact payloads recovered,
// the wrong ones, the marks found where there are none, invisibility and speed.
//
//     inkveil-mark-bench [--images N] [--largest MP] [--unmarked N] [--wrong-key N]
//                        [--attack TEXT]... [--key FILE] [--first N] [--picture N]

#include "base/Result.h"
#include "mark/MarkDetector.h"
#include "mark/MarkEmbedder.h"
#include "mark/MarkKey.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTransform>

#include <cmath>
#include <ctime>
#include <functional>
#include <map>

using namespace inkveil;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct Attack
{
    QString name;
    std::function<QImage(const QImage &)> apply;
};

QImage reencoded(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return QImage::fromData(bytes, format).convertToFormat(QImage::Format_RGB32);
}

QImage scaledBy(const QImage &image, double factor)
{
    return image.scaled(int(image.width() * factor), int(image.height() * factor),
                        Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage cropped(const QImage &image, double left, double top, double right, double bottom)
{
    const int x = int(image.width() * left), y = int(image.height() * top);
    return image.copy(x, y, int(image.width() * (1 - right)) - x,
                      int(image.height() * (1 - bottom)) - y);
}

QImage mapped(const QImage &image, const std::function<int(int)> &curve)
{
    uchar table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = uchar(std::clamp(curve(v), 0, 255));
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            line[x] = qRgb(table[qRed(line[x])], table[qGreen(line[x])], table[qBlue(line[x])]);
    }
    return out;
}

QImage rotated(const QImage &image, double degrees)
{
    const QImage turned = image.transformed(QTransform().rotate(degrees), Qt::SmoothTransformation);
    const QRect centre(turned.width() / 2 - image.width() * 4 / 10,
                       turned.height() / 2 - image.height() * 4 / 10, image.width() * 8 / 10,
                       image.height() * 8 / 10);
    return turned.copy(centre);
}

QImage webFit(const QImage &image, int longSide)
{
    return image.scaled(longSide, longSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::vector<Attack> attacks(bool all)
{
    std::vector<Attack> list{
        {"none (PNG)", [](const QImage &i) { return reencoded(i, "png", 0); }},
        {"JPEG q90", [](const QImage &i) { return reencoded(i, "jpg", 90); }},
        {"JPEG q75", [](const QImage &i) { return reencoded(i, "jpg", 75); }},
        {"JPEG q50", [](const QImage &i) { return reencoded(i, "jpg", 50); }},
        {"scale 75 %", [](const QImage &i) { return scaledBy(i, 0.75); }},
        {"scale 50 %", [](const QImage &i) { return scaledBy(i, 0.5); }},
        {"crop 10 % each side", [](const QImage &i) { return cropped(i, .1, .1, .1, .1); }},
        {"crop 3/7/9/1 %", [](const QImage &i) { return cropped(i, .03, .07, .09, .01); }},
        {"crop 60 % centre", [](const QImage &i) { return cropped(i, .2, .2, .2, .2); }},
        {"2048 px + q85", [](const QImage &i) { return reencoded(webFit(i, 2048), "jpg", 85); }},
        {"50 % + q75 + 5 % crop",
         [](const QImage &i) {
             return cropped(reencoded(scaledBy(i, 0.5), "jpg", 75), .05, .05, .05, .05);
         }},
        {"brightness +15 %",
         [](const QImage &i) { return mapped(i, [](int v) { return int(v * 1.15); }); }},
        {"brightness -15 %",
         [](const QImage &i) { return mapped(i, [](int v) { return int(v * 0.85); }); }},
        {"contrast +15 %",
         [](const QImage &i) {
             return mapped(i, [](int v) { return int((v - 128) * 1.15 + 128); });
         }},
        {"contrast -15 %",
         [](const QImage &i) {
             return mapped(i, [](int v) { return int((v - 128) * 0.85 + 128); });
         }},
        {"gamma 0.8",
         [](const QImage &i) {
             return mapped(i, [](int v) { return int(255 * std::pow(v / 255.0, 0.8)); });
         }},
        {"gamma 1.2",
         [](const QImage &i) {
             return mapped(i, [](int v) { return int(255 * std::pow(v / 255.0, 1.2)); });
         }},
        {"greyscale", [](const QImage &i) { return i.convertToFormat(QImage::Format_Grayscale8); }},
        {"rotate 90°", [](const QImage &i) { return i.transformed(QTransform().rotate(90)); }},
        {"rotate 180°", [](const QImage &i) { return i.transformed(QTransform().rotate(180)); }},
        {"rotate 270°", [](const QImage &i) { return i.transformed(QTransform().rotate(270)); }},
        {"mirror", [](const QImage &i) { return i.mirrored(true, false); }},
        {"scale 33 %", [](const QImage &i) { return scaledBy(i, 1.0 / 3); }},
        {"rotate +2° + crop", [](const QImage &i) { return rotated(i, 2); }},
        {"rotate -2° + crop", [](const QImage &i) { return rotated(i, -2); }},
        {"rotate +0.5° + crop", [](const QImage &i) { return rotated(i, 0.5); }},
        {"rotate -4° + crop", [](const QImage &i) { return rotated(i, -4); }},
    };
    if (!all)
        list.resize(4);
    return list;
}

// The corpus: crops and scales of the installed wallpapers, then synthetic pictures.
QStringList wallpapers()
{
    QStringList paths;
    for (const char *root : {"/usr/share/wallpapers", "/usr/share/backgrounds"}) {
        QDirIterator it(QString::fromLatin1(root),
                        {QStringLiteral("*.jpg"), QStringLiteral("*.png")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QFileInfo(path).size() > 300 * 1024)
                paths.append(path);
        }
    }
    paths.sort();
    return paths;
}

QImage synthetic(int kind, QSize size, QRandomGenerator &random)
{
    QImage image(size, QImage::Format_RGB32);
    switch (kind % 4) {
    case 0: // flat sky blue
        image.fill(QColor(110, 160, 220));
        break;
    case 1: { // gradient
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, QColor(20, 40, 90));
        gradient.setColorAt(1, QColor(240, 200, 150));
        painter.fillRect(image.rect(), gradient);
        break;
    }
    case 2: // noisy
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                const int v = 128 + int(random.bounded(61)) - 30;
                line[x] = qRgb(v, v, v);
            }
        }
        break;
    default: // very dark
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                const int v = 6 + int(random.bounded(5)) + (x * 8) / size.width();
                line[x] = qRgb(v, v, v + 2);
            }
        }
    }
    return image;
}

QImage corpusImage(int index, const QStringList &sources, double largestMp,
                   QRandomGenerator &random)
{
    const double megapixels = 2.0 + random.bounded(std::max(0.1, largestMp - 2.0));
    const bool portrait = random.bounded(4) == 0;
    const double aspect = portrait ? 2.0 / 3 : 1.5;
    QSize size(int(std::sqrt(megapixels * 1e6 * aspect)),
               int(std::sqrt(megapixels * 1e6 / aspect)));
    if (sources.isEmpty() || index % 10 == 9)
        return synthetic(index / 10, size, random);
    QImageReader reader(sources.at(index % sources.size()));
    reader.setAllocationLimit(0);
    // A wallpaper with transparency is seen over the desktop's colour, not over black.
    QImage source(reader.size(), QImage::Format_RGB32);
    source.fill(QColor(128, 128, 128));
    QPainter(&source).drawImage(0, 0, reader.read());
    // A random crop of at least half the source, scaled to the size drawn.
    const double share = 0.5 + random.bounded(0.5);
    const QSize cut =
        size.scaled(int(source.width() * share), int(source.height() * share), Qt::KeepAspectRatio);
    const int x = int(random.bounded(std::max(1, source.width() - cut.width())));
    const int y = int(random.bounded(std::max(1, source.height() - cut.height())));
    return source.copy(x, y, cut.width(), cut.height())
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Peak signal-to-noise ratio and SSIM (8x8 windows) of the brightness.
std::pair<double, double> fidelity(const QImage &a, const QImage &b)
{
    const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage gb = b.convertToFormat(QImage::Format_Grayscale8);
    double squared = 0, ssimSum = 0;
    int windows = 0;
    const double c1 = 6.5025, c2 = 58.5225;
    for (int y0 = 0; y0 + 8 <= ga.height(); y0 += 8) {
        for (int x0 = 0; x0 + 8 <= ga.width(); x0 += 8) {
            double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
            for (int y = y0; y < y0 + 8; ++y) {
                const uchar *la = ga.constScanLine(y), *lb = gb.constScanLine(y);
                for (int x = x0; x < x0 + 8; ++x) {
                    ma += la[x];
                    mb += lb[x];
                    va += la[x] * la[x];
                    vb += lb[x] * lb[x];
                    cov += la[x] * lb[x];
                    squared += (la[x] - lb[x]) * (la[x] - lb[x]);
                }
            }
            ma /= 64, mb /= 64;
            va = va / 64 - ma * ma, vb = vb / 64 - mb * mb, cov = cov / 64 - ma * mb;
            ssimSum +=
                ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    const double mse = squared / (double(windows) * 64);
    return {mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0, ssimSum / windows};
}

// The largest change of any channel where the picture is flat or smooth: an 8 x 8 window whose
// brightness departs from its best-fitting plane by a standard deviation under 2 levels.
int flatChange(const QImage &before, const QImage &after)
{
    const QImage grey = before.convertToFormat(QImage::Format_Grayscale8);
    int most = 0;
    for (int y0 = 0; y0 + 8 <= grey.height(); y0 += 8) {
        for (int x0 = 0; x0 + 8 <= grey.width(); x0 += 8) {
            double sum = 0, squares = 0, alongX = 0, alongY = 0;
            for (int y = y0; y < y0 + 8; ++y)
                for (int x = x0; x < x0 + 8; ++x) {
                    const int v = grey.constScanLine(y)[x];
                    sum += v, squares += v * v;
                    alongX += v * (x - x0 - 3.5), alongY += v * (y - y0 - 3.5);
                }
            // Each offset's squares add up to 8 x 42 = 336 over the window.
            const double residual = squares / 64 - (sum / 64) * (sum / 64) -
                                    (alongX * alongX + alongY * alongY) / (336.0 * 64);
            if (residual >= 4)
                continue;
            for (int y = y0; y < y0 + 8; ++y) {
                const auto *a = reinterpret_cast<const QRgb *>(before.constScanLine(y));
                const auto *b = reinterpret_cast<const QRgb *>(after.constScanLine(y));
                for (int x = x0; x < x0 + 8; ++x)
                    most = std::max({most, std::abs(qRed(a[x]) - qRed(b[x])),
                                     std::abs(qGreen(a[x]) - qGreen(b[x])),
                                     std::abs(qBlue(a[x]) - qBlue(b[x]))});
            }
        }
    }
    return most;
}

double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Embedding a 24-megapixel photo and finding the mark in its JPEG, decode included, in
// processor time on this thread (the machine may be shared).
void measureSpeed(const MarkKey &key, const QStringList &sources, const QString &given)
{
    QImage photo(6000, 4000, QImage::Format_RGB32);
    if (!given.isEmpty() || !sources.isEmpty()) {
        QImageReader reader(given.isEmpty() ? sources.first() : given);
        reader.setAllocationLimit(0);
        photo = reader.read().scaled(6000, 4000).convertToFormat(QImage::Format_RGB32);
    }
    double embedBest = 1e9, detectBest = 1e9;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    for (int run = 0; run < 3; ++run) {
        QImage copy = photo;
        copy.detach();
        const double start = threadMs();
        MarkEmbedder::embed(copy, key, {1, 1});
        embedBest = std::min(embedBest, threadMs() - start);
        if (run == 0)
            copy.save(path, "JPEG", 90);
    }
    const MarkDetector detector(key);
    bool found = true;
    for (int run = 0; run < 3; ++run) {
        const double start = threadMs();
        const Result<MarkFinding> finding = detector.findInFile(path);
        detectBest = std::min(detectBest, threadMs() - start);
        found = found && finding && finding->found;
    }
    out() << "24 MP: embedding " << QString::number(embedBest, 'f', 1)
          << " ms, detection of its JPEG " << QString::number(detectBest, 'f', 1)
          << " ms (processor time, best of 3; found: " << (found ? "yes" : "no") << ")" << Qt::endl;
}

// 24-megapixel JPEGs (quality 92) of the first wallpapers, for timing inkveil-batch with and
// without --mark-id.
void writePhotos(const QString &folder, const QStringList &sources, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count && i < sources.size(); ++i) {
        QImageReader reader(sources.at(i));
        reader.setAllocationLimit(0);
        reader.read()
            .scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .save(QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i), "JPEG", 92);
    }
}

// An unmarked variant for the false-mark count: the picture itself, then random crops (at least
// a third of each side), scales down to a fifth and JPEG qualities, from a copy at most 2048
// pixels long (the detector works at 1024).
QImage unmarkedVariant(const QImage &original, const QImage &small, int k, QRandomGenerator &random)
{
    if (k == 0)
        return original;
    const double w = 0.33 + random.bounded(0.67), h = 0.33 + random.bounded(0.67);
    const double left = random.bounded(1.0 - w), top = random.bounded(1.0 - h);
    QImage variant = cropped(small, left, top, 1.0 - w - left, 1.0 - h - top);
    variant = scaledBy(variant, 0.2 + random.bounded(0.8));
    if (random.bounded(2) == 0)
        variant = reencoded(variant, "jpg", 40 + int(random.bounded(56)));
    return variant;
}

struct Tally
{
    int tried = 0, exact = 0, wrong = 0;
    double confidence = 0; // summed over the exact finds
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption images(QStringLiteral("images"), QStringLiteral("corpus size"),
                                    QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption largest(QStringLiteral("largest"),
                                     QStringLiteral("largest megapixels"), QStringLiteral("MP"),
                                     QStringLiteral("24"));
    const QCommandLineOption unmarked(QStringLiteral("unmarked"),
                                      QStringLiteral("unmarked variants per image"),
                                      QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption wrongKey(QStringLiteral("wrong-key"),
                                      QStringLiteral("wrong-key checks per image"),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("only the 24 MP timings"));
    const QCommandLineOption speedPhoto(QStringLiteral("speed-photo"),
                                        QStringLiteral("time on this photo (scaled to 24 MP)"),
                                        QStringLiteral("file"));
    const QCommandLineOption keepMisses(QStringLiteral("keep-misses"),
                                        QStringLiteral("save each missed copy into <dir>"),
                                        QStringLiteral("dir"));
    const QCommandLineOption photos(QStringLiteral("photos"),
                                    QStringLiteral("write 24 MP JPEGs into <dir> and stop"),
                                    QStringLiteral("dir"));
    const QCommandLineOption quick(QStringLiteral("quick"),
                                   QStringLiteral("only the first attacks"));
    const QCommandLineOption only(QStringLiteral("attack"),
                                  QStringLiteral("only attacks whose name contains <text>"),
                                  QStringLiteral("text"));
    const QCommandLineOption keyFile(QStringLiteral("key"),
                                     QStringLiteral("mark with this key file (runs compare)"),
                                     QStringLiteral("file"));
    const QCommandLineOption first(QStringLiteral("first"),
                                   QStringLiteral("attack pictures from <n> on (runs split)"),
                                   QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption picture(QStringLiteral("picture"),
                                     QStringLiteral("attack only picture <n> of the corpus"),
                                     QStringLiteral("n"));
    parser.addOptions({images, largest, unmarked, wrongKey, quick, speed, speedPhoto, keepMisses,
                       photos, only, keyFile, picture, first});
    parser.addHelpOption();
    parser.process(app);

    const Result<MarkKey> given = parser.isSet(keyFile) ? MarkKey::load(parser.value(keyFile))
                                                        : Result<MarkKey>(MarkKey::generate());
    if (!given) {
        out() << given.error().reason << Qt::endl;
        return 1;
    }
    const MarkKey key = *given;
    const MarkKey otherKey = MarkKey::generate();
    const MarkDetector detector(key);
    const MarkDetector otherDetector(otherKey);
    const QStringList sources = wallpapers();
    if (parser.isSet(photos)) {
        writePhotos(parser.value(photos), sources, parser.value(images).toInt());
        return 0;
    }
    measureSpeed(key, sources, parser.value(speedPhoto));
    if (parser.isSet(speed))
        return 0;
    QRandomGenerator random(20261206);
    std::vector<Attack> list = attacks(!parser.isSet(quick));
    if (parser.isSet(only)) {
        const QStringList wanted = parser.values(only);
        std::erase_if(list, [&](const Attack &attack) {
            return std::none_of(wanted.begin(), wanted.end(),
                                [&](const QString &text) { return attack.name.contains(text); });
        });
    }
    std::map<QString, Tally> tallies;
    int falseMarks = 0, unmarkedTried = 0, wrongKeyFound = 0, wrongKeyTried = 0;
    double worstPsnr = 99, psnrSum = 0, worstSsim = 1, embedMsPerMp = 0;
    int worstFlat = 0;
    int embedded = 0;
    const int count = parser.value(images).toInt();
    for (int i = 0; i < count; ++i) {
        const QImage original = corpusImage(i, sources, parser.value(largest).toDouble(), random);
        QImage marked = original;
        const MarkPayload payload{quint64(random.generate64() & MarkPayload::MaxId),
                                  quint32(i + 1)};
        if ((parser.isSet(picture) && parser.value(picture).toInt() != i) ||
            i < parser.value(first).toInt())
            continue;
        QElapsedTimer clock;
        clock.start();
        MarkEmbedder::embed(marked, key, payload);
        embedMsPerMp += double(clock.nsecsElapsed()) / 1e6 /
                        (double(original.width()) * original.height() / 1e6);
        const auto [psnr, ssim] = fidelity(original, marked);
        worstPsnr = std::min(worstPsnr, psnr);
        psnrSum += psnr;
        worstSsim = std::min(worstSsim, ssim);
        const int flat = flatChange(original, marked);
        worstFlat = std::max(worstFlat, flat);
        QStringList missed;
        ++embedded;
        for (const Attack &attack : list) {
            const QImage copy = attack.apply(marked);
            const MarkFinding finding = detector.find(copy);
            Tally &tally = tallies[attack.name];
            ++tally.tried;
            if (finding.found && finding.payload == payload) {
                ++tally.exact;
                tally.confidence += finding.confidence;
            } else if (finding.found)
                ++tally.wrong;
            else
                missed.append(attack.name);
            if (!(finding.found && finding.payload == payload) && parser.isSet(keepMisses)) {
                QDir().mkpath(parser.value(keepMisses));
                QString name = attack.name;
                name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")),
                             QStringLiteral("-"));
                copy.save(
                    QStringLiteral("%1/%2-%3.png").arg(parser.value(keepMisses)).arg(i).arg(name));
            }
        }
        for (int k = 0; k < parser.value(wrongKey).toInt(); ++k) {
            ++wrongKeyTried;
            wrongKeyFound +=
                otherDetector.find(list.at(size_t(k) % list.size()).apply(marked)).found;
        }
        const QImage small =
            original.width() > 2048 || original.height() > 2048 ? webFit(original, 2048) : original;
        QRandomGenerator variants{quint32(i)};
        for (int k = 0; k < parser.value(unmarked).toInt(); ++k) {
            ++unmarkedTried;
            falseMarks += detector.find(unmarkedVariant(original, small, k, variants)).found;
        }
        int wrongSoFar = 0;
        for (const auto &[name, tally] : tallies)
            wrongSoFar += tally.wrong;
        out() << i << ' ' << original.width() << 'x' << original.height() << " wrong " << wrongSoFar
              << " false " << falseMarks << '/' << unmarkedTried << " wrong-key " << wrongKeyFound
              << '/' << wrongKeyTried << " psnr " << QString::number(psnr, 'f', 1) << " ssim "
              << QString::number(ssim, 'f', 4) << " flat " << flat
              << " missed: " << missed.join(QStringLiteral(", ")) << Qt::endl;
    }
    // Confidence: the mean share of coded bits read right where the mark was found, a margin
    // that moves before the rate does.
    out() << "\n| attack | exact | wrong | tried | confidence |\n|---|---|---|---|---|\n";
    for (const Attack &attack : list) {
        const Tally &t = tallies[attack.name];
        out() << "| " << attack.name << " | " << QString::number(100.0 * t.exact / t.tried, 'f', 1)
              << " % | " << t.wrong << " | " << t.tried << " | "
              << QString::number(t.exact > 0 ? t.confidence / t.exact : 0.0, 'f', 3) << " |\n";
    }
    out() << "\nfalse marks on unmarked: " << falseMarks << " / " << unmarkedTried
          << "\nfound with a wrong key: " << wrongKeyFound << " / " << wrongKeyTried
          << "\nPSNR mean " << QString::number(psnrSum / std::max(1, embedded), 'f', 2)
          << " dB, worst " << QString::number(worstPsnr, 'f', 2) << " dB; SSIM worst "
          << QString::number(worstSsim, 'f', 4) << "; largest change on flat areas " << worstFlat
          << "\nembedding " << QString::number(embedMsPerMp / std::max(1, embedded), 'f', 2)
          << " ms per megapixel" << Qt::endl;
    return 0;
}
