// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Content credentials on outputs, checked by the C2PA reader of the Content Authenticity
// Initiative (tests/credentials/validate.mjs), not by our own: signed JPEG and PNG outputs
// validate, with and without resizing and a source's own credentials; a changed byte breaks
// them; a signer that can't sign is refused before anything is written.

#include "TestSupport.h"
#include "credentials/CredentialReader.h"
#include "credentials/Jumbf.h"
#include "output/SummaryText.h"
#include "session/StateFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

const QString Tools = QStringLiteral(INKVEIL_CREDENTIALS_DIR);

struct Verdict
{
    QString state;
    QStringList failures;
    QString signer;
    QStringList actions;
    QStringList ingredients;
};

} // namespace

class TestCredentials : public QObject
{
    Q_OBJECT

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A chain of `kind` (ec256, ec384, ed25519) in its own folder, made by the openssl tool.
    QString chain(const QString &kind, const QString &variant = QStringLiteral("good"))
    {
        const QString folder = path(QStringLiteral("chains/") + kind + QLatin1Char('-') + variant);
        if (!QFileInfo::exists(folder + QStringLiteral("/chain.pem"))) {
            QProcess make;
            make.start(QStringLiteral("bash"),
                       {Tools + QStringLiteral("/make-test-chain"), folder, kind, variant});
            if (!make.waitForFinished(60000) || make.exitCode() != 0)
                qFatal("make-test-chain failed: %s", make.readAllStandardError().constData());
        }
        return folder;
    }

    QStringList signing(const QString &folder)
    {
        return {QStringLiteral("--sign-cert"), folder + QStringLiteral("/chain.pem"),
                QStringLiteral("--sign-key"), folder + QStringLiteral("/signer.key")};
    }

    // The independent reader's verdict on each file, trusting the test root.
    QList<Verdict> validate(const QStringList &files, const QString &root)
    {
        const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
        if (node.isEmpty() ||
            !QFileInfo::exists(Tools + QStringLiteral("/node_modules/@contentauth/c2pa-wasm")))
            qFatal("The C2PA validator is not installed: run scripts/install-deps");
        QProcess run;
        run.start(node, QStringList{Tools + QStringLiteral("/validate.mjs"),
                                    QStringLiteral("--trust"), root + QStringLiteral("/root.pem")} +
                            files);
        run.waitForFinished(120000);
        QList<Verdict> verdicts;
        for (const QByteArray &line : run.readAllStandardOutput().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.isEmpty())
                continue;
            Verdict v{o.value(QStringLiteral("state")).toString(), {}, {}, {}, {}};
            for (const auto &f : o.value(QStringLiteral("failures")).toArray())
                v.failures.append(f.toString());
            v.signer = o.value(QStringLiteral("signer")).toString();
            for (const auto &a : o.value(QStringLiteral("actions")).toArray())
                v.actions.append(a.toString());
            for (const auto &i : o.value(QStringLiteral("ingredients")).toArray())
                v.ingredients.append(i.toString());
            if (o.contains(QStringLiteral("error")))
                v.failures.append(o.value(QStringLiteral("error")).toString());
            verdicts.append(v);
        }
        if (verdicts.size() != files.size())
            qWarning("validator: %s", run.readAllStandardError().constData());
        return verdicts;
    }

    QString signOne(const QString &source, const QString &folder, const QStringList &options)
    {
        const ToolRun run = runTool(QStringList{QStringLiteral("--output"), folder} + options +
                                    QStringList{source});
        if (run.exitCode != 0)
            qWarning("%s", qPrintable(run.err));
        const QStringList written = QDir(folder).entryList(QDir::Files);
        return written.size() == 1 ? QDir(folder).filePath(written.first()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
        writePhoto(path(QStringLiteral("photo.jpg")), QSize(320, 240), Qt::darkCyan);
        OutputOptions resized;
        resized.setResize(true);
        resized.setWidth(100);
        resized.setHeight(100);
        QVERIFY(StateFile::saveStateTo(path(QStringLiteral("resized.plist")), {}, resized));
    }

    // Every case runs the tool once; the reader then judges all outputs in one go.
    void outputsValidate()
    {
        struct Case
        {
            const char *name;
            const char *kind;
            QStringList options;
            // The photo, a signed output as a camera's, or that output changed after signing.
            enum { Plain, Signed, Tampered } source;
        };
        const QList<Case> cases{
            {"jpeg", "ec256", {}, Case::Plain},
            {"jpeg-resized-ed25519", "ed25519", {"--state", "resized.plist"}, Case::Plain},
            {"png-p384", "ec384", {"--format", "png"}, Case::Plain},
            {"jpeg-from-signed", "ec256", {}, Case::Signed},
            {"png-from-signed", "ec256", {"--format", "png"}, Case::Signed},
            {"jpeg-from-tampered", "ec256", {}, Case::Tampered},
            {"jpeg-marked", "ec256", {"--mark-id", "7", "--mark-key", "owner.key"}, Case::Plain},
        };
        const QString root = chain(QStringLiteral("ec256"));
        const QString camera = signOne(path(QStringLiteral("photo.jpg")),
                                       path(QStringLiteral("camera")), signing(root));
        QVERIFY(!camera.isEmpty());
        QByteArray changed = readFile(camera);
        // A byte of the signature: the photo still decodes.
        const qsizetype signature =
            changed.indexOf(CredentialReader::read(changed).store.right(16)) + 8;
        changed[signature] = static_cast<char>(changed.at(signature) ^ 0x01);
        const QStringList sources{path(QStringLiteral("photo.jpg")), camera,
                                  path(QStringLiteral("tampered.jpg"))};
        QVERIFY(writeFile(sources.last(), changed));
        QStringList outputs{camera};
        for (const Case &c : cases) {
            const QString signer = chain(QString::fromLatin1(c.kind));
            QStringList options = c.options;
            for (qsizetype k = 1; k < options.size(); ++k) {
                if (options.at(k - 1) == QLatin1String("--state") ||
                    options.at(k - 1) == QLatin1String("--mark-key"))
                    options[k] = path(options.at(k));
            }
            const QString out = signOne(
                sources.at(c.source), path(QString::fromLatin1(c.name)),
                signing(signer) + options +
                    QStringList{QStringLiteral("--sign-author"), QStringLiteral("Ada Example")});
            QVERIFY2(!out.isEmpty(), c.name);
            outputs.append(out);
        }
        // Each chain has a root of its own; outputs of other kinds are judged one by one.
        const QList<Verdict> verdicts = validate(outputs, root);
        QCOMPARE(verdicts.size(), outputs.size());
        for (qsizetype i = 0; i < outputs.size(); ++i) {
            const Verdict &v = verdicts.at(i);
            const QString what = outputs.at(i) + QLatin1String(": ") + v.failures.join(u' ');
            QVERIFY2(v.failures.isEmpty() ||
                         v.failures == QStringList{"signingCredential.untrusted"},
                     qPrintable(what));
            QVERIFY2(v.state == QLatin1String("Trusted") || v.state == QLatin1String("Valid"),
                     qPrintable(what + v.state));
            QCOMPARE(v.signer, QStringLiteral("Inkveil Test Signer"));
            QCOMPARE(v.actions.value(0), QStringLiteral("c2pa.opened"));
        }
        // A source's credentials go along when they validate, and never when they don't.
        QCOMPARE(verdicts.at(4).ingredients, QStringList{QStringLiteral("manifest")});
        QCOMPARE(verdicts.at(6).ingredients, QStringList{QStringLiteral("plain")});
        QVERIFY(verdicts.at(3).actions.contains(QStringLiteral("c2pa.converted")));
        QVERIFY(verdicts.at(7).actions.contains(QStringLiteral("c2pa.watermarked.unbound")));
        QVERIFY(!verdicts.at(1).actions.contains(QStringLiteral("c2pa.watermarked.unbound")));
        // Our own reader agrees, and says what the tool's --credentials prints.
        const ToolRun read = runTool({QStringLiteral("--credentials"), outputs.at(4)});
        QCOMPARE(read.exitCode, 0);
        QVERIFY2(read.out.contains(QStringLiteral("Content credentials: valid")),
                 qPrintable(read.out));
        QVERIFY(read.out.contains(QStringLiteral("Signed by: Inkveil Test Signer")));
        QVERIFY(read.out.contains(QStringLiteral("Author: Ada Example")));
    }

    // One changed byte, in the picture or in the manifest, and the credentials no longer hold.
    void changedByteBreaks_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("inManifest");
        QTest::newRow("jpeg image data") << QStringLiteral("jpeg") << false;
        QTest::newRow("jpeg manifest") << QStringLiteral("jpeg") << true;
        QTest::newRow("png image data") << QStringLiteral("png") << false;
        QTest::newRow("png manifest") << QStringLiteral("png") << true;
    }
    void changedByteBreaks()
    {
        QFETCH(QString, format);
        QFETCH(bool, inManifest);
        const QString root = chain(QStringLiteral("ec256"));
        const QString folder = path(QStringLiteral("flip-") + QTest::currentDataTag());
        const QString out =
            signOne(path(QStringLiteral("photo.jpg")), folder,
                    signing(root) + QStringList{QStringLiteral("--format"), format});
        QVERIFY(!out.isEmpty());
        QByteArray bytes = readFile(out);
        const Credentials before = CredentialReader::read(bytes);
        QVERIFY(before.valid);
        // The signature's last byte, or a byte of the picture near the file's end.
        const qsizetype at =
            inManifest ? bytes.indexOf(before.store.right(16)) + 8 : bytes.size() - 40;
        bytes[at] = static_cast<char>(bytes.at(at) ^ 0x01);
        QVERIFY(writeFile(out, bytes));
        QVERIFY(!CredentialReader::read(bytes).valid);
        const QList<Verdict> verdicts = validate({out}, root);
        QCOMPARE(verdicts.size(), 1);
        QVERIFY2(verdicts.first().state == QLatin1String("Invalid") ||
                     !verdicts.first().failures.isEmpty(),
                 qPrintable(verdicts.first().state));
    }

    // A signer that can't sign ends the run before the first photo, with nothing written.
    void badSignerRefused_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("reason");
        QTest::newRow("expired") << QStringLiteral("expired") << QStringLiteral("expired on 2021");
        QTest::newRow("no signing usage")
            << QStringLiteral("no-usage") << QStringLiteral("may not sign");
        QTest::newRow("key of another")
            << QStringLiteral("mismatch") << QStringLiteral("doesn't belong");
        QTest::newRow("world-readable key")
            << QStringLiteral("good") << QStringLiteral("read by anyone");
        QTest::newRow("encrypted, no passphrase")
            << QStringLiteral("good") << QStringLiteral("needs its passphrase");
    }
    void badSignerRefused()
    {
        QFETCH(QString, variant);
        QFETCH(QString, reason);
        QString folder = chain(QStringLiteral("ec256"), variant);
        const QString key = folder + QStringLiteral("/signer.key");
        if (reason.contains(QLatin1String("anyone"))) {
            folder = path(QStringLiteral("open-key"));
            QDir().mkpath(folder);
            QFile::copy(chain(QStringLiteral("ec256")) + QStringLiteral("/chain.pem"),
                        folder + QStringLiteral("/chain.pem"));
            QFile::copy(key, folder + QStringLiteral("/signer.key"));
            QFile(folder + QStringLiteral("/signer.key"))
                .setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther);
        } else if (reason.contains(QLatin1String("passphrase"))) {
            folder = path(QStringLiteral("locked-key"));
            QDir().mkpath(folder);
            QFile::copy(chain(QStringLiteral("ec256")) + QStringLiteral("/chain.pem"),
                        folder + QStringLiteral("/chain.pem"));
            QProcess::execute(QStringLiteral("openssl"),
                              {QStringLiteral("pkey"), QStringLiteral("-in"), key,
                               QStringLiteral("-aes256"), QStringLiteral("-passout"),
                               QStringLiteral("pass:secret"), QStringLiteral("-out"),
                               folder + QStringLiteral("/signer.key")});
        }
        const QString output = path(QStringLiteral("refused"));
        const ToolRun run =
            runTool(QStringList{QStringLiteral("--output"), output} + signing(folder) +
                    QStringList{path(QStringLiteral("photo.jpg"))});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY(QDir(output).entryList(QDir::Files).isEmpty());
    }

    // The summary says what becomes of the outputs' and the sources' credentials.
    void summaryNotes_data()
    {
        QTest::addColumn<bool>("sign");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("metadata");
        QTest::addColumn<QString>("note");
        QTest::newRow("signed JPEG") << true << "jpeg" << 0
                                     << "Outputs are signed with content credentials by "
                                        "chain.pem, naming Ada as author. Sources'";
        QTest::newRow("signed WebP") << true << "webp" << 2 << "in a .c2pa file beside each";
        QTest::newRow("private, unsigned")
            << false << "jpeg" << 1 << "Sources' content credentials are left out";
        QTest::newRow("kept, unsigned") << false << "jpeg" << 0 << "";
    }
    void summaryNotes()
    {
        QFETCH(bool, sign);
        QFETCH(QString, format);
        QFETCH(int, metadata);
        QFETCH(QString, note);
        OutputOptions options;
        options.setFileFormat(format);
        options.setMetadata(static_cast<OutputOptions::Metadata>(metadata));
        options.setSignCredentials(sign);
        options.setSignCertificate(QStringLiteral("/keys/chain.pem"));
        options.setSignAuthor(QStringLiteral("Ada"));
        const QString notes = SummaryText::warnings({}, {}, options).join(u'\n');
        QVERIFY2(note.isEmpty() ? !notes.contains(QLatin1String("credentials"))
                                : notes.contains(note),
                 qPrintable(notes));
    }

    // A format that carries no store gets it beside the output.
    void sidecarBesideOtherFormats()
    {
        const QString folder = path(QStringLiteral("sidecar"));
        const ToolRun run =
            runTool(QStringList{QStringLiteral("--output"), folder, QStringLiteral("--format"),
                                QStringLiteral("webp")} +
                    signing(chain(QStringLiteral("ec256"))) +
                    QStringList{path(QStringLiteral("photo.jpg"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("photo.c2pa beside it")), qPrintable(run.err));
        const QByteArray store = readFile(folder + QStringLiteral("/photo.c2pa"));
        QVERIFY(Jumbf::parse(store).ok());
    }

    // Hostile stores read as credentials that don't validate, quickly and without a crash.
    void hostileStoreRejected_data()
    {
        QTest::addColumn<QByteArray>("store");
        QByteArray deep = Jumbf::cborBox(Jumbf::Kind::Cbor, QStringLiteral("x"), "\xa0");
        for (int i = 0; i < 100; ++i)
            deep = Jumbf::superBox(Jumbf::Kind::Store, QStringLiteral("c2pa"), deep);
        QTest::newRow("nested deep") << deep;
        QTest::newRow("truncated") << deep.left(deep.size() / 2);
        QByteArray huge = deep;
        huge.replace(0, 4, QByteArray("\x7f\xff\xff\xff", 4));
        QTest::newRow("length past the end") << huge;
        QTest::newRow("CBOR of nothing") << Jumbf::superBox(
            Jumbf::Kind::Store, QStringLiteral("c2pa"),
            Jumbf::superBox(Jumbf::Kind::Manifest, QStringLiteral("m"),
                            Jumbf::cborBox(Jumbf::Kind::Claim, QStringLiteral("c2pa.claim.v2"),
                                           QByteArray(64, '\x9f')) +
                                Jumbf::cborBox(Jumbf::Kind::Signature,
                                               QStringLiteral("c2pa.signature"), "\xd2\x84")));
    }
    void hostileStoreRejected()
    {
        QFETCH(QByteArray, store);
        // A PNG that carries the store in its caBX chunk.
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        png += QByteArray("\0\0\0\x0dIHDR", 8) + QByteArray(13, '\1') + QByteArray(4, '\0');
        QByteArray chunk(4, '\0');
        qToBigEndian<quint32>(quint32(store.size()), chunk.data());
        png += chunk + "caBX" + store + QByteArray(4, '\0');
        const Credentials found = CredentialReader::read(png);
        QVERIFY(found.present);
        QVERIFY(!found.valid);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestCredentials)
#include "tst_credentials.moc"
