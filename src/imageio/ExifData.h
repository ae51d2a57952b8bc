// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "imageio/DecimalNumber.h"

#include <QString>
#include <QtGlobal>

namespace inkveil {

// The EXIF values of one source photo, as far as the source files pane and the watermark
// placeholders use them. Owned by its work file; filled at most once by ExifParser, which
// writes only through the setters. A field whose tag the photo lacks keeps its value from
// creation, so a record can be valid with, say, an empty make.
class ExifData
{
public:
    ExifData() = default;

    // The photo held an EXIF block with sound headers (not that any tag was found).
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }
    QString make() const { return m_make; }
    void setMake(const QString &make) { m_make = make; }
    QString model() const { return m_model; }
    void setModel(const QString &model) { m_model = model; }
    // The ImageDescription text, which is also the record's text form.
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }
    // As the camera writes it: "YYYY:MM:DD HH:MM:SS".
    QString dateTime() const { return m_dateTime; }
    void setDateTime(const QString &dateTime) { m_dateTime = dateTime; }
    // Dots per unit; infinite (or not a number) when the photo records a zero denominator.
    float resx() const { return m_resx; }
    void setResx(float resx) { m_resx = resx; }
    float resy() const { return m_resy; }
    void setResy(float resy) { m_resy = resy; }
    // The unit of resx and resy as EXIF numbers it: 1 none recorded, 2 inch (also when the photo
    // does not say), 3 centimetre.
    quint16 resolutionUnit() const { return m_resolutionUnit; }
    void setResolutionUnit(quint16 unit) { m_resolutionUnit = unit; }
    // Pixel size; a dimension above 65535 keeps its low 16 bits.
    quint16 width() const { return m_width; }
    void setWidth(quint16 width) { m_width = width; }
    quint16 height() const { return m_height; }
    void setHeight(quint16 height) { m_height = height; }
    DecimalNumber fNumber() const { return m_fNumber; }
    void setFNumber(const DecimalNumber &fNumber) { m_fNumber = fNumber; }
    // In millimetres.
    DecimalNumber focalLength() const { return m_focalLength; }
    void setFocalLength(const DecimalNumber &focalLength) { m_focalLength = focalLength; }
    // Seconds as the unreduced fraction the camera stored: "10/1250".
    QString exposure() const { return m_exposure; }
    void setExposure(const QString &exposure) { m_exposure = exposure; }
    quint16 iso() const { return m_iso; }
    void setIso(quint16 iso) { m_iso = iso; }
    // The 35 mm equivalent focal length in millimetres.
    quint16 kbFl() const { return m_kbFl; }
    void setKbFl(quint16 kbFl) { m_kbFl = kbFl; }
    // Who took the photo, as the camera's owner setting wrote it.
    QString artist() const { return m_artist; }
    void setArtist(const QString &artist) { m_artist = artist; }
    // The photographer's copyright notice (the editor's when the photographer left theirs
    // blank).
    QString copyright() const { return m_copyright; }
    void setCopyright(const QString &copyright) { m_copyright = copyright; }
    QString lensModel() const { return m_lensModel; }
    void setLensModel(const QString &lensModel) { m_lensModel = lensModel; }

    // Field by field; a resolution that is not a number equals nothing.
    bool operator==(const ExifData &other) const;

private:
    bool m_valid = false;
    QString m_make{QLatin1String("")};
    QString m_model{QLatin1String("")};
    QString m_description{QLatin1String("")};
    QString m_dateTime{QLatin1String("")};
    float m_resx = 72.0f;
    float m_resy = 72.0f;
    quint16 m_resolutionUnit = 2;
    quint16 m_width = 0;
    quint16 m_height = 0;
    DecimalNumber m_fNumber;
    DecimalNumber m_focalLength;
    QString m_exposure{QLatin1String("")};
    quint16 m_iso = 0;
    quint16 m_kbFl = 0;
    QString m_artist{QLatin1String("")};
    QString m_copyright{QLatin1String("")};
    QString m_lensModel{QLatin1String("")};
};

} // namespace inkveil
