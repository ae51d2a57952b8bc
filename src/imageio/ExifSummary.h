// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace inkveil {

class ExifData;

// The short EXIF summary of the selected source photos that the source files pane shows and
// the command-line tool prints. The records are read beforehand; the summary only formats.
class ExifSummary
{
public:
    ExifSummary() = delete;

    // "No files" when nothing is selected, "Multiple Selection" for more than one record,
    // otherwise the summary of the one record. The pointers must not be null.
    static QString text(const QList<const ExifData *> &selected);
    // "No EXIF data found" for a record that is not valid; otherwise three lines: the model
    // and the date, then exposure, f-number, ISO and focal length, then the pixel size and
    // the resolution, and a fourth with the lens, artist and copyright when the photo records
    // any of them. The maker is not shown.
    //     CAM-1 on 2006:08:14 10:30:00
    //     1/125s at f/5.6, ISO 200, FL 50 mm
    //     3008 x 2000 @ 300 dpi
    //     EF50mm f/1.8; by Ana Lima; (c) Ana Lima 2006
    static QString text(const ExifData &data);
    // The same, line by line: a line break inside the model or the date stays within its line.
    static QStringList lines(const ExifData &data);
};

} // namespace inkveil
