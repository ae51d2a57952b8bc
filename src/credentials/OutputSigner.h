// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "credentials/Provenance.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace inkveil {

class SigningIdentity;

// Signs a run's outputs, one finished file at a time, from any worker: the identity and the
// author are the run's; what each photo was made from and what was done to it are the photo's.
class OutputSigner
{
public:
    OutputSigner(std::shared_ptr<const SigningIdentity> identity, QString author);

    struct Signed
    {
        // The output with its credentials inside, or as it was when they go beside it.
        QByteArray asset;
        // A .c2pa store to write next to the output, for formats that carry none inside.
        QByteArray sidecar;
        // What became of the source's own credentials, for the photo's note; or empty.
        QString sourceNote;
    };

    // Signs `asset`, a file of media type `provenance.format`, made from the photo at
    // `sourcePath`, whose own credentials become the ingredient's when they validate.
    Result<Signed> sign(QByteArray asset, Provenance provenance, const QString &sourcePath) const;

    const SigningIdentity &identity() const { return *m_identity; }
    const QString &author() const { return m_author; }

    // The media type of a file by its name, as a manifest names formats.
    static QString mediaType(const QString &fileName);
    // The sidecar's path for an output: its name with ".c2pa" for its extension.
    static QString sidecarPath(const QString &outputPath);

    // Notes on the source's credentials.
    static const QString SourceCarriedNote;
    static const QString SourceInvalidNote;

private:
    std::shared_ptr<const SigningIdentity> m_identity;
    QString m_author;
};

} // namespace inkveil
