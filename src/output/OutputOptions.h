// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "archive/ArchiveKey.h"
#include "imageio/ImageFormat.h"
#include "imageio/ResizeRule.h"

#include <QDir>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>

#include <limits>
#include <memory>
#include <optional>
#include <type_traits>

namespace inkveil {

// Where and how the batch writes its results, and the builder of output names and paths.
// One instance is shared by the model, the output pane, the summary and the batch; the pane
// binds its controls to the properties by name. The options themselves, with their archive keys
// and defaults, are declared once, in fields().
class OutputOptions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY folderChanged)
    Q_PROPERTY(bool folderCreate READ folderCreate WRITE setFolderCreate NOTIFY folderCreateChanged)
    Q_PROPERTY(QString fileFormat READ fileFormat WRITE setFileFormat NOTIFY fileFormatChanged)
    Q_PROPERTY(int quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(bool resize READ resize WRITE setResize NOTIFY resizeChanged)
    Q_PROPERTY(int width READ width WRITE setWidth NOTIFY widthChanged)
    Q_PROPERTY(int height READ height WRITE setHeight NOTIFY heightChanged)
    Q_PROPERTY(BaseName baseIndex READ baseIndex WRITE setBaseIndex NOTIFY baseIndexChanged)
    Q_PROPERTY(QString custom READ custom WRITE setCustom NOTIFY customChanged)
    Q_PROPERTY(bool useCounter READ useCounter WRITE setUseCounter NOTIFY useCounterChanged)
    Q_PROPERTY(int digits READ digits WRITE setDigits NOTIFY digitsChanged)
    Q_PROPERTY(int lastValue READ lastValue WRITE setLastValue NOTIFY lastValueChanged)
    Q_PROPERTY(bool usePostfix READ usePostfix WRITE setUsePostfix NOTIFY usePostfixChanged)
    Q_PROPERTY(QString postfix READ postfix WRITE setPostfix NOTIFY postfixChanged)
    Q_PROPERTY(bool createThumbnails READ createThumbnails WRITE setCreateThumbnails NOTIFY
                   createThumbnailsChanged)
    Q_PROPERTY(int fitIndex READ fitIndex WRITE setFitIndex NOTIFY fitIndexChanged)
    Q_PROPERTY(
        ThumbnailSource sourceIndex READ sourceIndex WRITE setSourceIndex NOTIFY sourceIndexChanged)
    Q_PROPERTY(Existing existing READ existing WRITE setExisting NOTIFY existingChanged)
    Q_PROPERTY(Metadata metadata READ metadata WRITE setMetadata NOTIFY metadataChanged)
    Q_PROPERTY(ResizeMode resizeMode READ resizeMode WRITE setResizeMode NOTIFY resizeModeChanged)
    Q_PROPERTY(int resizeEdge READ resizeEdge WRITE setResizeEdge NOTIFY resizeEdgeChanged)
    Q_PROPERTY(
        int resizePercent READ resizePercent WRITE setResizePercent NOTIFY resizePercentChanged)
    Q_PROPERTY(float resizeMegapixels READ resizeMegapixels WRITE setResizeMegapixels NOTIFY
                   resizeMegapixelsChanged)
    Q_PROPERTY(bool neverEnlarge READ neverEnlarge WRITE setNeverEnlarge NOTIFY neverEnlargeChanged)
    // Content credentials: whether to sign, with which certificate chain and key, and the
    // author to name. The state file keeps the paths only, never a key or its passphrase.
    Q_PROPERTY(bool signCredentials READ signCredentials WRITE setSignCredentials NOTIFY
                   signCredentialsChanged)
    Q_PROPERTY(QString signCertificate READ signCertificate WRITE setSignCertificate NOTIFY
                   signCertificateChanged)
    Q_PROPERTY(QString signKey READ signKey WRITE setSignKey NOTIFY signKeyChanged)
    Q_PROPERTY(QString signAuthor READ signAuthor WRITE setSignAuthor NOTIFY signAuthorChanged)
    Q_PROPERTY(
        bool invisibleMark READ invisibleMark WRITE setInvisibleMark NOTIFY invisibleMarkChanged)
    Q_PROPERTY(QString markNumber READ markNumber WRITE setMarkNumber NOTIFY markNumberChanged)

public:
    // The choices among the options. Each is stored as its number, and a state file may hold
    // any number: the comments say what one outside the list does.

    // The base of an output's name; any other number names after the source file, though the
    // summary reads it as the custom name.
    enum BaseName : int { SourceName = 0, CustomName = 1 };
    Q_ENUM(BaseName)
    // Where a thumbnail is made from; any other number takes the watermarked image.
    enum ThumbnailSource : int { OriginalImage = 0, WatermarkedImage = 1 };
    Q_ENUM(ThumbnailSource)
    // What a run does where a file of the output's name is already in the output folder; any
    // other number replaces.
    enum Existing : int { ReplaceExisting = 0, SkipExisting = 1, KeepBothExisting = 2 };
    Q_ENUM(Existing)
    // Camera data written into the outputs (MetadataCopier::Mode); any other number keeps all.
    enum Metadata : int { KeepMetadata = 0, PrivateMetadata = 1, NoMetadata = 2 };
    Q_ENUM(Metadata)
    // How `resize` sizes an output (ResizeRule::Mode); any other number fits into the box.
    enum ResizeMode : int {
        FitBox = ResizeRule::FitBox,
        LongEdge = ResizeRule::LongEdge,
        ShortEdge = ResizeRule::ShortEdge,
        Percent = ResizeRule::Percent,
        Megapixels = ResizeRule::Megapixels
    };
    Q_ENUM(ResizeMode)

    // One output option as the state file and the pane know it. The key is also the name of the
    // option's property and of its control on the output pane.
    struct Field
    {
        const char *key;
        ArchiveKind kind;
        // A fresh OutputOptions holds this.
        QVariant defaultValue;
        // The inkveil-batch option that overrides the field for one run, if any.
        const char *option = nullptr;
        // The archive's ways to the value: through the property of the key's name.
        QVariant get(const OutputOptions &options) const;
        void set(OutputOptions &options, const QVariant &value) const;
        // Whether an absent key keeps the default instead of reading as the empty value of its
        // kind; every output option reads the empty value, as it always has.
        bool keepDefaultWhenAbsent = false;
        // A switch that is written only when on (an absent key reads as off).
        bool writtenOnlyWhenOn = false;
    };
    // Every option, in the order the state file writes them.
    static const QList<Field> &fields();
    static const Field *field(QStringView key);
    static const Field *fieldOfOption(QStringView option);

    explicit OutputOptions(QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder)
    {
        assign(m_folder, folder, &OutputOptions::folderChanged);
    }
    bool folderCreate() const { return m_folderCreate; }
    void setFolderCreate(bool folderCreate)
    {
        assign(m_folderCreate, folderCreate, &OutputOptions::folderCreateChanged);
    }
    // The format's name as set, which is also every output file's extension ("jpg" stays
    // "jpg"); a state file may hold a name no format goes by.
    QString fileFormat() const { return m_fileFormat; }
    void setFileFormat(const QString &fileFormat)
    {
        assign(m_fileFormat, fileFormat, &OutputOptions::fileFormatChanged);
    }
    int quality() const { return m_quality; }
    void setQuality(int quality) { assign(m_quality, quality, &OutputOptions::qualityChanged); }
    bool resize() const { return m_resize; }
    void setResize(bool resize) { assign(m_resize, resize, &OutputOptions::resizeChanged); }
    int width() const { return m_width; }
    void setWidth(int width) { assign(m_width, width, &OutputOptions::widthChanged); }
    int height() const { return m_height; }
    void setHeight(int height) { assign(m_height, height, &OutputOptions::heightChanged); }
    BaseName baseIndex() const { return m_baseIndex; }
    void setBaseIndex(BaseName baseIndex)
    {
        assign(m_baseIndex, baseIndex, &OutputOptions::baseIndexChanged);
    }
    // Never null: a null value is stored as the empty string.
    QString custom() const { return m_custom; }
    void setCustom(const QString &custom)
    {
        assign(m_custom, neverNull(custom), &OutputOptions::customChanged);
    }
    bool useCounter() const { return m_useCounter; }
    void setUseCounter(bool useCounter)
    {
        assign(m_useCounter, useCounter, &OutputOptions::useCounterChanged);
    }
    int digits() const { return m_digits; }
    void setDigits(int digits) { assign(m_digits, digits, &OutputOptions::digitsChanged); }
    int lastValue() const { return m_lastValue; }
    void setLastValue(int lastValue)
    {
        assign(m_lastValue, lastValue, &OutputOptions::lastValueChanged);
    }
    bool usePostfix() const { return m_usePostfix; }
    void setUsePostfix(bool usePostfix)
    {
        assign(m_usePostfix, usePostfix, &OutputOptions::usePostfixChanged);
    }
    // Never null: a null value is stored as the empty string.
    QString postfix() const { return m_postfix; }
    void setPostfix(const QString &postfix)
    {
        assign(m_postfix, neverNull(postfix), &OutputOptions::postfixChanged);
    }
    bool createThumbnails() const { return m_createThumbnails; }
    void setCreateThumbnails(bool createThumbnails)
    {
        assign(m_createThumbnails, createThumbnails, &OutputOptions::createThumbnailsChanged);
    }
    // Index into the thumbnail size table (thumbnailDim).
    int fitIndex() const { return m_fitIndex; }
    void setFitIndex(int fitIndex)
    {
        assign(m_fitIndex, fitIndex, &OutputOptions::fitIndexChanged);
    }
    ThumbnailSource sourceIndex() const { return m_sourceIndex; }
    void setSourceIndex(ThumbnailSource sourceIndex)
    {
        assign(m_sourceIndex, sourceIndex, &OutputOptions::sourceIndexChanged);
    }
    Existing existing() const { return m_existing; }
    void setExisting(Existing existing)
    {
        assign(m_existing, existing, &OutputOptions::existingChanged);
    }
    Metadata metadata() const { return m_metadata; }
    void setMetadata(Metadata metadata)
    {
        assign(m_metadata, metadata, &OutputOptions::metadataChanged);
    }

    ResizeMode resizeMode() const { return m_resizeMode; }
    void setResizeMode(ResizeMode resizeMode)
    {
        assign(m_resizeMode, resizeMode, &OutputOptions::resizeModeChanged);
    }
    int resizeEdge() const { return m_resizeEdge; }
    void setResizeEdge(int resizeEdge)
    {
        assign(m_resizeEdge, resizeEdge, &OutputOptions::resizeEdgeChanged);
    }
    int resizePercent() const { return m_resizePercent; }
    void setResizePercent(int resizePercent)
    {
        assign(m_resizePercent, resizePercent, &OutputOptions::resizePercentChanged);
    }
    float resizeMegapixels() const { return m_resizeMegapixels; }
    void setResizeMegapixels(float resizeMegapixels)
    {
        assign(m_resizeMegapixels, resizeMegapixels, &OutputOptions::resizeMegapixelsChanged);
    }
    bool neverEnlarge() const { return m_neverEnlarge; }
    void setNeverEnlarge(bool neverEnlarge)
    {
        assign(m_neverEnlarge, neverEnlarge, &OutputOptions::neverEnlargeChanged);
    }
    // The rule the resize fields make up; whether to resize at all is resize().
    ResizeRule resizeRule() const;
    // Every output carries the invisible owner mark (mark/MarkEmbedder): the mark number, and
    // the photo's counter value as its serial.
    bool invisibleMark() const { return m_invisibleMark; }
    void setInvisibleMark(bool invisibleMark)
    {
        assign(m_invisibleMark, invisibleMark, &OutputOptions::invisibleMarkChanged);
    }
    // The owner's mark number as typed, in decimal.
    QString markNumber() const { return m_markNumber; }
    void setMarkNumber(const QString &markNumber)
    {
        assign(m_markNumber, markNumber, &OutputOptions::markNumberChanged);
    }
    // The mark number, or nothing when the text is not a whole number the mark can carry
    // (0 to MarkPayload::MaxId).
    std::optional<quint64> markId() const;

    bool signCredentials() const { return m_signCredentials; }
    void setSignCredentials(bool sign)
    {
        assign(m_signCredentials, sign, &OutputOptions::signCredentialsChanged);
    }
    QString signCertificate() const { return m_signCertificate; }
    void setSignCertificate(const QString &path)
    {
        assign(m_signCertificate, path, &OutputOptions::signCertificateChanged);
    }
    QString signKey() const { return m_signKey; }
    void setSignKey(const QString &path)
    {
        assign(m_signKey, path, &OutputOptions::signKeyChanged);
    }
    QString signAuthor() const { return m_signAuthor; }
    void setSignAuthor(const QString &author)
    {
        assign(m_signAuthor, author, &OutputOptions::signAuthorChanged);
    }

    // Edge of the square box a thumbnail is fitted into, by index of the size table; 0 for
    // indexes 1 and 5 and for any index outside the table.
    static int thumbnailDim(int index);
    // A folder as typed, with a leading "~" standing for the home folder: the full path, or a
    // null string for a relative path (which would depend on the folder the program was
    // started from). Empty stays empty.
    static QString expandedFolder(const QString &typed, const QString &home = QDir::homePath());
    // Stays at the largest int rather than overflowing.
    void incrementCounter()
    {
        setLastValue(m_lastValue < std::numeric_limits<int>::max() ? m_lastValue + 1 : m_lastValue);
    }
    // lastValue as exactly `digits` characters, zero-padded, keeping the low digits.
    QString counterString() const { return counterString(m_lastValue); }
    // The same for another counter value (the batch numbers file i with start + i).
    QString counterString(int value) const;
    // The output file name for a source file name (null: use the custom name).
    QString buildFileName(const QString &sourceName) const
    {
        return buildFileName(sourceName, m_lastValue);
    }
    QString buildFileName(const QString &sourceName, int counterValue) const;
    // The full output path for an output file name; creates the output folder when asked to.
    // Callers check isFolderSet() first: an unset folder is never turned into a path.
    QString buildFinalPath(const QString &fileName) const;
    // The full thumbnail path; creates the thumbs folder when asked to.
    QString buildFinalThumbsPath(const QString &fileName) const;
    // Is there an output folder to write into at all? Only a full path counts: a relative one
    // would write into whatever folder the program was started from.
    bool isFolderSet() const { return QDir::isAbsolutePath(m_folder); }
    // Why the naming options would put a file anywhere but in the output folder (a custom name
    // or postfix holding "/" or a NUL, being "." or "..", an empty custom name), or a null
    // string when they are fine. A run does not start while there is a reason.
    QString nameProblem() const;

    ArchivedRecord encode() const;
    static std::shared_ptr<OutputOptions> decode(const ArchivedRecord &record);
    static const QString ClassName;

Q_SIGNALS:
    void folderChanged();
    void folderCreateChanged();
    void fileFormatChanged();
    void qualityChanged();
    void resizeChanged();
    void widthChanged();
    void heightChanged();
    void baseIndexChanged();
    void customChanged();
    void useCounterChanged();
    void digitsChanged();
    void lastValueChanged();
    void usePostfixChanged();
    void postfixChanged();
    void createThumbnailsChanged();
    void fitIndexChanged();
    void sourceIndexChanged();
    void existingChanged();
    void metadataChanged();
    void resizeModeChanged();
    void resizeEdgeChanged();
    void resizePercentChanged();
    void resizeMegapixelsChanged();
    void neverEnlargeChanged();
    void signCredentialsChanged();
    void signCertificateChanged();
    void signKeyChanged();
    void signAuthorChanged();
    void invisibleMarkChanged();
    void markNumberChanged();

private:
    // Setting the value held does nothing; for text, null and empty differ.
    template <typename V> void assign(V &member, const V &value, void (OutputOptions::*changed)())
    {
        if constexpr (std::is_same_v<V, QString>) {
            if (value.isNull() == member.isNull() && value == member)
                return;
        } else if (value == member) {
            return;
        }
        member = value;
        Q_EMIT(this->*changed)();
    }
    static QString neverNull(const QString &text)
    {
        return text.isNull() ? QLatin1String("") : text;
    }

    // The defaults are the fields' table's; see fields().
    // Output folder, an absolute path; may or may not end in "/".
    QString m_folder;
    // Create the output and thumbnail folders when they are missing.
    bool m_folderCreate = false;
    QString m_fileFormat;
    // 0 to 100, for the formats written at a quality.
    int m_quality = 0;
    // Fit each output into width x height pixels.
    bool m_resize = false;
    int m_width = 0;
    int m_height = 0;
    BaseName m_baseIndex = SourceName;
    QString m_custom;
    bool m_useCounter = false;
    // Counter width in characters, 0 to 10.
    int m_digits = 0;
    // The counter value the next output file gets.
    int m_lastValue = 0;
    bool m_usePostfix = false;
    QString m_postfix;
    bool m_createThumbnails = false;
    int m_fitIndex = 0;
    ThumbnailSource m_sourceIndex = OriginalImage;
    Existing m_existing = ReplaceExisting;
    Metadata m_metadata = KeepMetadata;
    // The other ways of resizing than into the box, and the shrink-only switch of all of them.
    ResizeMode m_resizeMode = FitBox;
    int m_resizeEdge = 0;
    int m_resizePercent = 0;
    float m_resizeMegapixels = 0.0f;
    bool m_neverEnlarge = false;
    bool m_signCredentials = false;
    QString m_signCertificate;
    QString m_signKey;
    QString m_signAuthor;
    bool m_invisibleMark = false;
    QString m_markNumber;
};

} // namespace inkveil
