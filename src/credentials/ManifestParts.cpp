// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/ManifestParts.h"

#include "credentials/OpenSsl.h"
#include "credentials/SigningIdentity.h"

#include <QCborMap>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace inkveil::ManifestParts {

const QString IngredientLabel = QStringLiteral("c2pa.ingredient.v3");
const QString ActionsLabel = QStringLiteral("c2pa.actions.v2");
const QString DataHashLabel = QStringLiteral("c2pa.hash.data");
const QString CreativeWorkLabel = QStringLiteral("stds.schema-org.CreativeWork");

namespace {

constexpr int CoseAlgorithmLabel = 1;
constexpr int CoseX5ChainLabel = 33;

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

QCborMap generator()
{
    return QCborMap{{str("name"), str("Inkveil")}, {str("version"), str(INKVEIL_VERSION)}};
}

} // namespace

QCborMap hashedLink(const QString &url, const QByteArray &superBox)
{
    return QCborMap{{str("url"), url}, {str("hash"), OpenSsl::sha256(superBox.mid(8))}};
}

QCborArray assertionLinks(const QList<QByteArray> &assertions)
{
    QCborArray links;
    for (const QByteArray &box : assertions) {
        const Result<Jumbf::Node> node =
            Jumbf::parse(Jumbf::superBox(Jumbf::Kind::Store, str("c2pa"), box));
        const QString label =
            node && !node->children.isEmpty() ? node->children.first().label : QString();
        links.append(hashedLink(str("self#jumbf=c2pa.assertions/") + label, box));
    }
    return links;
}

QCborValue ingredient(const Provenance &provenance, const std::optional<Jumbf::Node> &manifest)
{
    QCborMap map{{str("dc:title"), provenance.sourceTitle},
                 {str("dc:format"), provenance.sourceFormat},
                 {str("relationship"), str("parentOf")}};
    if (manifest) {
        const QString url = str("self#jumbf=/c2pa/") + manifest->label;
        map.insert(str("activeManifest"),
                   QCborMap{{str("url"), url}, {str("hash"), OpenSsl::sha256(manifest->contents)}});
        if (const Jumbf::Node *signature = manifest->child(str("c2pa.signature")))
            map.insert(str("claimSignature"),
                       QCborMap{{str("url"), QString(url + str("/c2pa.signature"))},
                                {str("hash"), OpenSsl::sha256(signature->contents)}});
        map.insert(str("validationResults"),
                   QCborMap{{str("activeManifest"), QCborMap{{str("success"), QCborArray{}},
                                                             {str("informational"), QCborArray{}},
                                                             {str("failure"), QCborArray{}}}}});
    } else if (!provenance.sourceStore.isEmpty()) {
        map.insert(str("description"),
                   provenance.sourceValid
                       ? str("The source's content credentials were left out.")
                       : str("The source's content credentials did not validate and were left "
                             "out."));
    }
    return map;
}

QCborValue actions(const Provenance &provenance, const QByteArray &ingredientBox)
{
    const QCborMap agent = generator();
    QCborArray list{QCborMap{
        {str("action"), str("c2pa.opened")},
        {str("softwareAgent"), agent},
        {str("parameters"),
         QCborMap{{str("ingredients"),
                   QCborArray{hashedLink(str("self#jumbf=c2pa.assertions/") + IngredientLabel,
                                         ingredientBox)}}}}}};
    for (const Provenance::Action &action : provenance.actions) {
        QCborMap entry{{str("action"), action.action}, {str("softwareAgent"), agent}};
        if (!action.description.isEmpty())
            entry.insert(str("description"), action.description);
        list.append(entry);
    }
    return QCborMap{{str("actions"), list}};
}

QByteArray creativeWork(const QString &author)
{
    const QJsonObject work{{str("@context"), str("https://schema.org")},
                           {str("@type"), str("CreativeWork")},
                           {str("author"), QJsonArray{QJsonObject{{str("@type"), str("Person")},
                                                                  {str("name"), author}}}}};
    return QJsonDocument(work).toJson(QJsonDocument::Compact);
}

QCborValue dataHash(const QByteArray &hash, const AssetContainer::Range *exclusion)
{
    QCborArray exclusions;
    if (exclusion)
        exclusions.append(
            QCborMap{{str("start"), exclusion->start}, {str("length"), exclusion->length}});
    return QCborMap{{str("exclusions"), exclusions},
                    {str("name"), str("jumbf manifest")},
                    {str("alg"), str("sha256")},
                    {str("hash"), hash},
                    {str("pad"), QByteArray()}};
}

QByteArray claim(const Provenance &provenance, const QString &manifestLabel,
                 const QCborArray &links)
{
    const QCborMap map{{str("instanceID"), QString(str("xmp:iid:") + QUuid::createUuid().toString(
                                                                         QUuid::WithoutBraces))},
                       {str("claim_generator_info"), generator()},
                       {str("dc:title"), provenance.title},
                       {str("signature"),
                        QString(str("self#jumbf=/c2pa/") + manifestLabel + str("/c2pa.signature"))},
                       {str("created_assertions"), links},
                       {str("alg"), str("sha256")}};
    return QCborValue(map).toCbor();
}

QByteArray toBeSigned(const QByteArray &protectedHeader, const QByteArray &payload)
{
    return QCborValue(QCborArray{str("Signature1"), protectedHeader, QByteArray(), payload})
        .toCbor();
}

Result<QByteArray> sign1(const QByteArray &claimBytes, const SigningIdentity &identity)
{
    const QList<QByteArray> &chain = identity.chain();
    QCborValue certificates;
    if (chain.size() == 1) {
        certificates = chain.first();
    } else {
        QCborArray list;
        for (const QByteArray &der : chain)
            list.append(der);
        certificates = list;
    }
    const QByteArray protectedHeader =
        QCborValue(QCborMap{{CoseAlgorithmLabel, identity.coseAlgorithm()},
                            {CoseX5ChainLabel, certificates}})
            .toCbor();
    const Result<QByteArray> signature = identity.sign(toBeSigned(protectedHeader, claimBytes));
    if (!signature)
        return signature.error();
    const QCborArray sign1{protectedHeader, QCborMap{}, QCborValue(QCborValue::Null), *signature};
    return QCborValue(QCborKnownTags::COSE_Sign1, sign1).toCbor();
}

} // namespace inkveil::ManifestParts
