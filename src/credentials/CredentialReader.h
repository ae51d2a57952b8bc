// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace inkveil {

// What a file's content credentials say, and whether they hold: the active manifest's
// signature verifies with the certificate it carries, every assertion matches the hash the
// claim signed, and the data hash matches the file. Whether the signer is one to trust is not
// decided here: that takes a list of trusted issuers, which a viewer keeps.
struct Credentials
{
    bool present = false;
    bool valid = false;
    // Why they don't validate; empty when they do.
    QString problem;
    QString signer;
    QString author;
    QStringList actions;
    // The whole store as found, for an output to carry on.
    QByteArray store;
};

namespace CredentialReader {

// A file's credentials. Any input is safe: a store that is huge, truncated or nested without
// end is reported as not validating.
Credentials read(const QByteArray &asset);

} // namespace CredentialReader
} // namespace inkveil
