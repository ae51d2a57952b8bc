// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "credentials/Jumbf.h"

#include <QtEndian>

#include <array>

namespace inkveil::Jumbf {

namespace {

// Every C2PA kind shares the last twelve bytes of its UUID.
constexpr std::array<char, 12> UuidTail = {'\x00', '\x11', '\x00', '\x10', '\x80', '\x00',
                                           '\x00', '\xAA', '\x00', '\x38', '\x9B', '\x71'};

struct KindName
{
    Kind kind;
    const char *fourCc;
};
constexpr std::array<KindName, 7> KindNames{{{Kind::Store, "c2pa"},
                                             {Kind::Manifest, "c2ma"},
                                             {Kind::Assertions, "c2as"},
                                             {Kind::Claim, "c2cl"},
                                             {Kind::Signature, "c2cs"},
                                             {Kind::Cbor, "cbor"},
                                             {Kind::Json, "json"}}};

// A label present, the box requestable by it.
constexpr char Toggles = 0x03;
constexpr int MaxDepth = 16;
constexpr int MaxBoxes = 4096;

struct Parser
{
    int boxes = MaxBoxes;

    Result<Node> superBox(const QByteArray &contents, int depth);
    Result<void> description(const QByteArray &payload, Node &node);
};

struct RawBox
{
    QByteArray type;
    QByteArray payload;
};

// Splits `bytes` into its boxes; fails on a length that doesn't fit.
Result<QList<RawBox>> splitBoxes(const QByteArray &bytes, int &budget)
{
    QList<RawBox> boxes;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8)
            return Error{QStringLiteral("truncated box header")};
        if (--budget < 0)
            return Error{QStringLiteral("too many boxes")};
        quint64 length = qFromBigEndian<quint32>(bytes.constData() + at);
        qsizetype header = 8;
        if (length == 1) {
            if (bytes.size() - at < 16)
                return Error{QStringLiteral("truncated box header")};
            length = qFromBigEndian<quint64>(bytes.constData() + at + 8);
            header = 16;
        } else if (length == 0) {
            length = static_cast<quint64>(bytes.size() - at);
        }
        if (length < static_cast<quint64>(header) ||
            length > static_cast<quint64>(bytes.size() - at))
            return Error{QStringLiteral("box length out of range")};
        const auto size = static_cast<qsizetype>(length);
        boxes.append({bytes.mid(at + 4, 4), bytes.mid(at + header, size - header)});
        at += size;
    }
    return boxes;
}

} // namespace

QByteArray uuid(const Kind kind)
{
    for (const KindName &name : KindNames) {
        if (name.kind == kind)
            return QByteArray(name.fourCc, 4) + QByteArray(UuidTail.data(), UuidTail.size());
    }
    return QByteArray(16, '\0');
}

Kind kindOf(const QByteArray &id)
{
    if (id.size() != 16 || id.mid(4) != QByteArray(UuidTail.data(), UuidTail.size()))
        return Kind::Other;
    for (const KindName &name : KindNames) {
        if (id.startsWith(name.fourCc))
            return name.kind;
    }
    return Kind::Other;
}

QByteArray box(const char *type, const QByteArray &payload)
{
    QByteArray bytes(8, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size() + 8), bytes.data());
    bytes.replace(4, 4, type, 4);
    return bytes + payload;
}

QByteArray superBox(const Kind kind, const QString &label, const QByteArray &contents)
{
    const QByteArray description = uuid(kind) + Toggles + label.toUtf8() + '\0';
    return box("jumb", box("jumd", description) + contents);
}

QByteArray cborBox(const Kind kind, const QString &label, const QByteArray &cbor)
{
    return superBox(kind, label, box("cbor", cbor));
}

const Node *Node::child(const QString &childLabel) const
{
    for (const Node &node : children) {
        if (node.label == childLabel)
            return &node;
    }
    return nullptr;
}

Result<void> Parser::description(const QByteArray &payload, Node &node)
{
    if (payload.size() < 17)
        return Error{QStringLiteral("truncated description box")};
    node.kind = kindOf(payload.left(16));
    if ((payload.at(16) & 0x02) != 0) {
        const qsizetype end = payload.indexOf('\0', 17);
        if (end < 0)
            return Error{QStringLiteral("unterminated label")};
        node.label = QString::fromUtf8(payload.mid(17, end - 17));
    }
    return {};
}

Result<Node> Parser::superBox(const QByteArray &contents, const int depth)
{
    if (depth > MaxDepth)
        return Error{QStringLiteral("boxes nested too deep")};
    Result<QList<RawBox>> parts = splitBoxes(contents, boxes);
    if (!parts)
        return parts.error();
    if (parts->isEmpty() || parts->first().type != "jumd")
        return Error{QStringLiteral("superbox without a description")};
    Node node;
    node.contents = contents;
    if (const Result<void> described = description(parts->first().payload, node); !described)
        return described.error();
    for (qsizetype i = 1; i < parts->size(); ++i) {
        const RawBox &part = parts->at(i);
        if (part.type == "jumb") {
            Result<Node> child = superBox(part.payload, depth + 1);
            if (!child)
                return child;
            node.children.append(std::move(*child));
        } else if (node.contentType.isEmpty()) {
            node.contentType = part.type;
            node.data = part.payload;
        }
    }
    return node;
}

Result<Node> parse(const QByteArray &bytes)
{
    Parser parser;
    Result<QList<RawBox>> top = splitBoxes(bytes, parser.boxes);
    if (!top)
        return top.error();
    if (top->size() != 1 || top->first().type != "jumb")
        return Error{QStringLiteral("not a manifest store")};
    Result<Node> store = parser.superBox(top->first().payload, 0);
    if (store && store->kind != Kind::Store)
        return Error{QStringLiteral("not a manifest store")};
    return store;
}

} // namespace inkveil::Jumbf
