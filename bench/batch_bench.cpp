// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures the batch engine on a realistic set of camera-sized JPEGs against the cost of the JPEG
// work alone (libjpeg-turbo decoding and encoding the same files) and, where installed, vips and
// ImageMagick doing a similar job; and PNG output against vips writing the same photos as PNG.
// Each configuration runs in a child process of its own, so that the peak memory reported
// (ru_maxrss) belongs to that configuration alone.
//
//   inkveil-bench [--photos N] [--repeat R] [--memory-check]
//
// The photos are generated into a temporary folder and removed afterwards.

#include "batch/BatchEngine.h"
#include "imageio/ImageToolkit.h"
#include "output/OutputOptions.h"
#include "render/PlaceholderExpander.h"
#include "render/Stamper.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtEndian>

#include <turbojpeg.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace inkveil;

namespace {

// A 24-megapixel camera frame, 3:2.
constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;
constexpr int SourceQuality = 92;
constexpr int OutputQuality = 90;
constexpr int FitWidth = 640;
constexpr int FitHeight = 480;
// One decoded photo as the engine holds it (4 bytes a pixel).
constexpr qint64 DecodedPhotoBytes = qint64(PhotoWidth) * PhotoHeight * 4;
constexpr int MemoryCheckSmall = 12;
constexpr int MemoryCheckLarge = 48;
constexpr int MemoryCheckWorkers = 2;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The benchmark's temporary folder: a failure ends the program without unwinding, so it is
// removed here rather than by its owner's destructor.
QString &temporaryFolder()
{
    static QString folder;
    return folder;
}

[[noreturn]] void die(const QString &message)
{
    err() << "inkveil-bench: " << message << Qt::endl;
    if (!temporaryFolder().isEmpty())
        QDir(temporaryFolder()).removeRecursively();
    std::exit(1);
}

// Ctrl-C stops the configuration being measured (a child process, in the same process group);
// the benchmark itself lives on until that child has ended, to remove its files.
volatile std::sig_atomic_t interrupted = 0;

void noteInterrupt(int)
{
    interrupted = 1;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Peak memory, and processor time (user + system), of this process (RUSAGE_SELF) or of the
// programs it ran and waited for (RUSAGE_CHILDREN).
long peakKiB(const int whose)
{
    rusage usage{};
    getrusage(whose, &usage);
    return usage.ru_maxrss;
}

double processorSeconds(const int whose)
{
    rusage usage{};
    getrusage(whose, &usage);
    const auto toSeconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

// --- TurboJPEG, owned ---------------------------------------------------------------------------

struct TurboJpegDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegDeleter>;

struct TurboJpegBufferDeleter
{
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};
using TurboJpegBuffer = std::unique_ptr<unsigned char, TurboJpegBufferDeleter>;

TurboJpegHandle makeCompressor()
{
    TurboJpegHandle handle(tjInitCompress());
    if (!handle)
        die(QStringLiteral("TurboJPEG: cannot create a compressor"));
    return handle;
}

TurboJpegHandle makeDecompressor()
{
    TurboJpegHandle handle(tjInitDecompress());
    if (!handle)
        die(QStringLiteral("TurboJPEG: cannot create a decompressor"));
    return handle;
}

QString turboError(void *handle)
{
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

// An output buffer large enough for any JPEG of the given size, so that compressing never
// reallocates it.
struct JpegOutput
{
    JpegOutput(int width, int height, int subsampling)
        : capacity(tjBufSize(width, height, subsampling))
        , buffer(tjAlloc(static_cast<int>(capacity)))
    {
        if (!buffer)
            die(QStringLiteral("TurboJPEG: out of memory"));
    }
    unsigned long capacity;
    TurboJpegBuffer buffer;
};

void readWhole(const QString &path, std::vector<unsigned char> &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        die(QStringLiteral("cannot read %1").arg(path));
    bytes.resize(static_cast<size_t>(file.size()));
    if (file.read(reinterpret_cast<char *>(bytes.data()), file.size()) != file.size())
        die(QStringLiteral("cannot read %1").arg(path));
}

void writeWhole(const QString &path, const unsigned char *data, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(data), size) != size)
        die(QStringLiteral("cannot write %1").arg(path));
}

// --- Generated photos ---------------------------------------------------------------------------

// xorshift64*: fast, and the same sequence on every machine.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 1)
    {}
    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [-1, 1).
    float symmetric() { return static_cast<float>(next() >> 40) / float(1 << 23) - 1.0f; }

private:
    std::uint64_t m_state;
};

// Texture shared by all photos: value noise at a few scales (foliage, fabric, skin) and fine
// sensor grain, mostly in luminance, as a tile each photo samples at its own offset. The grain
// is what gives the files their camera-like size.
class Texture
{
public:
    static constexpr int Size = 1024; // a power of two: offsets wrap with a mask
    static constexpr int Mask = Size - 1;

    Texture()
        : m_rgb(size_t(Size) * Size * 3)
    {
        Random random(7);
        std::vector<float> luma(size_t(Size) * Size, 0.0f);
        const auto addOctave = [&](int cell, float amplitude) {
            const int cells = Size / cell;
            std::vector<float> grid(size_t(cells) * size_t(cells));
            for (float &value : grid)
                value = random.symmetric() * amplitude;
            const auto at = [&](int gx, int gy) {
                return grid[size_t((gy % cells) * cells + (gx % cells))];
            };
            for (int y = 0; y < Size; ++y) {
                const float fy = static_cast<float>(y % cell) / static_cast<float>(cell);
                for (int x = 0; x < Size; ++x) {
                    const float fx = static_cast<float>(x % cell) / static_cast<float>(cell);
                    const int gx = x / cell;
                    const int gy = y / cell;
                    const float top = at(gx, gy) + (at(gx + 1, gy) - at(gx, gy)) * fx;
                    const float bottom =
                        at(gx, gy + 1) + (at(gx + 1, gy + 1) - at(gx, gy + 1)) * fx;
                    luma[size_t(y * Size + x)] += top + (bottom - top) * fy;
                }
            }
        };
        addOctave(128, 18.0f);
        addOctave(32, 10.0f);
        addOctave(8, 6.0f);
        addOctave(2, 4.0f);
        for (size_t i = 0; i < luma.size(); ++i) {
            const float grain = random.symmetric() * 13.0f;
            for (size_t c = 0; c < 3; ++c) {
                const float value = luma[i] + grain + random.symmetric() * 4.0f;
                m_rgb[i * 3 + c] = static_cast<std::int16_t>(std::lround(value));
            }
        }
    }

    const std::int16_t *row(int y) const { return &m_rgb[size_t(y & Mask) * Size * 3]; }

private:
    std::vector<std::int16_t> m_rgb;
};

// A minimal camera EXIF block (big-endian TIFF): make, model, orientation, 300 dpi, date, and in
// the EXIF directory the exposure, aperture, ISO, date taken, focal length and pixel size.
class ExifBuilder
{
public:
    enum Type : quint16 { Ascii = 2, Short = 3, Long = 4, Rational = 5 };

    void addAscii(quint16 tag, const QByteArray &text)
    {
        QByteArray value = text;
        value.append('\0');
        m_entries.append({tag, Ascii, static_cast<quint32>(value.size()), value});
    }
    void addShort(quint16 tag, quint16 number)
    {
        QByteArray value(2, '\0');
        qToBigEndian(number, value.data());
        m_entries.append({tag, Short, 1, value});
    }
    void addLong(quint16 tag, quint32 number)
    {
        QByteArray value(4, '\0');
        qToBigEndian(number, value.data());
        m_entries.append({tag, Long, 1, value});
    }
    void addRational(quint16 tag, quint32 numerator, quint32 denominator)
    {
        QByteArray value(8, '\0');
        qToBigEndian(numerator, value.data());
        qToBigEndian(denominator, value.data() + 4);
        m_entries.append({tag, Rational, 1, value});
    }

    // The directory and the values it points to, for a directory starting at `start` bytes into
    // the TIFF data.
    QByteArray directory(quint32 start) const
    {
        QByteArray head;
        QByteArray data;
        const auto put16 = [](QByteArray &bytes, quint16 v) {
            char b[2];
            qToBigEndian(v, b);
            bytes.append(b, 2);
        };
        const auto put32 = [](QByteArray &bytes, quint32 v) {
            char b[4];
            qToBigEndian(v, b);
            bytes.append(b, 4);
        };
        const auto count = static_cast<quint32>(m_entries.size());
        const quint32 dataStart = start + 2 + count * 12 + 4;
        put16(head, static_cast<quint16>(count));
        for (const Entry &entry : m_entries) {
            put16(head, entry.tag);
            put16(head, entry.type);
            put32(head, entry.count);
            if (entry.value.size() <= 4) {
                head.append(entry.value.leftJustified(4, '\0'));
            } else {
                put32(head, dataStart + static_cast<quint32>(data.size()));
                data.append(entry.value);
                if (data.size() % 2)
                    data.append('\0');
            }
        }
        put32(head, 0); // no next directory
        return head + data;
    }

private:
    struct Entry
    {
        quint16 tag;
        quint16 type;
        quint32 count;
        QByteArray value;
    };
    QList<Entry> m_entries;
};

QByteArray exifSegment(int index)
{
    constexpr quint32 FirstDirectory = 8;
    const QByteArray taken =
        QStringLiteral("2024:06:01 12:%1:00").arg(index % 60, 2, 10, QLatin1Char('0')).toLatin1();
    // Tags in ascending order, as the format asks.
    ExifBuilder camera;
    camera.addAscii(0x010F, "Bench Optics");
    camera.addAscii(0x0110, "BX-24");
    camera.addShort(0x0112, 1);         // orientation: upright
    camera.addRational(0x011A, 300, 1); // x resolution
    camera.addRational(0x011B, 300, 1); // y resolution
    camera.addShort(0x0128, 2);         // inches
    camera.addAscii(0x0132, taken);     // date and time
    ExifBuilder exposure;
    exposure.addRational(0x829A, 1, 250); // exposure time
    exposure.addRational(0x829D, 56, 10); // f-number
    exposure.addShort(0x8827, 200);       // ISO
    exposure.addAscii(0x9003, taken);     // date and time taken
    exposure.addRational(0x920A, 50, 1);  // focal length
    exposure.addLong(0xA002, PhotoWidth);
    exposure.addLong(0xA003, PhotoHeight);

    // The pointer to the EXIF directory does not change the size of the first one.
    ExifBuilder withPointer = camera;
    withPointer.addLong(0x8769, 0);
    const auto exposureStart =
        FirstDirectory + static_cast<quint32>(withPointer.directory(FirstDirectory).size());
    camera.addLong(0x8769, exposureStart);

    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff += camera.directory(FirstDirectory);
    tiff += exposure.directory(exposureStart);

    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    char length[2];
    qToBigEndian(static_cast<quint16>(payload.size() + 2), length);
    segment.append(length, 2);
    return segment + payload;
}

// Per photo, a different light: a sky-like vertical gradient, a horizontal fall-off and one
// soft highlight, all separable so that a pixel costs a few additions.
struct Lighting
{
    std::vector<float> columns[3];
    std::vector<float> rows[3];
    std::vector<float> blobColumns;
    std::vector<float> blobRows;

    explicit Lighting(int index)
    {
        Random random(std::uint64_t(index) + 101);
        const float top[3] = {90 + 40 * random.symmetric(), 120 + 30 * random.symmetric(),
                              170 + 40 * random.symmetric()};
        const float bottom[3] = {110 + 50 * random.symmetric(), 95 + 40 * random.symmetric(),
                                 60 + 30 * random.symmetric()};
        const float tilt = 30.0f * random.symmetric();
        const float blobX = PhotoWidth * (0.5f + 0.35f * random.symmetric());
        const float blobY = PhotoHeight * (0.5f + 0.35f * random.symmetric());
        const float blobRadius = PhotoHeight * (0.25f + 0.1f * random.symmetric());
        for (int c = 0; c < 3; ++c) {
            columns[c].resize(PhotoWidth);
            rows[c].resize(PhotoHeight);
            for (int x = 0; x < PhotoWidth; ++x)
                columns[c][size_t(x)] = tilt * (static_cast<float>(x) / PhotoWidth - 0.5f);
            for (int y = 0; y < PhotoHeight; ++y) {
                const float t = static_cast<float>(y) / PhotoHeight;
                rows[c][size_t(y)] = top[c] + (bottom[c] - top[c]) * t * t * (3 - 2 * t);
            }
        }
        blobColumns.resize(PhotoWidth);
        blobRows.resize(PhotoHeight);
        for (int x = 0; x < PhotoWidth; ++x) {
            const float d = (static_cast<float>(x) - blobX) / blobRadius;
            blobColumns[size_t(x)] = 70.0f * std::exp(-d * d);
        }
        for (int y = 0; y < PhotoHeight; ++y) {
            const float d = (static_cast<float>(y) - blobY) / blobRadius;
            blobRows[size_t(y)] = std::exp(-d * d);
        }
    }
};

void renderPhoto(const Texture &texture, int index, std::vector<unsigned char> &rgb)
{
    const Lighting light(index);
    Random random(std::uint64_t(index) + 9001);
    const int offsetX = static_cast<int>(random.next() % Texture::Size);
    const int offsetY = static_cast<int>(random.next() % Texture::Size);
    rgb.resize(size_t(PhotoWidth) * PhotoHeight * 3);
    for (int y = 0; y < PhotoHeight; ++y) {
        const std::int16_t *tile = texture.row(y + offsetY);
        unsigned char *pixel = &rgb[size_t(y) * PhotoWidth * 3];
        const float blobRow = light.blobRows[size_t(y)];
        for (int x = 0; x < PhotoWidth; ++x) {
            const std::int16_t *grain = tile + size_t((x + offsetX) & Texture::Mask) * 3;
            const float highlight = light.blobColumns[size_t(x)] * blobRow;
            for (size_t c = 0; c < 3; ++c) {
                const float value = light.rows[c][size_t(y)] + light.columns[c][size_t(x)] +
                                    highlight + static_cast<float>(grain[c]);
                pixel[c] = static_cast<unsigned char>(std::clamp(value, 0.0f, 255.0f));
            }
            pixel += 3;
        }
    }
}

QString photoPath(const QString &folder, int index)
{
    return QStringLiteral("%1/photo-%2.jpg").arg(folder).arg(index + 1, 4, 10, QLatin1Char('0'));
}

// Writes `count` distinct photos, camera-like: 4:2:2 chroma, EXIF with a 300 dpi resolution.
// Answers the average file size in bytes.
qint64 generatePhotos(const QString &folder, int count)
{
    const Texture texture;
    std::atomic<int> next{0};
    std::atomic<qint64> totalBytes{0};
    const auto work = [&] {
        const TurboJpegHandle compressor = makeCompressor();
        JpegOutput jpeg(PhotoWidth, PhotoHeight, TJSAMP_422);
        std::vector<unsigned char> rgb;
        for (int index = next++; index < count; index = next++) {
            renderPhoto(texture, index, rgb);
            unsigned char *buffer = jpeg.buffer.get();
            unsigned long size = jpeg.capacity;
            if (tjCompress2(compressor.get(), rgb.data(), PhotoWidth, 0, PhotoHeight, TJPF_RGB,
                            &buffer, &size, TJSAMP_422, SourceQuality,
                            TJFLAG_NOREALLOC | TJFLAG_ACCURATEDCT) != 0)
                die(turboError(compressor.get()));
            // The EXIF segment goes right after the start-of-image marker, as cameras write it.
            QFile file(photoPath(folder, index));
            const QByteArray exif = exifSegment(index);
            const auto rest = static_cast<qint64>(size) - 2;
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(reinterpret_cast<const char *>(buffer), 2) != 2 ||
                file.write(exif) != exif.size() ||
                file.write(reinterpret_cast<const char *>(buffer) + 2, rest) != rest)
                die(QStringLiteral("cannot write %1").arg(file.fileName()));
            totalBytes += file.size();
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < std::max(1, QThread::idealThreadCount()); ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    return count > 0 ? totalBytes / count : 0;
}

// --- One configuration, in a child process ------------------------------------------------------

struct RunSettings
{
    QString kind;
    QString input;
    QString output;
    int count = 0;
    int repeat = 1;
    int workers = 1;
    bool fit = false;
    // PNG output instead of JPEG.
    bool png = false;
    QString tool;
};

QStringList inputFiles(const RunSettings &run)
{
    QStringList files;
    for (int i = 0; i < run.count; ++i)
        files.append(photoPath(run.input, i));
    return files;
}

// Where a run that names its outputs itself writes the output of a source photo.
QString outputPath(const QString &folder, const QString &source)
{
    return folder + QLatin1Char('/') + QFileInfo(source).fileName();
}

// An empty output folder for each repeat, so that no repeat writes over the last one's files.
void clearOutput(const QString &folder)
{
    QDir dir(folder);
    dir.removeRecursively();
    if (!QDir().mkpath(folder))
        die(QStringLiteral("cannot create %1").arg(folder));
}

struct Timing
{
    std::vector<double> perPhoto; // seconds, one per photo and repeat
    std::vector<double> walls;    // seconds, one per repeat
    // Processor seconds per photo, one per repeat: on a machine shared with other work, the
    // figure that other work disturbs least.
    std::vector<double> processorPerPhoto;
    // Where a photo's time went, step by step, in the order the steps run.
    QList<std::pair<QString, std::vector<double>>> steps;

    // Around each repeat: its wall time and the processor time spent, by this process or by the
    // programs it ran.
    void beginRepeat(int whose)
    {
        m_whose = whose;
        m_processor = processorSeconds(whose);
        m_wall.start();
    }
    void endRepeat(int photos)
    {
        walls.push_back(seconds(m_wall));
        processorPerPhoto.push_back((processorSeconds(m_whose) - m_processor) / photos);
    }

    void addStep(const QString &name, double time)
    {
        for (auto &step : steps) {
            if (step.first == name) {
                step.second.push_back(time);
                return;
            }
        }
        steps.append({name, {time}});
    }

private:
    QElapsedTimer m_wall;
    double m_processor = 0.0;
    int m_whose = RUSAGE_SELF;
};

// Processor seconds of the whole process, page faults and the kernel's copying included. Steps
// are timed with it: unlike wall time, it hardly changes when other programs share the machine.
// The whole process and not the calling thread, because Qt hands parts of some image operations
// (smooth scaling, format conversion) to a pool of threads. So a step's time means something
// only while one photo is processed at a time.
double processSeconds()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

// The steps of a photo timed one after another in processor seconds, and the photo's own wall
// time alongside.
class Laps
{
public:
    Laps()
        : m_previous(processSeconds())
    {
        m_wall.start();
    }
    // Processor seconds since the previous lap, or the start.
    double lap()
    {
        const double now = processSeconds();
        const double time = now - m_previous;
        m_previous = now;
        return time;
    }
    double wall() const { return seconds(m_wall); }

private:
    QElapsedTimer m_wall;
    double m_previous;
};

// Prints what a run measured, with the peak memory (of this process or of the programs it ran)
// taken now, after the work.
void printResult(const RunSettings &run, const Timing &timing, int whose)
{
    const long peak = peakKiB(whose);
    // Several photos at once: a photo's own time says nothing about throughput, so the time per
    // photo is the run's wall time shared out.
    std::vector<double> perPhoto = timing.perPhoto;
    if (run.workers > 1) {
        perPhoto.clear();
        for (const double wall : timing.walls)
            perPhoto.push_back(wall / run.count);
    }
    if (!timing.steps.isEmpty()) {
        out() << "STEPS";
        for (const auto &[name, times] : timing.steps)
            out() << ' ' << name << '=' << QString::number(median(times), 'f', 3);
        out() << Qt::endl;
    }
    out() << QStringLiteral("RESULT per_photo=%1 wall=%2 processor_per_photo=%3 peak_kib=%4")
                 .arg(median(perPhoto), 0, 'f', 6)
                 .arg(median(timing.walls), 0, 'f', 6)
                 .arg(median(timing.processorPerPhoto), 0, 'f', 6)
                 .arg(peak)
          << Qt::endl;
}

// The average size of the files the last repeat wrote.
void printOutputSize(const RunSettings &run)
{
    qint64 bytes = 0;
    const QFileInfoList files = QDir(run.output).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files)
        bytes += file.size();
    out() << "OUTPUT bytes=" << (files.isEmpty() ? 0 : bytes / files.size()) << Qt::endl;
}

// libjpeg-turbo alone: read, decode to 4 bytes a pixel (as the engine holds a photo), encode
// at the output quality with the same chroma subsampling and DCT as Qt's writer, write. Every
// buffer is reused from photo to photo.
Timing runFloor(const RunSettings &run)
{
    const QStringList files = inputFiles(run);
    Timing timing;
    std::mutex lock;
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        std::atomic<int> next{0};
        const auto work = [&] {
            const TurboJpegHandle decompressor = makeDecompressor();
            const TurboJpegHandle compressor = makeCompressor();
            JpegOutput jpeg(PhotoWidth, PhotoHeight, TJSAMP_420);
            std::vector<unsigned char> source;
            std::vector<unsigned char> pixels;
            for (int index = next++; index < run.count; index = next++) {
                Laps laps;
                readWhole(files.at(index), source);
                const double read = laps.lap();
                int width = 0;
                int height = 0;
                int subsampling = 0;
                int colorspace = 0;
                if (tjDecompressHeader3(decompressor.get(), source.data(), source.size(), &width,
                                        &height, &subsampling, &colorspace) != 0)
                    die(turboError(decompressor.get()));
                pixels.resize(size_t(width) * size_t(height) * 4);
                if (tjDecompress2(decompressor.get(), source.data(), source.size(), pixels.data(),
                                  width, 0, height, TJPF_BGRX, TJFLAG_ACCURATEDCT) != 0)
                    die(turboError(decompressor.get()));
                const double decode = laps.lap();
                unsigned char *buffer = jpeg.buffer.get();
                unsigned long size = jpeg.capacity;
                if (tjCompress2(compressor.get(), pixels.data(), width, 0, height, TJPF_BGRX,
                                &buffer, &size, TJSAMP_420, OutputQuality,
                                TJFLAG_NOREALLOC | TJFLAG_ACCURATEDCT) != 0)
                    die(turboError(compressor.get()));
                const double encode = laps.lap();
                writeWhole(outputPath(run.output, files.at(index)), buffer,
                           static_cast<qint64>(size));
                const double write = laps.lap();
                const std::lock_guard guard(lock);
                timing.perPhoto.push_back(laps.wall());
                timing.addStep(QStringLiteral("read"), read);
                timing.addStep(QStringLiteral("decode"), decode);
                timing.addStep(QStringLiteral("encode"), encode);
                timing.addStep(QStringLiteral("write"), write);
            }
        };
        timing.beginRepeat(RUSAGE_SELF);
        std::vector<std::thread> helpers;
        for (int i = 1; i < run.workers; ++i)
            helpers.emplace_back(work);
        work();
        for (std::thread &helper : helpers)
            helper.join();
        timing.endRepeat(run.count);
    }
    return timing;
}

// The watermark used throughout: a text with placeholders, large enough to read on a
// 24-megapixel photo, on a box continued as a band across the photo at 45 degrees. The tiled
// run ("engine-tiled") repeats a text at 3 % of the photo over all of it instead, turned 45
// degrees, with an outline and a soft shadow.
OverlayList benchOverlays(const QString &kind)
{
    if (kind == QLatin1String("engine-tiled")) {
        auto tiled = Overlay::newWatermark();
        tiled->setText(QStringLiteral("\u00A9 {YEAR} {USERNAME}"));
        tiled->setFontName(QStringLiteral("DejaVu Sans"));
        tiled->setShow(false);
        tiled->setTile(true);
        tiled->setRotation(45.0f);
        tiled->setOutlineWidth(4.0f);
        tiled->setShadow(true);
        return {tiled};
    }
    auto overlay = std::make_shared<Overlay>();
    overlay->setText(QStringLiteral("\u00A9 {YEAR} {USERNAME} \u00B7 {EXIF_MODEL}"));
    overlay->setFontName(QStringLiteral("DejaVu Sans"));
    overlay->setPointSize(120.0f);
    overlay->setColor(QColor::fromRgbF(1.0f, 1.0f, 1.0f));
    overlay->setAlpha(0.8f);
    overlay->setBgColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.4f));
    overlay->setShow(true);
    overlay->setExtend(true);
    overlay->setRotation(45.0f);
    overlay->setPosition(4); // centre
    return {overlay};
}

PlaceholderExpander benchExpander()
{
    return PlaceholderExpander(QStringLiteral("Inkveil Bench"),
                               [] { return QDateTime(QDate(2024, 6, 1), QTime(12, 0)); });
}

std::shared_ptr<OutputOptions> benchOptions(const RunSettings &run)
{
    auto options = std::make_shared<OutputOptions>();
    options->setFolder(run.output);
    options->setFileFormat(run.png ? QStringLiteral("png") : QStringLiteral("jpeg"));
    options->setQuality(OutputQuality);
    options->setResize(run.fit);
    options->setWidth(FitWidth);
    options->setHeight(FitHeight);
    options->setCreateThumbnails(false);
    return options;
}

WorkFileList workFiles(const QStringList &paths)
{
    WorkFileList files;
    for (const QString &path : paths)
        files.append(std::make_shared<WorkFile>(path));
    return files;
}

// A wrong output would make every number meaningless: check the size of one.
void checkOutput(const QString &path, bool fit)
{
    // The engine rounds the fitted edge to the nearest pixel.
    const QSize expected =
        fit ? QSize(FitWidth, qRound(double(FitWidth) * PhotoHeight / PhotoWidth))
            : QSize(PhotoWidth, PhotoHeight);
    const QSize size = QImageReader(path).size();
    if (size != expected)
        die(QStringLiteral("%1 is %2 x %3, expected %4 x %5")
                .arg(path)
                .arg(size.width())
                .arg(size.height())
                .arg(expected.width())
                .arg(expected.height()));
}

// The engine as the wizard and the command-line tool drive it. A photo's time runs from the
// previous photo's end (or the start) to its fileFinished signal, stamped on the worker thread.
// The engine's step messages, also received on the worker thread, split a photo's processor
// time into its steps (meaningful with one worker).
Timing runEngine(const RunSettings &run)
{
    const QStringList paths = inputFiles(run);
    const OverlayList overlays = benchOverlays(run.kind);
    const auto stepName = [&](const QString &message) {
        if (message == BatchEngine::ReadingMessage)
            return QStringLiteral("decode");
        if (message == BatchEngine::WatermarkingMessage)
            return run.fit ? QStringLiteral("draw+resize+encode") : QStringLiteral("draw+encode");
        if (message == BatchEngine::WritingMessage)
            return QStringLiteral("write");
        return message;
    };
    Timing timing;
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        const auto options = benchOptions(run);
        const WorkFileList files = workFiles(paths);
        BatchEngine engine;
        engine.setExpander(benchExpander());
        std::mutex lock;
        std::vector<double> finishedAt;
        QStringList failures;
        QString firstOutput;
        QElapsedTimer clock;
        // Per photo in progress: the step it is in, and the worker's processor time at its start.
        QHash<int, std::pair<QString, double>> current;
        const auto endStep = [&](int index, double now) {
            const auto step = current.constFind(index);
            if (step != current.constEnd())
                timing.addStep(step->first, now - step->second);
        };
        QObject::connect(
            &engine, &BatchEngine::statusChanged, &engine,
            [&](int index, const QString &message) {
                const double now = processSeconds();
                const std::lock_guard guard(lock);
                endStep(index, now);
                current.insert(index, {stepName(message), now});
            },
            Qt::DirectConnection);
        QObject::connect(
            &engine, &BatchEngine::fileFinished, &engine,
            [&](int index, const BatchEngine::FileResult &result) {
                const double at = seconds(clock);
                const double now = processSeconds();
                const std::lock_guard guard(lock);
                endStep(index, now);
                current.remove(index);
                finishedAt.push_back(at);
                if (!result.ok() || result.outputPath.isEmpty())
                    failures.append(paths.at(index) + QStringLiteral(": ") + result.failure);
                else if (firstOutput.isEmpty())
                    firstOutput = result.outputPath;
            },
            Qt::DirectConnection);
        QEventLoop loop;
        QObject::connect(&engine, &BatchEngine::finished, &loop, &QEventLoop::quit);
        timing.beginRepeat(RUSAGE_SELF);
        clock.start();
        if (const Status started = engine.start(files, overlays, options, run.workers); !started)
            die(started.reason());
        loop.exec();
        engine.wait();
        timing.endRepeat(run.count);
        if (!failures.isEmpty())
            die(failures.join(QLatin1Char('\n')));
        if (static_cast<int>(finishedAt.size()) != run.count)
            die(QStringLiteral("the engine finished %1 of %2 photos")
                    .arg(finishedAt.size())
                    .arg(run.count));
        checkOutput(firstOutput, run.fit);
        std::sort(finishedAt.begin(), finishedAt.end());
        double previous = 0.0;
        for (const double at : finishedAt) {
            timing.perPhoto.push_back(at - previous);
            previous = at;
        }
    }
    return timing;
}

// The same job by another program, one process per photo, one at a time.
Timing runTool(const RunSettings &run)
{
    const QStringList files = inputFiles(run);
    Timing timing;
    for (int r = 0; r < run.repeat; ++r) {
        clearOutput(run.output);
        timing.beginRepeat(RUSAGE_CHILDREN);
        for (const QString &file : files) {
            const QString target = outputPath(run.output, file);
            QStringList arguments;
            if (run.kind == QLatin1String("vips") && run.png) {
                // libvips's own PNG defaults: libspng, zlib level 6, no filter.
                arguments = {QStringLiteral("copy"), file,
                             QFileInfo(target).path() + QLatin1Char('/') +
                                 QFileInfo(target).completeBaseName() + QStringLiteral(".png")};
            } else if (run.kind == QLatin1String("vips")) {
                arguments = {QStringLiteral("copy"), file,
                             target + QStringLiteral("[Q=%1]").arg(OutputQuality)};
            } else {
                arguments = {file,
                             QStringLiteral("-font"),
                             QStringLiteral("DejaVu-Sans"),
                             QStringLiteral("-gravity"),
                             QStringLiteral("center"),
                             QStringLiteral("-pointsize"),
                             QStringLiteral("120"),
                             QStringLiteral("-fill"),
                             QStringLiteral("rgba(255,255,255,0.8)"),
                             QStringLiteral("-undercolor"),
                             QStringLiteral("rgba(0,0,0,0.4)"),
                             QStringLiteral("-annotate"),
                             QStringLiteral("45x45+0+0"),
                             QStringLiteral("\u00A9 2024 Inkveil Bench"),
                             QStringLiteral("-quality"),
                             QString::number(OutputQuality),
                             target};
            }
            QElapsedTimer timer;
            timer.start();
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(run.tool, arguments);
            if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
                process.exitCode() != 0)
                die(QStringLiteral("%1 failed on %2").arg(run.tool, file));
            timing.perPhoto.push_back(seconds(timer));
        }
        timing.endRepeat(run.count);
    }
    return timing;
}

int runChild(const RunSettings &run)
{
    if (run.kind == QLatin1String("floor")) {
        printResult(run, runFloor(run), RUSAGE_SELF);
    } else if (run.kind == QLatin1String("engine") || run.kind == QLatin1String("engine-tiled")) {
        printResult(run, runEngine(run), RUSAGE_SELF);
    } else if (run.kind == QLatin1String("vips") || run.kind == QLatin1String("imagemagick")) {
        printResult(run, runTool(run), RUSAGE_CHILDREN);
    } else if (run.kind == QLatin1String("generate")) {
        if (!QDir().mkpath(run.output))
            die(QStringLiteral("cannot create %1").arg(run.output));
        out() << "GENERATED average_bytes=" << generatePhotos(run.output, run.count) << Qt::endl;
    } else {
        die(QStringLiteral("unknown configuration \"%1\"").arg(run.kind));
    }
    if (run.kind != QLatin1String("generate"))
        printOutputSize(run);
    return 0;
}

// --- The whole benchmark ------------------------------------------------------------------------

struct Configuration
{
    QString label;
    QString kind;
    int workers = 1;
    bool fit = false;
    int count = 0;
    QString tool;
    bool png = false;
};

struct Measurement
{
    Configuration configuration;
    double perPhoto = 0.0;
    double wall = 0.0;
    double processorPerPhoto = 0.0;
    long peakKiB = 0;
    qint64 outputBytes = 0;
    QString steps;
};

struct Settings
{
    int photos = 12;
    int repeat = 3;
    int workers = 0; // all
    bool memoryCheck = false;
    bool tools = true;
    QString vips;
    QString imageMagick;
};

double value(const QString &line, const QString &key)
{
    for (const QString &field : line.split(QLatin1Char(' '))) {
        if (field.startsWith(key + QLatin1Char('=')))
            return field.mid(key.size() + 1).toDouble();
    }
    return 0.0;
}

// Runs this program on one configuration and answers what it printed. A child starts with its
// parent's peak memory as its own, so the parent stays small: even the photos are made in one.
QStringList runChildProcess(const QStringList &arguments, const QString &runtimeFolder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Fonts need a GUI application, which wants a runtime folder of its own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    const bool finished = child.waitForFinished(-1);
    if (interrupted)
        die(QStringLiteral("interrupted"));
    if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
}

Measurement measure(const Configuration &configuration, const QString &input,
                    const QString &outputRoot, int repeat, const QString &runtimeFolder)
{
    const QString output = QStringLiteral("%1/%2-%3%4")
                               .arg(outputRoot, configuration.kind)
                               .arg(configuration.workers)
                               .arg(configuration.png ? QStringLiteral("-png") : QString());
    QStringList arguments{QStringLiteral("--run"),     configuration.kind,
                          QStringLiteral("--input"),   input,
                          QStringLiteral("--output"),  output,
                          QStringLiteral("--count"),   QString::number(configuration.count),
                          QStringLiteral("--repeat"),  QString::number(repeat),
                          QStringLiteral("--workers"), QString::number(configuration.workers)};
    if (configuration.fit)
        arguments.append(QStringLiteral("--fit"));
    if (configuration.png)
        arguments.append(QStringLiteral("--png"));
    if (!configuration.tool.isEmpty())
        arguments << QStringLiteral("--tool") << configuration.tool;

    err() << "  " << configuration.label << "..." << Qt::flush;
    const QStringList lines = runChildProcess(arguments, runtimeFolder);
    QDir(output).removeRecursively();
    if (lines.isEmpty())
        die(QStringLiteral("the run \"%1\" failed").arg(configuration.label));

    Measurement measurement;
    measurement.configuration = configuration;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("RESULT "))) {
            measurement.perPhoto = value(line, QStringLiteral("per_photo"));
            measurement.wall = value(line, QStringLiteral("wall"));
            measurement.processorPerPhoto = value(line, QStringLiteral("processor_per_photo"));
            measurement.peakKiB = static_cast<long>(value(line, QStringLiteral("peak_kib")));
        } else if (line.startsWith(QLatin1String("OUTPUT "))) {
            measurement.outputBytes = static_cast<qint64>(value(line, QStringLiteral("bytes")));
        } else if (line.startsWith(QLatin1String("STEPS "))) {
            measurement.steps = line.mid(6);
        }
    }
    if (!(measurement.perPhoto > 0.0))
        die(QStringLiteral("the run \"%1\" reported nothing").arg(configuration.label));
    err() << QStringLiteral(" %1 s/photo").arg(measurement.perPhoto, 0, 'f', 3) << Qt::endl;
    return measurement;
}

QString cpuModel()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = cpuinfo.readLine(); !line.isEmpty(); line = cpuinfo.readLine()) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
        }
    }
    return QStringLiteral("unknown");
}

qint64 memoryTotalKiB()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
            if (line.startsWith("MemTotal:"))
                return line.mid(9).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

QString megabytes(double bytes)
{
    return QString::number(bytes / 1e6, 'f', 0);
}

// A Markdown table, aligned for reading as text too: the first column left, numbers right.
void printTable(const QList<Measurement> &rows, double floor)
{
    const QStringList titles{QStringLiteral("Configuration"), QStringLiteral("Photos"),
                             QStringLiteral("s/photo"),       QStringLiteral("photos/s"),
                             QStringLiteral("x floor"),       QStringLiteral("CPU s/photo"),
                             QStringLiteral("Peak MB")};
    QList<QStringList> cells;
    for (const Measurement &row : rows) {
        cells.append({row.configuration.label, QString::number(row.configuration.count),
                      QString::number(row.perPhoto, 'f', 3),
                      QString::number(row.configuration.count / row.wall, 'f', 2),
                      QString::number(row.perPhoto / floor, 'f', 2),
                      QString::number(row.processorPerPhoto, 'f', 3),
                      megabytes(static_cast<double>(row.peakKiB) * 1024.0)});
    }
    QList<qsizetype> widths;
    for (const QString &title : titles)
        widths.append(title.size());
    for (const QStringList &line : std::as_const(cells)) {
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    const auto print = [&](const QStringList &line) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const int width = static_cast<int>(i == 0 ? -widths[i] : widths[i]);
            out() << "| " << QStringLiteral("%1").arg(line[i], width) << ' ';
        }
        out() << "|\n";
    };
    print(titles);
    for (qsizetype i = 0; i < widths.size(); ++i)
        out() << '|' << QString(widths[i] + 1, QLatin1Char('-')) << (i == 0 ? '-' : ':');
    out() << "|\n";
    for (const QStringList &line : std::as_const(cells))
        print(line);
    out() << Qt::flush;
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

int runBenchmark(const Settings &settings)
{
    const int allWorkers =
        settings.workers > 0 ? settings.workers : std::max(1, QThread::idealThreadCount());
    const QString tempRoot = QDir::tempPath() + QStringLiteral("/inkveil-bench-XXXXXX");
    QTemporaryDir work(tempRoot);
    if (!work.isValid())
        die(QStringLiteral("cannot create a temporary folder"));
    temporaryFolder() = work.path();
    // A handler rather than SIG_IGN: a handler is reset in the children, an ignored signal is not.
    std::signal(SIGINT, noteInterrupt);
    std::signal(SIGTERM, noteInterrupt);
    const QString input = work.filePath(QStringLiteral("photos"));
    const QString runtimeFolder = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtimeFolder);
    QFile::setPermissions(runtimeFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const int generated =
        settings.memoryCheck ? std::max(settings.photos, MemoryCheckLarge) : settings.photos;
    err() << "Generating " << generated << " photos of " << PhotoWidth << " x " << PhotoHeight
          << " at quality " << SourceQuality << " in " << input << "..." << Qt::flush;
    QElapsedTimer timer;
    timer.start();
    qint64 averageBytes = 0;
    const QStringList generatedLines = runChildProcess(
        {QStringLiteral("--run"), QStringLiteral("generate"), QStringLiteral("--output"), input,
         QStringLiteral("--count"), QString::number(generated)},
        runtimeFolder);
    for (const QString &line : generatedLines) {
        if (line.startsWith(QLatin1String("GENERATED ")))
            averageBytes = static_cast<qint64>(value(line, QStringLiteral("average_bytes")));
    }
    if (averageBytes <= 0)
        die(QStringLiteral("cannot generate the photos"));
    err() << QStringLiteral(" %1 s, %2 MB each on average")
                 .arg(seconds(timer), 0, 'f', 1)
                 .arg(static_cast<double>(averageBytes) / 1e6, 0, 'f', 1)
          << Qt::endl;

    QList<Configuration> configurations;
    const int n = settings.photos;
    configurations.append({QStringLiteral("libjpeg-turbo decode + encode (floor)"),
                           QStringLiteral("floor"),
                           1,
                           false,
                           n,
                           {}});
    if (allWorkers > 1)
        configurations.append(
            {QStringLiteral("libjpeg-turbo decode + encode, %1 threads").arg(allWorkers),
             QStringLiteral("floor"),
             allWorkers,
             false,
             n,
             {}});
    configurations.append(
        {QStringLiteral("Inkveil, 1 worker"), QStringLiteral("engine"), 1, false, n, {}});
    if (allWorkers > 1)
        configurations.append({QStringLiteral("Inkveil, %1 workers").arg(allWorkers),
                               QStringLiteral("engine"),
                               allWorkers,
                               false,
                               n,
                               {}});
    configurations.append(
        {QStringLiteral("Inkveil, fit into %1 x %2, 1 worker").arg(FitWidth).arg(FitHeight),
         QStringLiteral("engine"),
         1,
         true,
         n,
         {}});
    configurations.append({QStringLiteral("Inkveil, tiled text with outline and shadow, 1 worker"),
                           QStringLiteral("engine-tiled"),
                           1,
                           false,
                           n,
                           {}});
    if (settings.tools && !settings.vips.isEmpty())
        configurations.append({QStringLiteral("vips copy [Q=90], 1 process at a time"),
                               QStringLiteral("vips"), 1, false, n, settings.vips});
    if (settings.tools && !settings.imageMagick.isEmpty())
        configurations.append({QStringLiteral("ImageMagick -annotate, 1 process at a time"),
                               QStringLiteral("imagemagick"), 1, false, n, settings.imageMagick});
    // PNG output against libvips writing the same photos as PNG.
    configurations.append({QStringLiteral("Inkveil, PNG, 1 worker"),
                           QStringLiteral("engine"),
                           1,
                           false,
                           n,
                           {},
                           true});
    if (settings.tools && !settings.vips.isEmpty())
        configurations.append({QStringLiteral("vips copy to PNG, 1 process at a time"),
                               QStringLiteral("vips"), 1, false, n, settings.vips, true});
    if (settings.memoryCheck) {
        for (const int count : {MemoryCheckSmall, MemoryCheckLarge}) {
            // Already measured when the machine has as many cores as the check has workers.
            const bool measured = std::any_of(
                configurations.cbegin(), configurations.cend(), [&](const Configuration &c) {
                    return c.kind == QLatin1String("engine") && c.workers == MemoryCheckWorkers &&
                           !c.fit && !c.png && c.count == count;
                });
            if (!measured)
                configurations.append(
                    {QStringLiteral("Inkveil, %1 workers").arg(MemoryCheckWorkers),
                     QStringLiteral("engine"),
                     MemoryCheckWorkers,
                     false,
                     count,
                     {}});
        }
    }
    err() << "Measuring, " << settings.repeat << " repeats each:" << Qt::endl;
    QList<Measurement> rows;
    for (const Configuration &configuration : std::as_const(configurations)) {
        rows.append(measure(configuration, input, work.filePath(QStringLiteral("out")),
                            settings.repeat, runtimeFolder));
    }

    const auto find = [&](const QString &kind, int workers, bool fit,
                          int count) -> std::optional<Measurement> {
        for (const Measurement &row : std::as_const(rows)) {
            const Configuration &c = row.configuration;
            if (c.kind == kind && c.workers == workers && c.fit == fit && c.count == count &&
                !c.png)
                return row;
        }
        return std::nullopt;
    };
    const Measurement floor = *find(QStringLiteral("floor"), 1, false, n);

    out() << "\nMachine: " << QThread::idealThreadCount() << " cores, " << cpuModel() << ", "
          << QString::number(static_cast<double>(memoryTotalKiB()) / 1024.0 / 1024.0, 'f', 1)
          << " GiB; " << QSysInfo::prettyProductName() << "\n"
          << QStringLiteral("Photos: %1 x %2, quality %3, %4 MB each on average; output JPEG "
                            "quality %5; median of %6 repeats\n")
                 .arg(PhotoWidth)
                 .arg(PhotoHeight)
                 .arg(SourceQuality)
                 .arg(static_cast<double>(averageBytes) / 1e6, 0, 'f', 1)
                 .arg(OutputQuality)
                 .arg(settings.repeat)
          << "s/photo: one worker, the median photo; several workers, wall time / photos. "
             "x floor: s/photo over the floor's.\n\n"
          << Qt::flush;
    printTable(rows, floor.perPhoto);

    // One worker's steps: with several, the workers' processor time includes their contention.
    out() << "\nWhere a photo's time goes, one worker (median processor seconds per step):\n";
    for (const Measurement &row : std::as_const(rows)) {
        if (row.configuration.workers == 1 && !row.steps.isEmpty())
            out() << "  " << row.configuration.label << ": " << row.steps << '\n';
    }

    out() << "\nTargets:\n";
    const std::optional<Measurement> one = find(QStringLiteral("engine"), 1, false, n);
    const std::optional<Measurement> all = find(QStringLiteral("engine"), allWorkers, false, n);
    const std::optional<Measurement> fit = find(QStringLiteral("engine"), 1, true, n);
    const double oneRatio = one->perPhoto / floor.perPhoto;
    out() << QStringLiteral("  1 worker per photo <= 1.3 x floor: %1 x (%2)\n")
                 .arg(oneRatio, 0, 'f', 2)
                 .arg(verdict(oneRatio <= 1.3));
    if (all && allWorkers > 1) {
        const double speedup = one->wall / all->wall;
        // What the machine allows at the moment: the floor on as many threads, which other
        // programs running alongside hold back just as much.
        const std::optional<Measurement> floorAll =
            find(QStringLiteral("floor"), allWorkers, false, n);
        out() << QStringLiteral("  %1 workers >= 1.8 x the throughput of 1: %2 x (%3); "
                                "the floor on %1 threads: %4 x\n")
                     .arg(allWorkers)
                     .arg(speedup, 0, 'f', 2)
                     .arg(verdict(speedup >= 1.8))
                     .arg(floorAll ? floor.wall / floorAll->wall : 0.0, 0, 'f', 2);
    }
    const double fitSpeedup = one->perPhoto / fit->perPhoto;
    out() << QStringLiteral("  fit into %1 x %2 >= 2 x faster per photo: %3 x (%4)\n")
                 .arg(FitWidth)
                 .arg(FitHeight)
                 .arg(fitSpeedup, 0, 'f', 2)
                 .arg(verdict(fitSpeedup >= 2.0));
    if (const std::optional<Measurement> tiled =
            find(QStringLiteral("engine-tiled"), 1, false, n)) {
        const double tiledRatio = tiled->perPhoto / one->perPhoto;
        out() << QStringLiteral("  tiled text with shadow per photo <= 1.25 x the single text: "
                                "%1 x (%2)\n")
                     .arg(tiledRatio, 0, 'f', 2)
                     .arg(verdict(tiledRatio <= 1.25));
    }
    const auto pngRow = [&](const QString &kind) -> std::optional<Measurement> {
        for (const Measurement &row : std::as_const(rows)) {
            if (row.configuration.png && row.configuration.kind == kind)
                return row;
        }
        return std::nullopt;
    };
    const std::optional<Measurement> png = pngRow(QStringLiteral("engine"));
    const std::optional<Measurement> vipsPng = pngRow(QStringLiteral("vips"));
    if (png) {
        out() << QStringLiteral("  PNG: %1 s/photo, %2 MB a file")
                     .arg(png->perPhoto, 0, 'f', 3)
                     .arg(static_cast<double>(png->outputBytes) / 1e6, 0, 'f', 1);
        if (vipsPng)
            out() << QStringLiteral("; vips %1 s/photo, %2 MB: no slower (%3), no larger (%4)")
                         .arg(vipsPng->perPhoto, 0, 'f', 3)
                         .arg(static_cast<double>(vipsPng->outputBytes) / 1e6, 0, 'f', 1)
                         .arg(verdict(png->perPhoto <= vipsPng->perPhoto))
                         .arg(verdict(png->outputBytes <= vipsPng->outputBytes));
        out() << '\n';
    }
    if (settings.memoryCheck) {
        const Measurement small =
            *find(QStringLiteral("engine"), MemoryCheckWorkers, false, MemoryCheckSmall);
        const Measurement large =
            *find(QStringLiteral("engine"), MemoryCheckWorkers, false, MemoryCheckLarge);
        const double limit = 6.0 * static_cast<double>(DecodedPhotoBytes);
        const double smallBytes = static_cast<double>(small.peakKiB) * 1024.0;
        const double largeBytes = static_cast<double>(large.peakKiB) * 1024.0;
        // "The same" allows for allocator noise: a tenth of the smaller run's peak.
        const bool flat = std::abs(largeBytes - smallBytes) <= 0.1 * smallBytes;
        out() << QStringLiteral("  peak memory, %1 workers, <= 6 decoded photos (%2 MB): "
                                "%3 MB with %4 photos, %5 MB with %6 (%7); "
                                "independent of the number of photos (%8)\n")
                     .arg(MemoryCheckWorkers)
                     .arg(megabytes(limit))
                     .arg(megabytes(smallBytes))
                     .arg(MemoryCheckSmall)
                     .arg(megabytes(largeBytes))
                     .arg(MemoryCheckLarge)
                     .arg(verdict(std::max(smallBytes, largeBytes) <= limit))
                     .arg(verdict(flat));
    }
    out() << Qt::flush;
    return 0;
}

QString findTool(const QString &given, const QStringList &names)
{
    if (!given.isEmpty())
        return given == QLatin1String("none") ? QString() : given;
    for (const QString &name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

int positiveNumber(const QCommandLineParser &parser, const QCommandLineOption &option, int fallback)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const int number = parser.value(option).toInt(&ok);
    if (!ok || number < 1)
        die(QStringLiteral("--%1 needs a whole number of at least 1").arg(option.names().first()));
    return number;
}

QtMessageHandler defaultMessageHandler = nullptr;

void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtDebugMsg && type != QtInfoMsg && defaultMessageHandler)
        defaultMessageHandler(type, context, text);
}

} // namespace

int main(int argc, char *argv[])
{
    // Only a watermarking run needs fonts, hence a GUI application; the others stay lean, so
    // that their peak memory is the work's own.
    bool engineRun = false;
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--run") == 0)
            engineRun = qstrncmp(argv[i + 1], "engine", 6) == 0;
    }
    std::unique_ptr<QCoreApplication> app;
    if (engineRun) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The engine logs each run's start and end; a benchmark's output is its table.
    defaultMessageHandler = qInstallMessageHandler(quietMessageHandler);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures the batch engine on generated 24-megapixel JPEGs against libjpeg-turbo "
        "decoding and encoding the same files, and vips and ImageMagick when installed."));
    parser.addHelpOption();
    const QCommandLineOption photos(QStringLiteral("photos"),
                                    QStringLiteral("Photos per run (default 12)."),
                                    QStringLiteral("n"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
                                    QStringLiteral("Runs of each configuration (default 3)."),
                                    QStringLiteral("r"));
    const QCommandLineOption workers(
        QStringLiteral("workers"),
        QStringLiteral("Workers of the \"all workers\" runs (default: the cores)."),
        QStringLiteral("n"));
    const QCommandLineOption memoryCheck(
        QStringLiteral("memory-check"),
        QStringLiteral("Also measure peak memory with %1 workers on %2 and on %3 photos.")
            .arg(MemoryCheckWorkers)
            .arg(MemoryCheckSmall)
            .arg(MemoryCheckLarge));
    const QCommandLineOption vips(QStringLiteral("vips"),
                                  QStringLiteral("The vips program (default: from PATH; "
                                                 "\"none\" to skip)."),
                                  QStringLiteral("path"));
    const QCommandLineOption imageMagick(
        QStringLiteral("imagemagick"),
        QStringLiteral("ImageMagick's convert or magick (default: from PATH; \"none\" to skip)."),
        QStringLiteral("path"));
    const QCommandLineOption noTools(QStringLiteral("no-tools"),
                                     QStringLiteral("Skip vips and ImageMagick."));
    // Used by the benchmark to run one configuration in a child process.
    const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("Internal."),
                                 QStringLiteral("kind"));
    const QCommandLineOption input(QStringLiteral("input"), QStringLiteral("Internal."),
                                   QStringLiteral("dir"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Internal."),
                                    QStringLiteral("dir"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Internal."),
                                   QStringLiteral("n"));
    const QCommandLineOption fit(QStringLiteral("fit"), QStringLiteral("Internal."));
    const QCommandLineOption png(QStringLiteral("png"), QStringLiteral("Internal."));
    const QCommandLineOption tool(QStringLiteral("tool"), QStringLiteral("Internal."),
                                  QStringLiteral("path"));
    for (QCommandLineOption internal : {run, input, output, count, fit, png, tool}) {
        internal.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(internal);
    }
    parser.addOptions({photos, repeat, workers, memoryCheck, vips, imageMagick, noTools});
    parser.process(*app);

    if (parser.isSet(run)) {
        RunSettings settings;
        settings.kind = parser.value(run);
        settings.input = parser.value(input);
        settings.output = parser.value(output);
        settings.count = positiveNumber(parser, count, 1);
        settings.repeat = positiveNumber(parser, repeat, 1);
        settings.workers = positiveNumber(parser, workers, 1);
        settings.fit = parser.isSet(fit);
        settings.png = parser.isSet(png);
        settings.tool = parser.value(tool);
        return runChild(settings);
    }

    Settings settings;
    settings.photos = positiveNumber(parser, photos, settings.photos);
    settings.repeat = positiveNumber(parser, repeat, settings.repeat);
    settings.workers = positiveNumber(parser, workers, 0);
    settings.memoryCheck = parser.isSet(memoryCheck);
    settings.tools = !parser.isSet(noTools);
    settings.vips = findTool(parser.value(vips), {QStringLiteral("vips")});
    settings.imageMagick =
        findTool(parser.value(imageMagick), {QStringLiteral("magick"), QStringLiteral("convert")});
    return runBenchmark(settings);
}
