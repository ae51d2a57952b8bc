// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/OutputSigner.h"

#include "credentials/ContentCredentials.h"
#include "credentials/CredentialReader.h"
#include "credentials/SigningIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace inkveil {

const QString OutputSigner::SourceCarriedNote =
    QStringLiteral("Its source's content credentials are signed in as its ingredient.");
const QString OutputSigner::SourceInvalidNote =
    QStringLiteral("Its source's content credentials don't validate (%1); they are marked so and "
                   "not carried.");

namespace {

// A source photo larger than this is not read again for its credentials.
constexpr qint64 MostSourceBytes = qint64(1) << 30;

} // namespace

OutputSigner::OutputSigner(std::shared_ptr<const SigningIdentity> identity, QString author)
    : m_identity(std::move(identity))
    , m_author(std::move(author))
{}

QString OutputSigner::mediaType(const QString &fileName)
{
    static const QMimeDatabase database;
    return database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
}

QString OutputSigner::sidecarPath(const QString &outputPath)
{
    const QFileInfo info(outputPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".c2pa"));
}

Result<OutputSigner::Signed> OutputSigner::sign(QByteArray asset, Provenance provenance,
                                                const QString &sourcePath) const
{
    Signed signedOutput;
    provenance.author = m_author;
    provenance.sourceTitle = QFileInfo(sourcePath).fileName();
    provenance.sourceFormat = mediaType(sourcePath);
    // Mapped, not read: a source without credentials is only looked at up to its image data.
    QFile source(sourcePath);
    uchar *mapped = source.open(QIODevice::ReadOnly) && source.size() <= MostSourceBytes
                        ? source.map(0, source.size())
                        : nullptr;
    if (mapped) {
        const Credentials found = CredentialReader::read(QByteArray::fromRawData(
            reinterpret_cast<const char *>(mapped), static_cast<qsizetype>(source.size())));
        provenance.sourceStore = found.store;
        provenance.sourceValid = found.valid;
        if (found.present)
            signedOutput.sourceNote =
                found.valid ? SourceCarriedNote : SourceInvalidNote.arg(found.problem);
    }
    if (ContentCredentials::embeds(provenance.format)) {
        Result<QByteArray> embedded =
            ContentCredentials::sign(std::move(asset), provenance, *m_identity);
        if (!embedded)
            return embedded.error();
        signedOutput.asset = std::move(*embedded);
        return signedOutput;
    }
    Result<QByteArray> sidecar = ContentCredentials::sidecar(asset, provenance, *m_identity);
    if (!sidecar)
        return sidecar.error();
    signedOutput.asset = std::move(asset);
    signedOutput.sidecar = std::move(*sidecar);
    return signedOutput;
}

} // namespace inkveil
