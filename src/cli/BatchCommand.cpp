// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/BatchCommand.h"

#include "base/Paths.h"
#include "base/Printable.h"
#include "base/SafeWrite.h"
#include "batch/BatchEngine.h"
#include "batch/BatchTally.h"
#include "batch/ProgressEstimate.h"
#include "batch/RunReport.h"
#include "cli/MarkCommand.h"
#include "credentials/CredentialReader.h"
#include "credentials/OutputSigner.h"
#include "credentials/SigningIdentity.h"
#include "imageio/ExifSummary.h"
#include "imageio/ImageFormat.h"
#include "output/SummaryText.h"
#include "session/Presets.h"
#include "session/StateFile.h"
#include "sources/FileGathering.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <optional>

namespace inkveil {

namespace {

std::atomic<bool> interruptRequested{false};

constexpr char PassphraseVariable[] = "INKVEIL_SIGN_PASSPHRASE";

// --existing, in the order of the option's values (OutputOptions::Existing).
const QStringList ExistingChoices{QStringLiteral("replace"), QStringLiteral("skip"),
                                  QStringLiteral("rename")};

// By the number of the "metadata" output option.
const QStringList MetadataModes{QStringLiteral("keep"), QStringLiteral("private"),
                                QStringLiteral("none")};

struct Options
{
    QString stateFile;
    QString preset;
    bool usePreset = false;
    bool listPresets = false;
    // Output options for this run only, by field.
    QList<std::pair<const OutputOptions::Field *, QVariant>> overrides;
    int jobs = 0;
    qint64 memoryBytes = 0;
    bool dryRun = false;
    bool exif = false;
    QStringList paths;
    // --shard K/N: this run processes photos i with i mod N = K - 1.
    int shard = 1;
    int shardCount = 1;
    QString report;
    // Content credentials: who signs this run's outputs, and --credentials.
    QString signCert;
    QString signKey;
    QString passphraseFile;
    QString author;
    bool credentials = false;
    // --auto-place, --auto-contrast: every watermark fitted to each photo, this run only.
    bool autoPlace = false;
    bool autoContrast = false;
    // The invisible mark: its key file (empty: the user's), and --detect.
    QString markKey;
    bool detect = false;

    void overrideBy(const QCommandLineOption &option, const QVariant &value)
    {
        overrides.append({OutputOptions::fieldOfOption(option.names().constFirst()), value});
    }
};

// "K/N" with 1 <= K <= N, both plain decimal digits; answers false for anything else (signs,
// spaces, numbers beyond int).
bool parseShard(const QString &text, int &shard, int &count)
{
    static const QRegularExpression form(QStringLiteral("^([1-9][0-9]*)/([1-9][0-9]*)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    bool shardOk = false;
    bool countOk = false;
    shard = match.captured(1).toInt(&shardOk);
    count = match.captured(2).toInt(&countOk);
    return shardOk && countOk && shard <= count;
}

// The tool's options, in the order the help lists them.
struct Switches
{
    const QCommandLineOption state{QStringLiteral("state"),
                                   QStringLiteral("Read watermarks and options from <file>."),
                                   QStringLiteral("file")};
    const QCommandLineOption output{QStringLiteral("output"),
                                    QStringLiteral("Write into <dir> (this run only)."),
                                    QStringLiteral("dir")};
    const QCommandLineOption format{
        QStringLiteral("format"),
        QStringLiteral("Output format: %1 (this run only).")
            .arg(ImageFormats::writableNames().join(QStringLiteral(", "))),
        QStringLiteral("format")};
    const QCommandLineOption quality{
        QStringLiteral("quality"),
        QStringLiteral("Quality 0-100 of JPEG, WebP, AVIF (this run only)."), QStringLiteral("q")};
    const QCommandLineOption jobs{QStringLiteral("jobs"),
                                  QStringLiteral("Photos processed at once (default: cores)."),
                                  QStringLiteral("n")};
    const QCommandLineOption existing{
        QStringLiteral("existing"),
        QStringLiteral("Where a file of an output's name exists: replace, skip, or rename "
                       "(keep both; the new photo gets a \"-2\" name) (this run only)."),
        QStringLiteral("what")};
    const QCommandLineOption metadata{
        QStringLiteral("metadata"),
        QStringLiteral("Camera data kept: keep, private (all but location and serial numbers) or "
                       "none (this run only)."),
        QStringLiteral("what")};
    const QCommandLineOption resize{
        QStringLiteral("resize"),
        QStringLiteral("Resize each output: fit:<w>x<h> (into a box), long:<px>, short:<px> (the "
                       "long or short edge), percent:<p>, mp:<megapixels>, or none (this run "
                       "only)."),
        QStringLiteral("how")};
    const QCommandLineOption neverEnlarge{
        QStringLiteral("never-enlarge"),
        QStringLiteral("Photos smaller than the resize asks for keep their size (this run only).")};
    const QCommandLineOption dryRun{QStringLiteral("dry-run"),
                                    QStringLiteral("Print what would be written; write nothing.")};
    const QCommandLineOption exif{
        QStringLiteral("exif"), QStringLiteral("Print each photo's EXIF summary; write nothing.")};
    const QCommandLineOption memory{
        QStringLiteral("memory"),
        QStringLiteral("Decoded photos held at once, in MB (default: %1).")
            .arg(BatchEngine::DefaultMemoryBudget / (1024 * 1024)),
        QStringLiteral("MB")};
    const QCommandLineOption preset{
        QStringLiteral("preset"),
        QStringLiteral("Read watermarks and options from the preset <name>."),
        QStringLiteral("name")};
    const QCommandLineOption listPresets{QStringLiteral("list-presets"),
                                         QStringLiteral("Print the presets' names, one a line.")};
    const QCommandLineOption shard{
        QStringLiteral("shard"),
        QStringLiteral("Process only part <k> of <n> of the photos: photo i (from 0, in the "
                       "order gathered) when i mod n = k - 1, with the names and numbers of the "
                       "whole batch. The n parts, run anywhere, write what one run writes."),
        QStringLiteral("k/n")};
    const QCommandLineOption report{
        QStringLiteral("report"),
        QStringLiteral("Write what became of each photo to <file>, a JSON object a line."),
        QStringLiteral("file")};
    const QCommandLineOption autoPlace{
        QStringLiteral("auto-place"),
        QStringLiteral("Put each watermark where it covers the least detail of each photo, "
                       "among its allowed positions (this run only).")};
    const QCommandLineOption autoContrast{
        QStringLiteral("auto-contrast"),
        QStringLiteral("Draw each text in the colour of its two that stands out on each photo, "
                       "with a shadow or outline where needed (this run only).")};
    // The invisible mark.
    const QCommandLineOption markId{
        QStringLiteral("mark-id"),
        QStringLiteral("Put the invisible mark with mark number <n> (up to 1099511627775) into "
                       "every output (this run only)."),
        QStringLiteral("n")};
    const QCommandLineOption markKey{
        QStringLiteral("mark-key"),
        QStringLiteral("The invisible mark's key file (default: the one in the config folder, "
                       "made at first use)."),
        QStringLiteral("file")};
    const QCommandLineOption detect{
        QStringLiteral("detect"),
        QStringLiteral("Look for the invisible mark in each photo and print what was found; "
                       "write nothing.")};

    const QCommandLineOption signCert{
        QStringLiteral("sign-cert"),
        QStringLiteral("Sign each output with content credentials (C2PA) by the certificate chain "
                       "in <file> (PEM, the signer's first) (this run only)."),
        QStringLiteral("file")};
    const QCommandLineOption signKey{
        QStringLiteral("sign-key"),
        QStringLiteral("The signer's private key (PEM, ECDSA or Ed25519, readable by you alone). "
                       "An encrypted key's passphrase comes from --sign-passphrase-file or the "
                       "environment variable %1.")
            .arg(QLatin1String(PassphraseVariable)),
        QStringLiteral("file")};
    const QCommandLineOption passphraseFile{
        QStringLiteral("sign-passphrase-file"),
        QStringLiteral("Read the signing key's passphrase from the first line of <file>."),
        QStringLiteral("file")};
    const QCommandLineOption author{QStringLiteral("sign-author"),
                                    QStringLiteral("The author the content credentials name."),
                                    QStringLiteral("name")};
    const QCommandLineOption credentials{
        QStringLiteral("credentials"),
        QStringLiteral("Print each photo's content credentials: whether they validate, who "
                       "signed them and what was done; write nothing.")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QStringLiteral(
            "Watermarks photos with the watermarks and output options saved by Inkveil."));
        parser.addHelpOption();
        parser.addOptions(
            {state, output, format, quality, jobs, existing, metadata, dryRun, exif, memory});
        parser.addOptions({preset, listPresets});
        parser.addOptions({shard, report});
        parser.addOptions({resize, neverEnlarge});
        parser.addOptions({signCert, signKey, passphraseFile, author, credentials});
        parser.addOptions({autoPlace, autoContrast});
        parser.addOptions({markId, markKey, detect});
        parser.addPositionalArgument(QStringLiteral("PATH"),
                                     QStringLiteral("Photos and folders of photos."),
                                     QStringLiteral("PATH..."));
    }
};

// The steps of reading the values: each answers a usage error or a null string, and they run
// in this order, so that of several mistakes the first is reported.
using Step = QString (*)(const QCommandLineParser &, const Switches &, Options &);

QString readFormat(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.format))
        return {};
    const QString format = parser.value(s.format);
    const QStringList names = ImageFormats::writableNames();
    if (!names.contains(format))
        return QStringLiteral("Unknown format \"%1\"; use one of %2.")
            .arg(format, names.join(QStringLiteral(", ")));
    options.overrideBy(s.format, format);
    return {};
}

QString readQuality(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.quality))
        return {};
    bool ok = false;
    const int quality = parser.value(s.quality).toInt(&ok);
    if (!ok || quality < 0 || quality > 100)
        return QStringLiteral("The quality must be a whole number from 0 to 100.");
    options.overrideBy(s.quality, quality);
    return {};
}

QString readMetadata(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.metadata))
        return {};
    const auto mode = MetadataModes.indexOf(parser.value(s.metadata));
    if (mode < 0)
        return QStringLiteral("--metadata needs keep, private or none.");
    options.overrideBy(s.metadata, static_cast<int>(mode));
    return {};
}

// The number after a --resize mode's colon when it lies in [least, most], or nothing.
std::optional<int> wholeIn(const QString &text, int least, int most)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= least && value <= most ? std::optional<int>(value) : std::nullopt;
}

// The fields a --resize value sets, in the order they are set; empty when it is no rule.
QList<std::pair<const char *, QVariant>> resizeFields(const QString &how)
{
    const QString mode = how.section(QLatin1Char(':'), 0, 0);
    const QString value = how.section(QLatin1Char(':'), 1);
    if (how == QLatin1String("none"))
        return {{"resize", false}};
    if (mode == QLatin1String("fit")) {
        const auto width = wholeIn(value.section(QLatin1Char('x'), 0, 0), 1, 32767);
        const auto height = wholeIn(value.section(QLatin1Char('x'), 1), 1, 32767);
        if (width && height)
            return {{"resizeMode", OutputOptions::FitBox}, {"width", *width}, {"height", *height}};
    } else if (mode == QLatin1String("long") || mode == QLatin1String("short")) {
        if (const auto edge = wholeIn(value, 1, 65535))
            return {{"resizeMode", mode == QLatin1String("long") ? OutputOptions::LongEdge
                                                                 : OutputOptions::ShortEdge},
                    {"resizeEdge", *edge}};
    } else if (mode == QLatin1String("percent")) {
        if (const auto percent = wholeIn(value, 1, 1000))
            return {{"resizeMode", OutputOptions::Percent}, {"resizePercent", *percent}};
    } else if (mode == QLatin1String("mp")) {
        bool ok = false;
        const float megapixels = value.toFloat(&ok);
        if (ok && megapixels >= 0.01f && megapixels <= 200.0f)
            return {{"resizeMode", OutputOptions::Megapixels}, {"resizeMegapixels", megapixels}};
    }
    return {};
}

// --resize sets the whole rule for this run (enlarging as needed unless --never-enlarge is
// given too); --never-enlarge on its own keeps the saved rule.
QString readResize(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    const auto set = [&options](const char *key, const QVariant &value) {
        options.overrides.append({OutputOptions::field(QString::fromLatin1(key)), value});
    };
    if (parser.isSet(s.resize)) {
        const auto fields = resizeFields(parser.value(s.resize));
        if (fields.isEmpty())
            return QStringLiteral("--resize needs fit:<w>x<h> (1 to 32767 each), long:<px> or "
                                  "short:<px> (1 to 65535), percent:<p> (1 to 1000), "
                                  "mp:<megapixels> (0.01 to 200), or none.");
        set("resize", true);
        set("neverEnlarge", false);
        for (const auto &[key, value] : fields)
            set(key, value);
    }
    if (parser.isSet(s.neverEnlarge))
        set("neverEnlarge", true);
    return {};
}

QString readJobs(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.jobs))
        return {};
    bool ok = false;
    options.jobs = parser.value(s.jobs).toInt(&ok);
    if (!ok || options.jobs < 1)
        return QStringLiteral("--jobs needs a whole number of at least 1.");
    return {};
}

QString readExisting(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.existing))
        return {};
    const auto choice = ExistingChoices.indexOf(parser.value(s.existing));
    if (choice < 0)
        return QStringLiteral("--existing needs one of %1.")
            .arg(ExistingChoices.join(QStringLiteral(", ")));
    options.overrideBy(s.existing, static_cast<int>(choice));
    return {};
}

QString readMemory(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.memory))
        return {};
    bool ok = false;
    const qint64 megabytes = parser.value(s.memory).toLongLong(&ok);
    if (!ok || megabytes < 1)
        return QStringLiteral("--memory needs a whole number of megabytes of at least 1.");
    // Up to a petabyte: beyond it the byte count would overflow.
    constexpr qint64 MostMegabytes = qint64(1) << 30;
    if (megabytes > MostMegabytes)
        return QStringLiteral("--memory can be at most %1 megabytes (a petabyte).")
            .arg(MostMegabytes);
    options.memoryBytes = megabytes * 1024 * 1024;
    return {};
}

QString readShard(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (parser.isSet(s.shard) &&
        !parseShard(parser.value(s.shard), options.shard, options.shardCount))
        return QStringLiteral(
            "--shard needs K/N, two whole numbers with 1 <= K <= N, such as 2/3.");
    return {};
}

QString readReport(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    options.report = parser.value(s.report);
    if (parser.isSet(s.report) && options.report.isEmpty())
        return QStringLiteral("--report needs a file.");
    return {};
}

QString readOutput(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    if (!parser.isSet(s.output))
        return {};
    const QString output = parser.value(s.output);
    if (output.isEmpty())
        return QStringLiteral("--output needs a folder.");
    options.overrideBy(s.output, Paths::absolute(output));
    return {};
}

QString readSigning(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    options.signCert = parser.value(s.signCert);
    options.signKey = parser.value(s.signKey);
    options.passphraseFile = parser.value(s.passphraseFile);
    options.author = parser.value(s.author);
    options.credentials = parser.isSet(s.credentials);
    if (options.signCert.isEmpty() != options.signKey.isEmpty())
        return QStringLiteral("Signing needs both --sign-cert and --sign-key.");
    return {};
}

QString readMark(const QCommandLineParser &parser, const Switches &s, Options &options)
{
    options.detect = parser.isSet(s.detect);
    options.markKey = parser.value(s.markKey);
    if (parser.isSet(s.markKey) && options.markKey.isEmpty())
        return QStringLiteral("--mark-key needs a file.");
    if (!parser.isSet(s.markId))
        return {};
    OutputOptions checked;
    checked.setMarkNumber(parser.value(s.markId));
    if (!checked.markId())
        return BatchEngine::BadMarkNumberMessage;
    options.overrides.append({OutputOptions::field(u"invisibleMark"), true});
    options.overrides.append({OutputOptions::field(u"markNumber"), checked.markNumber()});
    return {};
}

QString readPaths(const QCommandLineParser &parser, const Switches &, Options &options)
{
    options.paths = parser.positionalArguments();
    if (options.paths.isEmpty())
        return QStringLiteral("Name at least one photo or folder.");
    return {};
}

// Parses into `options`; answers an error text for a usage error, or a null string.
QString parse(const QStringList &arguments, Options &options, QString &help)
{
    QCommandLineParser parser;
    const Switches switches;
    switches.addTo(parser);
    help = parser.helpText();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(QStringLiteral("help")))
        return QStringLiteral("help");

    options.stateFile = parser.value(switches.state);
    options.preset = parser.value(switches.preset);
    options.usePreset = parser.isSet(switches.preset);
    options.listPresets = parser.isSet(switches.listPresets);
    if (options.listPresets)
        return {};
    if (parser.isSet(switches.state) && parser.isSet(switches.preset))
        return QStringLiteral("Use either --state or --preset, not both.");
    options.dryRun = parser.isSet(switches.dryRun);
    options.exif = parser.isSet(switches.exif);
    options.autoPlace = parser.isSet(switches.autoPlace);
    options.autoContrast = parser.isSet(switches.autoContrast);
    for (const Step step :
         {readFormat, readQuality, readMetadata, readResize, readJobs, readExisting, readMemory,
          readShard, readReport, readOutput, readSigning, readMark, readPaths}) {
        if (QString error = step(parser, switches, options); !error.isNull())
            return error;
    }
    return {};
}

// The bar, the count, and the speed and time left once known, over the line drawn before.
QString progressBar(int done, int total, const ProgressEstimate &estimate)
{
    constexpr int Width = 30;
    const int filled = total > 0 ? done * Width / total : Width;
    QString bar =
        QStringLiteral("\r[%1%2] %3/%4")
            .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('.')))
            .arg(done)
            .arg(total);
    if (const QString speed = estimate.text(); !speed.isEmpty())
        bar += QStringLiteral("  ") + speed;
    return bar + QStringLiteral("\033[K");
}

// One run of the tool from its parsed arguments on: settings, photos, plan, engine, closing
// line. Each step prints what it has to say; one that ends the run answers the exit code.
class Invocation
{
public:
    Invocation(const Options &options, QTextStream &out, QTextStream &err, bool interactive)
        : m_options(options)
        , m_out(out)
        , m_err(err)
        , m_interactive(interactive)
    {}

    int exec();

private:
    // An exit code when the run ends at this step; nothing when it goes on.
    using Exit = std::optional<int>;
    // Counting the photos as they end, for the progress bar and the closing line.
    struct Progress
    {
        explicit Progress(int photos)
            : total(photos)
            , tally(photos)
            , estimate(photos)
        {}
        int total;
        BatchTally tally;
        ProgressEstimate estimate;
        QElapsedTimer clock;
    };

    Exit loadSettings();
    void applyOverrides();
    Exit gatherPhotos();
    int printExif() const;
    int printCredentials() const;
    Exit loadSigner();
    Exit checkOutput() const;
    int printPlan(const QList<int> &indices, const OutputPlan &plan) const;
    Exit openReport(const OutputPlan &plan);
    // Every file the run reads: the settings, the watermark pictures, the photos.
    QStringList inputs() const;
    int process(const QList<int> &indices, const OutputPlan &plan);
    void photoFinished(int index, const BatchEngine::FileResult &result, const OutputPlan &plan,
                       Progress &progress);
    int closingCode() const
    {
        return m_unreadable.isEmpty() ? BatchCommand::Success : BatchCommand::SomeFailed;
    }

    const Options &m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    const bool m_interactive;
    OverlayList m_overlays;
    std::shared_ptr<OutputOptions> m_outputOptions = std::make_shared<OutputOptions>();
    WorkFileList m_files;
    // The paths asked for that could not be read; the run then ends with 1.
    QStringList m_unreadable;
    RunReport m_report;
    std::shared_ptr<const OutputSigner> m_signer;
};

int Invocation::exec()
{
    if (const Exit exit = loadSettings())
        return *exit;
    applyOverrides();
    if (const Exit exit = gatherPhotos())
        return *exit;
    if (m_options.exif)
        return printExif();
    if (m_options.credentials)
        return printCredentials();
    if (const Exit exit = checkOutput())
        return *exit;
    if (const Exit exit = loadSigner())
        return *exit;
    const QList<int> indices = BatchEngine::shardIndices(static_cast<int>(m_files.size()),
                                                         m_options.shard, m_options.shardCount);
    const OutputPlan plan = BatchEngine::plan(m_files, *m_outputOptions);
    if (m_options.dryRun)
        return printPlan(indices, plan);
    if (const Exit exit = openReport(plan))
        return *exit;
    return process(indices, plan);
}

Invocation::Exit Invocation::loadSettings()
{
    if (m_options.usePreset) {
        const Status loaded = Presets::load(m_options.preset, m_overlays, m_outputOptions);
        if (!loaded && loaded.error().code == ENOENT) {
            QStringList known = Presets::names();
            for (QString &name : known)
                name = printable(name);
            m_err << "inkveil-batch: No preset named \"" << printable(m_options.preset) << "\"; "
                  << (known.isEmpty() ? QStringLiteral("none are saved yet.")
                                      : QStringLiteral("known presets:\n  ") +
                                            known.join(QStringLiteral("\n  ")))
                  << '\n';
            return BatchCommand::UsageError;
        }
        if (!loaded) {
            m_err << "inkveil-batch: Can't read the preset \"" << printable(m_options.preset)
                  << "\". " << printable(loaded.reason()) << '\n';
            return BatchCommand::UsageError;
        }
    } else if (!m_options.stateFile.isEmpty()) {
        if (!QFileInfo(m_options.stateFile).isReadable()) {
            m_err << "inkveil-batch: Can't read the state file " << m_options.stateFile << "\n";
            return BatchCommand::UsageError;
        }
        const StateFile::LoadResult loaded =
            StateFile::loadStateFrom(m_options.stateFile, m_overlays, m_outputOptions);
        if (loaded.damaged()) {
            m_err << "inkveil-batch: Can't read the state file " << m_options.stateFile << ". "
                  << loaded.problem << "\n";
            return BatchCommand::UsageError;
        }
    } else {
        const StateFile::LoadResult loaded = StateFile::loadState(m_overlays, m_outputOptions);
        if (loaded.damaged()) {
            m_err << "inkveil-batch: The saved watermarks and options can't be read. "
                  << loaded.problem << " Using the defaults";
            if (!loaded.keptAs.isEmpty())
                m_err << "; the damaged file is kept as " << loaded.keptAs;
            m_err << ".\n";
        }
    }
    return std::nullopt;
}

// Overrides for this run only: the state file is never written here.
void Invocation::applyOverrides()
{
    for (const auto &[field, value] : m_options.overrides)
        field->set(*m_outputOptions, value);
    if (!m_options.signCert.isEmpty()) {
        m_outputOptions->setSignCredentials(true);
        m_outputOptions->setSignCertificate(QFileInfo(m_options.signCert).absoluteFilePath());
        m_outputOptions->setSignKey(QFileInfo(m_options.signKey).absoluteFilePath());
    }
    if (!m_options.author.isEmpty())
        m_outputOptions->setSignAuthor(m_options.author);
    for (const auto &overlay : std::as_const(m_overlays)) {
        if (m_options.autoPlace)
            overlay->setAutoPlace(true);
        if (m_options.autoContrast)
            overlay->setAutoContrast(true);
    }
}

Invocation::Exit Invocation::gatherPhotos()
{
    QStringList absolute;
    for (const QString &path : m_options.paths)
        absolute.append(Paths::absolute(path));
    FileGathering::appendWorkFiles(m_files, FileGathering::expandPaths(absolute, &m_unreadable),
                                   &m_unreadable);
    // Reported before anything else, and the run ends with 1 even when every photo found is
    // written: the user asked for photos that were not processed.
    for (const QString &problem : std::as_const(m_unreadable))
        m_err << "inkveil-batch: " << problem << '\n';
    if (m_files.isEmpty()) {
        m_err << "inkveil-batch: No photos found in the given paths.\n";
        return BatchCommand::SomeFailed;
    }
    return std::nullopt;
}

int Invocation::printExif() const
{
    for (const auto &file : m_files) {
        m_out << printable(file->filePath()) << '\n';
        for (const QString &line : ExifSummary::lines(file->readExif()))
            m_out << "  " << printable(line) << '\n';
    }
    return closingCode();
}

int Invocation::printCredentials() const
{
    bool allValid = true;
    for (const auto &file : m_files) {
        m_out << printable(file->filePath()) << '\n';
        QFile photo(file->filePath());
        const Credentials found = CredentialReader::read(
            photo.open(QIODevice::ReadOnly) ? photo.readAll() : QByteArray());
        if (!found.present) {
            m_out << "  No content credentials\n";
            continue;
        }
        allValid = allValid && found.valid;
        m_out << "  Content credentials: "
              << (found.valid
                      ? QStringLiteral("valid")
                      : QStringLiteral("do not validate (%1)").arg(printable(found.problem)))
              << '\n';
        if (!found.signer.isEmpty())
            m_out << "  Signed by: " << printable(found.signer) << '\n';
        if (!found.author.isEmpty())
            m_out << "  Author: " << printable(found.author) << '\n';
        if (!found.actions.isEmpty())
            m_out << "  Actions: " << printable(found.actions.join(QStringLiteral(", "))) << '\n';
    }
    return allValid ? closingCode() : BatchCommand::SomeFailed;
}

// The signer is checked before the first photo: a key or certificate that can't sign ends the
// run with nothing written.
Invocation::Exit Invocation::loadSigner()
{
    if (!m_outputOptions->signCredentials())
        return std::nullopt;
    SigningIdentity::Files files{
        m_outputOptions->signCertificate(), m_outputOptions->signKey(), {}};
    if (!m_options.passphraseFile.isEmpty()) {
        QFile file(m_options.passphraseFile);
        if (!file.open(QIODevice::ReadOnly)) {
            m_err << "inkveil-batch: Can't read the passphrase file "
                  << printable(m_options.passphraseFile) << ".\n";
            return BatchCommand::UsageError;
        }
        // The first line, without its line end: spaces may belong to the passphrase.
        files.passphrase = file.readLine();
        while (files.passphrase.endsWith('\n') || files.passphrase.endsWith('\r'))
            files.passphrase.chop(1);
    } else {
        files.passphrase = qgetenv(PassphraseVariable);
    }
    const Result<std::shared_ptr<const SigningIdentity>> identity = SigningIdentity::load(files);
    if (!identity) {
        m_err << "inkveil-batch: " << printable(identity.reason()) << '\n';
        return BatchCommand::UsageError;
    }
    m_signer = std::make_shared<OutputSigner>(*identity, m_outputOptions->signAuthor());
    return std::nullopt;
}

Invocation::Exit Invocation::checkOutput() const
{
    if (!m_outputOptions->isFolderSet()) {
        m_err << "inkveil-batch: " << BatchEngine::NoFolderMessage
              << " Use --output DIR or set one in Inkveil.\n";
        return BatchCommand::UsageError;
    }
    if (const Status ready = BatchEngine::canStart(*m_outputOptions); !ready) {
        m_err << "inkveil-batch: " << printable(ready.reason()) << '\n';
        return BatchCommand::UsageError;
    }
    // Keeping both steps around the files in the folder, so each shard would plan around the
    // files the others had written so far; replacing and skipping plan the same names anywhere.
    if (m_options.shardCount > 1 &&
        m_outputOptions->existing() == OutputOptions::KeepBothExisting) {
        m_err << "inkveil-batch: --shard can't keep both files where one exists: each part would "
                 "rename around the files the others write. Use --existing replace or skip.\n";
        return BatchCommand::UsageError;
    }
    return std::nullopt;
}

int Invocation::printPlan(const QList<int> &indices, const OutputPlan &plan) const
{
    for (const int index : indices) {
        const auto &planned = plan.entries().at(index);
        m_out << printable(planned.sourcePath) << " -> " << printable(planned.outputPath) << '\n';
        if (planned.skip) {
            m_out << "  " << OutputPlan::SkippedMessage << '\n';
            continue;
        }
        if (planned.source) {
            m_out << "  Skipped: the output would replace this photo; sources are never "
                     "replaced.\n";
            continue;
        }
        if (!planned.thumbnailPath.isEmpty())
            m_out << "  thumbnail -> " << printable(planned.thumbnailPath) << '\n';
        if (m_outputOptions->resize())
            m_out << "  Size: " << SummaryText::outputSize(planned.sourcePath, *m_outputOptions)
                  << '\n';
        if (planned.collided)
            m_out << "  Renamed: an earlier photo has that name.\n";
        else if (planned.keptExisting)
            m_out << "  Renamed: a file of that name exists.\n";
        // The run refuses to write through a link; the plan says so rather than "replaces".
        if (SafeWrite::isSymLink(planned.outputPath))
            m_out << "  Fails: " << BatchEngine::cantWrite(0, SafeWrite::linkReason()) << '\n';
        else if (planned.exists)
            m_out << "  Replaces the file of that name.\n";
    }
    return closingCode();
}

Invocation::Exit Invocation::openReport(const OutputPlan &plan)
{
    if (m_options.report.isEmpty())
        return std::nullopt;
    // The report must not take the place of a photo or of any part's output.
    const QString reportPath = Paths::resolved(m_options.report);
    for (const auto &planned : plan.entries()) {
        if (reportPath == Paths::resolved(planned.sourcePath) ||
            reportPath == Paths::resolved(planned.outputPath) ||
            (!planned.thumbnailPath.isEmpty() &&
             reportPath == Paths::resolved(planned.thumbnailPath))) {
            m_err << "inkveil-batch: The report " << printable(m_options.report)
                  << " would replace a photo or an output of this batch.\n";
            return BatchCommand::UsageError;
        }
    }
    if (const Status opened = m_report.open(m_options.report, inputs()); !opened) {
        m_err << "inkveil-batch: Can't write the report " << printable(m_options.report) << ": "
              << printable(opened.reason()) << '\n';
        return BatchCommand::UsageError;
    }
    return std::nullopt;
}

QStringList Invocation::inputs() const
{
    QStringList paths;
    if (m_options.usePreset)
        paths.append(Presets::path(m_options.preset));
    else
        paths.append(m_options.stateFile.isEmpty() ? StateFile::pathForStateFile()
                                                   : m_options.stateFile);
    for (const auto &overlay : m_overlays) {
        if (overlay->isImage())
            paths.append(overlay->filePath());
    }
    for (const auto &file : m_files)
        paths.append(file->filePath());
    return paths;
}

int Invocation::process(const QList<int> &indices, const OutputPlan &plan)
{
    BatchEngine engine;
    if (m_options.memoryBytes > 0)
        engine.setMemoryBudget(m_options.memoryBytes);
    engine.setSigner(m_signer);
    engine.setMarkKeyPath(m_options.markKey);
    Progress progress(static_cast<int>(indices.size()));
    QObject::connect(&engine, &BatchEngine::fileFinished, &engine,
                     [&](int index, const BatchEngine::FileResult &result) {
                         photoFinished(index, result, plan, progress);
                     });
    QEventLoop loop;
    bool completed = false;
    QObject::connect(&engine, &BatchEngine::finished, &loop, [&](bool whole) {
        completed = whole;
        loop.quit();
    });
    QTimer interruptWatch;
    QObject::connect(&interruptWatch, &QTimer::timeout, &engine, [&] {
        if (interruptRequested)
            engine.stop();
    });
    interruptWatch.start(50);

    const int jobs = BatchEngine::workersFor(
        m_options.jobs > 0 ? m_options.jobs : QThread::idealThreadCount(), m_files.size());
    // What the wizard's summary notes before Start (renamed photos, files replaced or skipped,
    // watermark pictures that can't be read), said before anything is written.
    if (BatchEngine::canStart(*m_outputOptions)) {
        for (const QString &note :
             SummaryText::warnings(m_files, m_overlays, *m_outputOptions, &indices))
            m_err << "Note: " << note << '\n';
    }
    progress.clock.start();
    if (const Status started = engine.start(m_files, indices, m_overlays, m_outputOptions, jobs);
        !started) {
        m_err << "inkveil-batch: " << started.reason() << '\n';
        return BatchCommand::UsageError;
    }
    if (m_interactive)
        m_err << progressBar(0, progress.total, progress.estimate);
    m_err.flush();
    loop.exec();
    engine.wait();
    if (m_interactive)
        m_err << '\n';
    const bool stopped = !completed && interruptRequested;
    m_err << progress.tally.closingLine(stopped, progress.clock.elapsed()) << '\n';
    if (stopped)
        return BatchCommand::Interrupted;
    // A report with lines missing would tell less than what happened.
    if (const QString failure = m_report.failure(); !failure.isNull()) {
        m_err << "inkveil-batch: Can't write the report " << printable(m_options.report) << ": "
              << printable(failure) << '\n';
        return BatchCommand::SomeFailed;
    }
    return progress.tally.failed() == 0 ? closingCode() : BatchCommand::SomeFailed;
}

void Invocation::photoFinished(int index, const BatchEngine::FileResult &result,
                               const OutputPlan &plan, Progress &progress)
{
    progress.tally.add(result);
    progress.estimate.update(progress.tally.done(), progress.clock.elapsed());
    if (m_report.isOpen())
        m_report.add(m_files.at(index)->filePath(), plan.entries().at(index).outputPath, result);
    const QString path = printable(m_files.at(index)->filePath());
    if (result.status != BatchEngine::Status::Written || result.outputPath.isEmpty()) {
        if (m_interactive)
            m_err << "\r\033[K";
        m_err << path << ": " << printable(result.failure) << '\n';
    } else if (!m_interactive) {
        m_err << QStringLiteral("[%1/%2] %3 -> %4\n")
                     .arg(progress.tally.done())
                     .arg(progress.total)
                     .arg(path, printable(result.outputPath));
    }
    if (result.status == BatchEngine::Status::Written && !result.note.isEmpty()) {
        if (m_interactive)
            m_err << "\r\033[K";
        m_err << path << ": " << printable(result.note) << '\n';
    }
    if (m_interactive)
        m_err << progressBar(progress.tally.done(), progress.total, progress.estimate);
    m_err.flush();
}

} // namespace

void BatchCommand::interrupt()
{
    interruptRequested = true;
}

int BatchCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err,
                      bool interactive)
{
    interruptRequested = false;
    Options options;
    QString help;
    const QString usage = parse(arguments, options, help);
    if (usage == QLatin1String("help")) {
        out << help;
        return Success;
    }
    if (!usage.isNull()) {
        err << "inkveil-batch: " << usage << "\n\n" << help;
        return UsageError;
    }

    if (options.listPresets) {
        for (const QString &name : Presets::names())
            out << printable(name) << '\n';
        return Success;
    }
    if (options.detect)
        return MarkCommand::detect(options.paths, options.markKey, options.report, out, err);
    return Invocation(options, out, err, interactive).exec();
}

} // namespace inkveil
