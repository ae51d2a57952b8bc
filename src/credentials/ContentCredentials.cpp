// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/ContentCredentials.h"

#include "credentials/AssetContainer.h"
#include "credentials/Jumbf.h"
#include "credentials/ManifestParts.h"
#include "credentials/OpenSsl.h"
#include "credentials/SigningIdentity.h"

#include <QCborValue>
#include <QUuid>

#include <optional>

namespace inkveil::ContentCredentials {

namespace {

using Jumbf::Kind;

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// One manifest being written: its assertions are made once; the data hash, which depends on
// where the store lands and how long it is, is made for each try at its length.
class ManifestWriter
{
public:
    ManifestWriter(const Provenance &provenance, const SigningIdentity &identity)
        : m_provenance(provenance)
        , m_identity(identity)
        , m_label(QStringLiteral("urn:c2pa:") + newUuid())
    {
        carrySourceManifests();
        m_ingredient = assertion(ManifestParts::IngredientLabel,
                                 ManifestParts::ingredient(provenance, m_sourceManifest));
        m_actions = assertion(ManifestParts::ActionsLabel,
                              ManifestParts::actions(provenance, m_ingredient));
        if (!provenance.author.isEmpty())
            m_author =
                Jumbf::superBox(Kind::Json, ManifestParts::CreativeWorkLabel,
                                Jumbf::box("json", ManifestParts::creativeWork(provenance.author)));
    }

    // The whole store, its data hash leaving out `exclusion`.
    Result<QByteArray> store(const QByteArray &hash, const AssetContainer::Range *exclusion) const
    {
        const QByteArray dataHash =
            assertion(ManifestParts::DataHashLabel, ManifestParts::dataHash(hash, exclusion));
        QList<QByteArray> assertions{m_ingredient, m_actions, dataHash};
        if (!m_author.isEmpty())
            assertions.insert(2, m_author);
        const QByteArray claim =
            ManifestParts::claim(m_provenance, m_label, ManifestParts::assertionLinks(assertions));
        const Result<QByteArray> signature = ManifestParts::sign1(claim, m_identity);
        if (!signature)
            return signature.error();
        const QByteArray manifest = Jumbf::superBox(
            Kind::Manifest, m_label,
            Jumbf::superBox(Kind::Assertions, QStringLiteral("c2pa.assertions"),
                            assertions.join()) +
                Jumbf::cborBox(Kind::Claim, QStringLiteral("c2pa.claim.v2"), claim) +
                Jumbf::cborBox(Kind::Signature, QStringLiteral("c2pa.signature"), *signature));
        return Jumbf::superBox(Kind::Store, QStringLiteral("c2pa"), m_carried + manifest);
    }

private:
    static QByteArray assertion(const QString &label, const QCborValue &value)
    {
        return Jumbf::cborBox(Kind::Cbor, label, value.toCbor());
    }

    // A source manifest that validated comes along whole, with the manifests it built on, so
    // its chain can be checked from our store; one that didn't is never passed on as if it did.
    void carrySourceManifests()
    {
        if (m_provenance.sourceStore.isEmpty() || !m_provenance.sourceValid)
            return;
        const Result<Jumbf::Node> source = Jumbf::parse(m_provenance.sourceStore);
        if (!source || source->children.isEmpty())
            return;
        for (const Jumbf::Node &manifest : source->children)
            m_carried += Jumbf::box("jumb", manifest.contents);
        m_sourceManifest = source->children.last();
    }

    const Provenance &m_provenance;
    const SigningIdentity &m_identity;
    const QString m_label;
    QByteArray m_carried;
    std::optional<Jumbf::Node> m_sourceManifest;
    QByteArray m_ingredient;
    QByteArray m_actions;
    QByteArray m_author;
};

} // namespace

bool embeds(const QString &mimeType)
{
    return mimeType == QLatin1String("image/jpeg") || mimeType == QLatin1String("image/png");
}

Result<QByteArray> sign(QByteArray asset, const Provenance &provenance,
                        const SigningIdentity &identity)
{
    const AssetContainer::Type type = AssetContainer::typeOf(asset);
    Result<AssetContainer::Prepared> prepared = AssetContainer::prepare(std::move(asset), type);
    if (!prepared)
        return prepared.error();
    // The exclusion covers exactly the bytes the store goes into, so the hash is that of the
    // file without them: made once, whatever the store's size turns out to be.
    const QByteArray hash = OpenSsl::sha256(prepared->asset);
    const ManifestWriter writer(provenance, identity);
    AssetContainer::Range exclusion{prepared->insertAt, 0};
    // The store's length is written inside it; a few tries settle the number's own width.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const Result<QByteArray> store = writer.store(hash, &exclusion);
        if (!store)
            return store.error();
        const QByteArray wrapped = AssetContainer::wrap(*store, type);
        if (wrapped.size() == exclusion.length)
            return AssetContainer::insert(std::move(*prepared), wrapped);
        exclusion.length = wrapped.size();
    }
    return Error{QStringLiteral("the manifest's size did not settle")};
}

Result<QByteArray> sidecar(const QByteArray &asset, const Provenance &provenance,
                           const SigningIdentity &identity)
{
    return ManifestWriter(provenance, identity).store(OpenSsl::sha256(asset), nullptr);
}

} // namespace inkveil::ContentCredentials
