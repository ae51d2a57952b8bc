// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "archive/ArchiveKey.h"

#include <QDir>
#include <QObject>
#include <QString>

#include <limits>
#include <memory>

namespace inkveil {

// Where and how the batch writes its results, and the builder of output names and paths.
// One instance is shared by the model, the output pane, the summary and the batch; the pane
// binds its controls to the properties by name.
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
    Q_PROPERTY(int baseIndex READ baseIndex WRITE setBaseIndex NOTIFY baseIndexChanged)
    Q_PROPERTY(QString custom READ custom WRITE setCustom NOTIFY customChanged)
    Q_PROPERTY(bool useCounter READ useCounter WRITE setUseCounter NOTIFY useCounterChanged)
    Q_PROPERTY(int digits READ digits WRITE setDigits NOTIFY digitsChanged)
    Q_PROPERTY(int lastValue READ lastValue WRITE setLastValue NOTIFY lastValueChanged)
    Q_PROPERTY(bool usePostfix READ usePostfix WRITE setUsePostfix NOTIFY usePostfixChanged)
    Q_PROPERTY(QString postfix READ postfix WRITE setPostfix NOTIFY postfixChanged)
    Q_PROPERTY(bool createThumbnails READ createThumbnails WRITE setCreateThumbnails NOTIFY
                   createThumbnailsChanged)
    Q_PROPERTY(int fitIndex READ fitIndex WRITE setFitIndex NOTIFY fitIndexChanged)
    Q_PROPERTY(int sourceIndex READ sourceIndex WRITE setSourceIndex NOTIFY sourceIndexChanged)
    Q_PROPERTY(int existing READ existing WRITE setExisting NOTIFY existingChanged)
    Q_PROPERTY(int metadata READ metadata WRITE setMetadata NOTIFY metadataChanged)

public:
    explicit OutputOptions(QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    bool folderCreate() const { return m_folderCreate; }
    void setFolderCreate(bool folderCreate);
    QString fileFormat() const { return m_fileFormat; }
    void setFileFormat(const QString &fileFormat);
    int quality() const { return m_quality; }
    void setQuality(int quality);
    bool resize() const { return m_resize; }
    void setResize(bool resize);
    int width() const { return m_width; }
    void setWidth(int width);
    int height() const { return m_height; }
    void setHeight(int height);
    int baseIndex() const { return m_baseIndex; }
    void setBaseIndex(int baseIndex);
    QString custom() const { return m_custom; }
    void setCustom(const QString &custom);
    bool useCounter() const { return m_useCounter; }
    void setUseCounter(bool useCounter);
    int digits() const { return m_digits; }
    void setDigits(int digits);
    int lastValue() const { return m_lastValue; }
    void setLastValue(int lastValue);
    bool usePostfix() const { return m_usePostfix; }
    void setUsePostfix(bool usePostfix);
    QString postfix() const { return m_postfix; }
    void setPostfix(const QString &postfix);
    bool createThumbnails() const { return m_createThumbnails; }
    void setCreateThumbnails(bool createThumbnails);
    int fitIndex() const { return m_fitIndex; }
    void setFitIndex(int fitIndex);
    int sourceIndex() const { return m_sourceIndex; }
    void setSourceIndex(int sourceIndex);
    // What a run does where a file of the output's name is already in the output folder.
    enum Existing { ReplaceExisting = 0, SkipExisting = 1, KeepBothExisting = 2 };
    int existing() const { return m_existing; }
    void setExisting(int existing);
    int metadata() const { return m_metadata; }
    void setMetadata(int metadata);

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

private:
    // Output folder, an absolute path; may or may not end in "/".
    QString m_folder{QLatin1String("")};
    // Create the output and thumbnail folders when they are missing.
    bool m_folderCreate = true;
    // Format name, also the extension of every output file.
    QString m_fileFormat{QStringLiteral("jpeg")};
    // JPEG quality in percent.
    int m_quality = 90;
    // Fit each output into width x height pixels.
    bool m_resize = false;
    int m_width = 640;
    int m_height = 480;
    // 0: the source file's own name; 1: the custom name.
    int m_baseIndex = 0;
    // Custom base name; never null.
    QString m_custom{QStringLiteral("image")};
    bool m_useCounter = false;
    // Counter width in characters, 0 to 10.
    int m_digits = 5;
    // The counter value the next output file gets.
    int m_lastValue = 1;
    bool m_usePostfix = false;
    // Never null.
    QString m_postfix{QStringLiteral("_iv")};
    bool m_createThumbnails = false;
    // Index into the thumbnail size table.
    int m_fitIndex = 2;
    // 0: thumbnail from the source file; otherwise from the watermarked image.
    int m_sourceIndex = 0;
    // An Existing value; anything else replaces, as 0 does.
    int m_existing = ReplaceExisting;
    // Camera data written into the outputs: 0 all of it, 1 all but location and serial numbers,
    // 2 none.
    int m_metadata = 0;
};

} // namespace inkveil
